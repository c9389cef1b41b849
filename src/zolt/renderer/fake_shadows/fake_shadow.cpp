#include "zolt/renderer/fake_shadows/fake_shadow.h"

namespace zolt::renderer {

int32_t FakeShadowRecords::allocate(uint32_t visual_slot) {
    if (count_ >= fake_shadow_record_capacity) {
        return -1;
    }
    records_[count_] = FakeShadow{};
    records_[count_].visual_slot = visual_slot;
    return static_cast<int32_t>(count_++);
}

int64_t FakeShadowRecords::release(uint32_t index) {
    if (index >= count_) {
        return -1;
    }
    const uint32_t last = --count_;
    if (index == last) {
        records_[last] = FakeShadow{};
        return -1;
    }
    records_[index] = records_[last];
    records_[last] = FakeShadow{};
    return records_[index].visual_slot;
}

}  // namespace zolt::renderer

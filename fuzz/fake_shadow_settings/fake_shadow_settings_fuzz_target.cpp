// A visual's saved fake-shadow block as a load reads it: a block is taken
// only whole, a refused one leaves the settings untouched, and an accepted
// one holds values the visual's setters would take and saves back to the
// same 40 bytes.
#include <cstdint>
#include <cstring>

#include "support/fuzz_entry.h"
#include "zolt/renderer/fake_shadows/fake_shadow_settings.h"

namespace {

namespace fuzz = zolt::fuzz;
using namespace zolt::renderer;

void check_block(const uint8_t (&bytes)[fake_shadow_settings_save_size]) {
    FakeShadowSettings settings;
    settings.resolution = 12345;
    if (!decode_fake_shadow_settings(bytes, settings)) {
        fuzz::expect(settings.resolution == 12345, "a refused block changed the settings");
        return;
    }
    fuzz::expect(settings.priority <= fake_shadow_priority_limit, "a priority past 9 was taken");
    fuzz::expect(is_valid_fake_shadow_strength(settings.strength), "a strength outside 0 to 1 was taken");
    for (uint32_t ordinal = 0; ordinal < fake_shadow_settings_float_count; ++ordinal) {
        fuzz::expect(is_valid_fake_shadow_float(ordinal, *get_fake_shadow_settings_float(settings, ordinal)),
                     "a float no setter takes was taken");
    }
    uint8_t saved[fake_shadow_settings_save_size];
    encode_fake_shadow_settings(settings, saved);
    fuzz::expect(std::memcmp(saved, bytes, sizeof saved) == 0, "an accepted block saved back differently");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size != fake_shadow_settings_save_size) {
        return 0;
    }
    uint8_t block[fake_shadow_settings_save_size];
    std::memcpy(block, data, sizeof block);
    check_block(block);
    return 0;
}

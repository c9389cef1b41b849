#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_loader.h"

namespace zolt::core {

void ResourceLoader::save_state(storage::SaveStream& stream) const {
    uint32_t marked_count = 0;
    for (uint32_t index = 0; index < pack_count_; ++index) {
        if ((packs_[index].flags & pack_flag::marked) != 0) {
            ++marked_count;
        }
    }
    write_u32(stream, marked_count);
    for (uint32_t index = 0; index < pack_count_; ++index) {
        if ((packs_[index].flags & pack_flag::marked) != 0) {
            write_u32(stream, packs_[index].key);
        }
    }
}

bool ResourceLoader::load_state(storage::LoadStream& stream) {
    unmark_packs(0, 0);
    uint32_t marked_count = 0;
    if (!read_u32(stream, marked_count)) {
        return false;
    }
    for (uint32_t index = 0; index < marked_count; ++index) {
        uint32_t key = 0;
        if (!read_u32(stream, key)) {
            return false;
        }
        mark_packs(0xFFFFFFFFu, key);
    }
    shake_resources();
    load_marked_packs();
    return true;
}

}  // namespace zolt::core

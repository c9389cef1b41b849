#include "zolt/storage/save_stream_buffers.h"

#include "libs/utility/fatal_error.h"
#include "platform/system/reserved_memory.h"
#include "zolt/storage/save_file_layout.h"

namespace zolt::storage {
namespace {
// The six buffers are reserved once; their pages are taken only when a save
// or load first writes them.
uint8_t* get_buffers() {
    static uint8_t* const buffers = [] {
        uint8_t* const region =
            platform::reserve_memory_region(size_t{save_stream_capacity} * (2 + memory_save_slot_count));
        if (region == nullptr) {
            ZOLT_ERROR("out of memory");
        }
        return region;
    }();
    return buffers;
}
}  // namespace

uint8_t* get_file_save_buffer() {
    return get_buffers();
}

uint8_t* get_file_load_buffer() {
    return get_buffers() + save_stream_capacity;
}

uint8_t* get_memory_save_slot(uint32_t slot) {
    return get_buffers() + size_t{save_stream_capacity} * (2 + slot);
}

}  // namespace zolt::storage

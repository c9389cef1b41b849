#include "zolt/storage/save_stream_memory.h"

#include <cstring>

#include "zolt/storage/save_file_layout.h"
#include "zolt/storage/save_stream_buffers.h"

namespace zolt::storage {

uint32_t get_memory_save_slot_index(uint32_t save_id) {
    const uint32_t slot = save_id & 0xFFFF;
    if ((save_id & 0x00FF0000) != 0 || slot >= memory_save_slot_count) {
        return memory_save_slot_count;
    }
    return slot;
}

MemorySaveStream::MemorySaveStream() {
    set_buffer(get_file_save_buffer(), save_stream_capacity);
}

bool MemorySaveStream::open(uint32_t save_id) {
    const uint32_t slot = get_memory_save_slot_index(save_id);
    if (slot == memory_save_slot_count) {
        return false;
    }
    slot_ = get_memory_save_slot(slot);
    overflow_ = false;
    set_buffer(get_file_save_buffer(), save_stream_capacity);
    return true;
}

void MemorySaveStream::flush_buffer(uint8_t*&, uint32_t&, uint32_t) {
    overflow_ = true;
}

bool MemorySaveStream::finish() {
    if (slot_ == nullptr || overflow_) {
        return false;
    }
    std::memcpy(slot_, get_file_save_buffer(), get_used_size());
    return true;
}

}  // namespace zolt::storage

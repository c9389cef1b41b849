#include "zolt/storage/load_stream_memory.h"

#include "zolt/storage/save_file_layout.h"
#include "zolt/storage/save_stream_buffers.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::storage {

bool MemoryLoadStream::open(uint32_t save_id) {
    const uint32_t slot = get_memory_save_slot_index(save_id);
    if (slot == memory_save_slot_count) {
        return false;
    }
    set_buffer(get_memory_save_slot(slot), save_stream_capacity);
    return true;
}

}  // namespace zolt::storage

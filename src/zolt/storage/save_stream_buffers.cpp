#include "zolt/storage/save_stream_buffers.h"

#include "zolt/storage/save_file_layout.h"

namespace zolt::storage {
namespace {
alignas(64) uint8_t file_save_buffer[save_stream_capacity];
alignas(64) uint8_t file_load_buffer[save_stream_capacity];
alignas(64) uint8_t memory_save_slots[memory_save_slot_count][save_stream_capacity];
}  // namespace

uint8_t* get_file_save_buffer() {
    return file_save_buffer;
}

uint8_t* get_file_load_buffer() {
    return file_load_buffer;
}

uint8_t* get_memory_save_slot(uint32_t slot) {
    return memory_save_slots[slot];
}

}  // namespace zolt::storage

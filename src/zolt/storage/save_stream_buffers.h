#pragma once
// The static stream buffers: one for file saving, one for file loading, and
// the four memory-save slots, each save_stream_capacity bytes and untouched
// until used. Main thread only, one stream of each kind at a time; the file
// save buffer is also the memory save stream's scratch space.
#include <cstdint>

namespace zolt::storage {

constexpr uint32_t memory_save_slot_count = 4;

uint8_t* get_file_save_buffer();
uint8_t* get_file_load_buffer();
uint8_t* get_memory_save_slot(uint32_t slot);

}  // namespace zolt::storage

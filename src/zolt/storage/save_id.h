#pragma once
// Save ids and the names of save files. A save id holds:
//   bits 0-15   save index (five digits; 0 never names a file save)
//   bits 16-23  save number (three digits)
//   bits 24-27  slot type 0, 1 or 2, the name's letter "s", "q" or "a"
//   bits 28-31  0 a save file, 1 a memory slot (slot = bits 0-15)
// A save file is named "%c%03u%05u.zsv". Any thread may call.
#include <cstdint>

#include "libs/utility/string_buffer.h"

namespace zolt::storage {

constexpr uint32_t save_file_name_length = 13;

constexpr uint32_t get_save_index(uint32_t save_id) {
    return save_id & 0xFFFF;
}
constexpr uint32_t get_save_number(uint32_t save_id) {
    return save_id >> 16 & 0xFF;
}
constexpr uint32_t get_save_slot_type(uint32_t save_id) {
    return save_id >> 24 & 0xF;
}
constexpr uint32_t get_save_kind(uint32_t save_id) {
    return save_id >> 28;
}
constexpr uint32_t file_save_kind = 0;
constexpr uint32_t memory_save_kind = 1;

// Appends the file name of the id; a slot type above 2 panics with "invalid
// save slot type 0x%08x".
void create_save_file_name(StringBuffer& buffer, uint32_t save_id);
// The id of a save file name (letters in either case), or 0 when the name
// is not one: index 0, number above 255, or any other spelling.
uint32_t parse_save_file_name(const char* name);

}  // namespace zolt::storage

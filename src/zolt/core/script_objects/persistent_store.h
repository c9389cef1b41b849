#pragma once
// The 100 persistent values: words that scripts keep for the life of the
// process. They belong to no server, so saving and loading a game neither
// writes nor reads them. A wrong index or array handle is a broken script
// invariant and fatal. Main thread only.
#include <cstdint>

namespace zolt::core {

constexpr uint32_t persistent_value_count = 100;

void set_persistent_value(uint32_t index, uint32_t value);
uint32_t get_persistent_value(uint32_t index);
// Slots index to index + count - 1 become 0, in ascending order, so the
// slots before a bad index are cleared when it ends the program.
void clear_persistent_values(uint32_t index, uint32_t count);
// Array elements array_start.. into slots persistent_start..; the array must
// hold them all.
void set_persistent_values(uint32_t array, uint32_t array_start, uint32_t persistent_start, uint32_t count);
// Slots persistent_start.. into array elements array_start.., growing the
// array as needed.
void get_persistent_values(uint32_t array, uint32_t array_start, uint32_t persistent_start, uint32_t count);

}  // namespace zolt::core

#pragma once
// The script builtins of strings, one function per body, arguments in call
// order as plain values. A handle that names no string gives the neutral
// result and changes nothing. Main thread only.
//   20, 21  string handle                 -> none        clear_string
//   184     unit                          -> none        set_group_separator (string_object_numbers.h)
//   185                                   -> unit        get_group_separator
//   186     unit                          -> none        set_decimal_point
//   187                                   -> unit        get_decimal_point
//   220     start, unit, string handle    -> index       find_character
//   221     index, string handle          -> unit        character_at
// Units given as words are their low 16 bits.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"

namespace zolt::core {

void clear_string(ObjectHandle string);
// The length when the unit is not found at or after start; 0 for no string.
uint32_t find_character(uint32_t start, uint32_t unit, ObjectHandle string);
// 0 past the end or for no string.
uint32_t character_at(uint32_t index, ObjectHandle string);

}  // namespace zolt::core

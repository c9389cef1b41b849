#pragma once
// The script builtins of strings (20, 21, 220, 221, and 184-187 for the
// digit-group separator and the decimal point of string_object_numbers.h).
// A handle that names no string gives the neutral result and changes
// nothing. Main thread only.
#include <cstdint>

#include "zolt/builtins/builtin_table.h"
#include "zolt/builtins/builtin_values.h"

namespace zolt::core {

void bind_string_builtins(BuiltinTable& table);

void clear_string(StringHandle string);
// The length when the unit is not found at or after start; 0 for no string.
uint32_t find_character(StringHandle string, char16_t unit, uint32_t start);
// 0 past the end or for no string.
char16_t character_at(StringHandle string, uint32_t index);

}  // namespace zolt::core

#pragma once
// Variables set and read by number with a value of a given type, for the
// script builtins. The value is converted to or from the variable's own type,
// never reinterpreted: bool as (value != 0); unsigned and signed share their
// 32 bits; float to integer truncates toward zero, a result the type cannot
// hold being ignored (set) or read as 0 (get); a NaN counts as true. String
// variables ignore numbers and read as 0. Setting an empty slot or a number
// outside 1-128 is fatal; reading one gives 0. Main thread only.
#include <cstdint>

#include "libs/utility/config_variable_table.h"

namespace zolt {

void set_config_variable_from_bool(ConfigVariableTable& table, uint32_t number, bool value);
void set_config_variable_from_unsigned(ConfigVariableTable& table, uint32_t number, uint32_t value);
void set_config_variable_from_signed(ConfigVariableTable& table, uint32_t number, int32_t value);
void set_config_variable_from_float(ConfigVariableTable& table, uint32_t number, float value);

bool get_config_variable_as_bool(const ConfigVariableTable& table, uint32_t number);
uint32_t get_config_variable_as_unsigned(const ConfigVariableTable& table, uint32_t number);
int32_t get_config_variable_as_signed(const ConfigVariableTable& table, uint32_t number);
float get_config_variable_as_float(const ConfigVariableTable& table, uint32_t number);

}  // namespace zolt

#pragma once
// The data-table builtins 32-46: scripts read tables (data_table.h) out of
// the data of a resource object. A handle that does not name an open
// resource object, or a table whose words lead outside the data, gives the
// row's neutral result (255 for the byte table). Main thread only.
#include <cstdint>

#include "libs/geometry/vector.h"
#include "zolt/builtins/builtin_table.h"
#include "zolt/builtins/builtin_values.h"

namespace zolt::core {

void bind_data_table_builtins(BuiltinTable& table);

uint32_t get_table_run_value_a(AnyHandle table, uint32_t row_key, uint32_t column_key);
uint32_t get_table_run_value_b(AnyHandle table, uint32_t row_key, uint32_t column_key);
float get_table_run_float(AnyHandle table, uint32_t row_key, uint32_t column_key);
uint32_t find_table_record_word0(AnyHandle table, uint32_t key);
uint32_t find_table_record_word1(AnyHandle table, uint32_t key);
uint32_t find_table_record_word2(AnyHandle table, uint32_t key);
bool has_table_key(AnyHandle table, uint32_t key);
bool find_table_section(AnyHandle table, uint32_t key);
// The section's word as it is stored, answered as a float.
float get_table_section_value(AnyHandle table, uint32_t section_key, uint32_t key);
uint32_t get_table_byte(AnyHandle table, uint32_t key);
uint32_t get_table_count(AnyHandle table);
uint32_t get_table_record28_u16_0(AnyHandle table, uint32_t record);
uint32_t get_table_record28_u16_2(AnyHandle table, uint32_t record);
// The floats at bytes 4, 8, 12 and 16.
geometry::Vector4 get_table_record28_vector_a(AnyHandle table, uint32_t record);
// The floats at bytes 16, 20, 24 and then 12.
geometry::Vector4 get_table_record28_vector_b(AnyHandle table, uint32_t record);

}  // namespace zolt::core

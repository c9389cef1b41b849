#pragma once
// The script builtins of code objects (132-134). Main thread only.
#include <cstdint>

#include "zolt/builtins/builtin_table.h"
#include "zolt/builtins/builtin_values.h"

namespace zolt::core {

void bind_code_builtins(BuiltinTable& table);

// Loads the code when needed; 0 for a chain index above 15 or a key above 16383.
CodeHandle get_code_object_handle(uint32_t chain_index, uint32_t key);
uint32_t compute_code_crc();
void release_unused_code_objects();

}  // namespace zolt::core

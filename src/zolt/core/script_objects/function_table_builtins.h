#pragma once
// Builtin 663: evaluating a function table (function_table.h). Main thread
// only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

void bind_function_table_builtins(BuiltinTable& table);

}  // namespace zolt::core

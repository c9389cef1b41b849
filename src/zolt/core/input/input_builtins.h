#pragma once
// Binds the input builtins (223, 224, 227, 231-233, 236, 237; bodies in
// input.h). User -1 is "any local user". Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

void bind_input_builtins(BuiltinTable& table);

}  // namespace zolt::core

#pragma once
// The main thread's builtins: the time base (9) and the quit request (188).
// Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

void bind_main_thread_builtins(BuiltinTable& table);

}  // namespace zolt::core

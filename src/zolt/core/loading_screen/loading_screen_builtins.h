#pragma once
// Builtins 181 (the check of a language number) and 592 to 594 (showing,
// asking about and hiding the loading screen). Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

void bind_loading_screen_builtins(BuiltinTable& table);

}  // namespace zolt::core

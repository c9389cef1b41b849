#pragma once
// The game window's builtins 651-657 (display modes and gamma) and 631, the
// driver quirk flag. Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::renderer {

void bind_window_builtins(core::BuiltinTable& table);
void bind_gpu_quirk_builtins(core::BuiltinTable& table);

}  // namespace zolt::renderer

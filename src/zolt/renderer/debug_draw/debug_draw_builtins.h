#pragma once
// Builtins 564 and 565: the debug-draw server's mask. Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::renderer {

void bind_debug_draw_builtins(core::BuiltinTable& table);

}  // namespace zolt::renderer

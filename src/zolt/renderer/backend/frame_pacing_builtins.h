#pragma once
// Builtin 570: late-frame dropping, off when the argument is false.
// Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::renderer {

void bind_frame_pacing_builtins(core::BuiltinTable& table);

}  // namespace zolt::renderer

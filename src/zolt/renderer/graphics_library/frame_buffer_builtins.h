#pragma once
// Builtin 571, the withdrawn screen projection: fatal. Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::renderer {

void bind_frame_buffer_builtins(core::BuiltinTable& table);

[[noreturn]] void project_to_screen();

}  // namespace zolt::renderer

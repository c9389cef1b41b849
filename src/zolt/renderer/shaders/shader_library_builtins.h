#pragma once
// Builtins 614 to 632 of the shader library: the shader time, the global
// texture slots, the global condition flags, the script words, and the
// rendering commands that reset programs, warm the renderer up and reload
// textures. Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::renderer::shader_library {

void bind_shader_library_builtins(core::BuiltinTable& table);

}  // namespace zolt::renderer::shader_library

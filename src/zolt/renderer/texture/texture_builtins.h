#pragma once
// Builtins 633 to 640 of the texture server: collecting dead textures, a
// texture for every loaded texture header, streaming on and off, the
// pending streaming read, the texture owner and the video-memory budget.
// Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::renderer {

void bind_texture_builtins(core::BuiltinTable& table);

}  // namespace zolt::renderer

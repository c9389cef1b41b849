#pragma once
// Builtins 606 to 613 (a material's vectors, textures and tags; the setters
// act only on modifiable materials) and 618 and 620 of the material server.
// Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::renderer {

void bind_material_builtins(core::BuiltinTable& table);
void bind_material_server_builtins(core::BuiltinTable& table);

}  // namespace zolt::renderer

#pragma once
// The mesh builtins (595-597). Main thread only.
namespace zolt::core {
class BuiltinTable;
}

namespace zolt::renderer {

void bind_mesh_builtins(core::BuiltinTable& table);

}  // namespace zolt::renderer

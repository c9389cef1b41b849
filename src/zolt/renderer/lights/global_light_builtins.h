#pragma once
// The global light builtins (572-586). Main thread only.
namespace zolt::core {
class BuiltinTable;
}

namespace zolt::renderer {

void bind_global_light_builtins(core::BuiltinTable& table);

}  // namespace zolt::renderer

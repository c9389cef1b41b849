#pragma once
// The physics builtins this engine has: the server's (386-411, 526-528), the
// actors' (368-373) and the actor descriptor's that build primitive shapes
// (412-416, 424-426). The rest of the family answers neutrally.
#include "zolt/builtins/builtin_table.h"

namespace zolt::physics {

void bind_physics_builtins(core::BuiltinTable& table);
void bind_physics_server_builtins(core::BuiltinTable& table);
void bind_physics_actor_builtins(core::BuiltinTable& table);
void bind_physics_descriptor_builtins(core::BuiltinTable& table);

}  // namespace zolt::physics

#pragma once
// Neutral answers: what a builtin gives for a handle that names nothing,
// chosen by its row's result kind (nothing, 0, 0.0, a zero vector or the
// identity quaternion). Families that have no bodies yet answer it for every
// row. Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

void bind_neutral_builtin(BuiltinTable& table, BuiltinId id);

// Every row of the family that its own stubs did not bind before.
void bind_unbuilt_family(BuiltinTable& table, BuiltinFamily family);

// The shared stubs named unused_<id>: nothing or 0 as their row says, and 1
// for the ids that have always answered 1.
void bind_stub_builtins(BuiltinTable& table);

}  // namespace zolt::core

#pragma once
// Families whose subsystems do not exist yet but whose stubs answer more than
// the neutral result of their rows: world structure and navigation (up
// vectors, "blocked", the open-ground state, -1 indices, missed rays). Each
// answers what it answers for a handle that names nothing and changes
// nothing; the rest of the family answers neutral.
// Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

void bind_navigation_stub_builtins(BuiltinTable& table);

}  // namespace zolt::core

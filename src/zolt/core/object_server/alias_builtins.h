#pragma once
// The alias builtins: 126 clears every alias whose target is gone, 127 clears
// one alias. Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

void bind_alias_builtins(BuiltinTable& table);

}  // namespace zolt::core

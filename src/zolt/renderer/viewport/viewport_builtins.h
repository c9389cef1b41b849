#pragma once
// Builtins 641 to 648: a viewport's texture slots and user vectors, and the
// clear colour. A handle that names no viewport or an index out of range
// gives the neutral result and changes nothing. Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::renderer {

void bind_viewport_builtins(core::BuiltinTable& table);

}  // namespace zolt::renderer

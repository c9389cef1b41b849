#pragma once
// The builtin dispatcher: a call whose code reference has chain index 15
// hands the shared ScriptContext and the id (bits 0-13) here. Builtins are
// the rows of builtin_list.h, ids 1 to 701, each bound by its family to the
// jump table (builtin_table.h); an id of 0 or above 701 does nothing. The
// calling convention is in builtin_list.h. Main thread only.
#include <cstdint>

#include "zolt/core/script/script_context.h"

namespace zolt::core {

void call_builtin(ScriptContext& context, uint32_t id);

}  // namespace zolt::core

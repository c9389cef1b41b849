#pragma once
// The builtins of interface rendering (566-568, 649, 650) and of world
// structure and navigation (238-284, 587-591, 605, 658-662) until those
// subsystems exist: each answers what it answers for a handle that names
// nothing, and changes nothing. Main thread only.
#include <cstdint>

#include "zolt/core/script/script_context.h"

namespace zolt::core {

void answer_interface_stub(ScriptContext& context, uint32_t id);
void answer_navigation_stub(ScriptContext& context, uint32_t id);

}  // namespace zolt::core

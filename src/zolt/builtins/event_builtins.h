#pragma once
// The clock builtins 148 to 180: selectors, clock times, the enabled mask and
// the two time scales. Clock arguments use their low five bits; 31 is the
// clock being run, 27 to 30 name no clock (reads answer 0, writes do
// nothing). Changes to the enabled set take effect from the next frame.
// Main thread only.
#include <cstdint>

#include "zolt/core/script/script_context.h"

namespace zolt::core {

constexpr uint32_t first_event_builtin = 148;
constexpr uint32_t last_event_builtin = 180;

void call_event_builtin(ScriptContext& context, uint32_t id);

}  // namespace zolt::core

#pragma once
// The clock builtins 148 to 180: selectors, clock times, the enabled mask and
// the two time scales. Clock arguments use their low five bits; 31 is the
// clock being run, 27 to 30 name no clock (reads answer 0, writes do
// nothing). Changes to the enabled set take effect from the next frame.
// Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

void bind_event_builtins(BuiltinTable& table);

}  // namespace zolt::core

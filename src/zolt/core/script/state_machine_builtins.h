#pragma once
// The script builtins of state machines (213, 214). Main thread only.
#include <cstdint>

#include "zolt/builtins/builtin_table.h"
#include "zolt/builtins/builtin_values.h"

namespace zolt::core {

void bind_state_machine_builtins(BuiltinTable& table);

// Whether the current state has a transition for the id that changes state
// or starts code; false for a handle that names no state machine.
bool has_state_transition(StateMachineHandle state_machine, uint32_t message_id);
// Whether that transition changes state.
bool has_state_transition_target(StateMachineHandle state_machine, uint32_t message_id);

}  // namespace zolt::core

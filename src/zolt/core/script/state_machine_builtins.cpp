#include "zolt/core/script/state_machine_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/script/state_machine.h"

namespace zolt::core {

bool has_state_transition(StateMachineHandle state_machine, uint32_t message_id) {
    const StateMachine* const machine = find_state_machine(state_machine);
    StateTransition transition;
    return machine != nullptr && machine->find_transition(message_id, transition) &&
           (transition.target != -1 || transition.code_word != 0);
}

bool has_state_transition_target(StateMachineHandle state_machine, uint32_t message_id) {
    const StateMachine* const machine = find_state_machine(state_machine);
    StateTransition transition;
    return machine != nullptr && machine->find_transition(message_id, transition) && transition.target != -1;
}

void bind_state_machine_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::has_state_transition, &has_state_transition>(table);
    bind_builtin<BuiltinId::has_state_transition_target, &has_state_transition_target>(table);
}

}  // namespace zolt::core

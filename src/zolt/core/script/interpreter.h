#pragma once
// The bytecode interpreter: runs one task on the shared ScriptContext until
// it waits, gives way to another event, yields to another cooperative
// thread, or ends. Faults inside the bytecode (an invalid opcode, a target or
// operand outside the code, an operand stack access outside the stack, a
// division by zero) end the task silently; nothing is ever read outside the
// code or the operand stack. Main thread only.
#include <cstdint>

#include "zolt/core/script/script_context.h"

namespace zolt::core {

class Task;

constexpr uint32_t instructions_per_slice = 3500;

// 0: the task stopped (suspended with its frame saved, or ended); 1: it
// yielded with its frame saved (the clock run must stop and the frame loop
// give way), or a saved game was loaded. The task server's current task must
// be the task.
uint32_t execute_task(Task* task, ScriptContext& context);

}  // namespace zolt::core

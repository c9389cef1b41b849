#pragma once
// What the interpreter's loop shares with the opcode bodies it keeps out of
// line: the running task and what a body asks the loop to do next. Around
// every such body the loop writes the program counter, stack index and frame
// base to the context and reads them back afterwards, with the code start and
// size of the running code object. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"
#include "zolt/core/script/opcode_table.h"
#include "zolt/core/script/script_context.h"

namespace zolt::core {

class Task;

struct RunningTask {
    Task* task;
    // The handle at entry: a different one means the task was destroyed.
    ObjectHandle handle;
};

enum class StepResult : uint8_t {
    next,        // go on with the instruction at the program counter
    after_call,  // a builtin call: reset the slice so its test runs next
    fault,       // end the task, the program counter back on the opcode
    end,         // end the task normally
    suspend,     // save the frame and return 0
    destroyed,   // return 0 without touching the task
    leave,       // return 1 without saving (a game was loaded)
};

// Loads the code start and size of the context's code object; false when it
// no longer exists.
bool refresh_code(ScriptContext& context);
// Destroyed check, code refresh and give-way check after a call out.
StepResult check_after_call_out(ScriptContext& context, const RunningTask& running);

// Calls, with the program counter past the operand. A builtin call takes
// the builtin's id.
StepResult call_builtin_opcode(ScriptContext& context, const RunningTask& running, uint32_t id);
StepResult call_code_reference(ScriptContext& context, const RunningTask& running, uint32_t code_reference);
StepResult return_from_call(ScriptContext& context, const RunningTask& running);

// Task control and objects.
StepResult start_task_opcode(ScriptContext& context, const RunningTask& running);
StepResult wait_opcode(ScriptContext& context, const RunningTask& running);
StepResult wait_semaphore_opcode(ScriptContext& context, const RunningTask& running);
StepResult signal_semaphore_opcode(ScriptContext& context, const RunningTask& running);
void post_message_opcode(ScriptContext& context, const RunningTask& running);
StepResult create_object_opcode(ScriptContext& context, const RunningTask& running);
StepResult destroy_object_opcode(ScriptContext& context, const RunningTask& running);
StepResult shake_resources_opcode(ScriptContext& context, const RunningTask& running);
// Saved games: the task's frame is in the save, so a loaded game resumes it.
StepResult save_game_opcode(ScriptContext& context, const RunningTask& running);
StepResult load_game_opcode(ScriptContext& context, const RunningTask& running);
void set_context_opcode(const RunningTask& running, ObjectHandle handle);
ObjectHandle resolve_object_opcode(ObjectHandle handle);

// Elements, strings and properties, for the opcodes from get_element to
// remove_property. The program counter of a text literal has already been
// moved past it.
StepResult element_opcode(ScriptContext& context, Opcode opcode);
StepResult string_opcode(ScriptContext& context, const RunningTask& running, Opcode opcode, const uint8_t* literal,
                         uint32_t literal_length);
StepResult property_opcode(ScriptContext& context, const RunningTask& running, Opcode opcode);

}  // namespace zolt::core

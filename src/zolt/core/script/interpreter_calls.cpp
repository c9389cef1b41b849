#include "zolt/builtins/builtin_dispatch.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/script/interpreter_state.h"
#include "zolt/core/script/task.h"
#include "zolt/core/script/task_server.h"

namespace zolt::core {

namespace {
constexpr uint32_t call_frame_size = 3;

void enter_code_object(ScriptContext& context, const CodeObject* code_object) {
    context.code_object = code_object->get_handle();
    context.code_start = code_object->get_code_start();
    context.code_size = code_object->get_code_size();
}

// Pushes the caller's frame base, code object and return offset; the frame
// base becomes the new stack index.
bool push_call_frame(ScriptContext& context) {
    if (context.stack_index > operand_stack_size - call_frame_size) {
        return false;
    }
    uint32_t* const top = context.stack + context.stack_index;
    top[0] = context.frame_base;
    top[1] = context.code_object;
    top[2] = context.program_counter;
    context.stack_index += call_frame_size;
    context.frame_base = context.stack_index;
    return true;
}
}  // namespace

bool refresh_code(ScriptContext& context) {
    const CodeObject* const code_object = get_code_object(context.code_object);
    if (code_object == nullptr) {
        return false;
    }
    context.code_start = code_object->get_code_start();
    context.code_size = code_object->get_code_size();
    return true;
}

StepResult check_after_call_out(ScriptContext& context, const RunningTask& running) {
    if (running.task->get_handle() != running.handle) {
        return StepResult::destroyed;
    }
    // A call out may have moved sp or fb anywhere, or moved the code.
    if (context.stack_index > operand_stack_size || context.frame_base > operand_stack_size || !refresh_code(context)) {
        return StepResult::fault;
    }
    if (is_other_event_due()) {
        return StepResult::suspend;
    }
    return StepResult::next;
}

StepResult call_builtin_opcode(ScriptContext& context, const RunningTask& running, uint32_t id) {
    call_builtin(context, id);
    const StepResult result = check_after_call_out(context, running);
    if (result != StepResult::next) {
        return result;
    }
    if (context.program_counter >= context.code_size) {
        return StepResult::fault;
    }
    return StepResult::after_call;
}

StepResult call_code_reference(ScriptContext& context, const RunningTask& running, uint32_t code_reference) {
    if (get_code_chain_index(code_reference) == builtin_chain_index) {
        return call_builtin_opcode(context, running, get_code_entry_index(code_reference));
    }
    CodeObject* const target =
        code_server.find_code_object(get_code_key(code_reference), get_code_chain_index(code_reference));
    // Looking code up may load it, and loading may move the running code.
    if (!refresh_code(context)) {
        return StepResult::fault;
    }
    if (target == nullptr) {
        return StepResult::next;
    }
    const uint32_t entry_offset = target->get_entry_offset(get_code_entry_index(code_reference));
    if (entry_offset == 0xFFFFFFFF) {
        return StepResult::next;
    }
    if (!push_call_frame(context)) {
        return StepResult::fault;
    }
    if (target->get_handle() != context.code_object) {
        running.task->hold_code_object(target);
        enter_code_object(context, target);
    }
    context.program_counter = entry_offset;
    if (entry_offset >= context.code_size) {
        return StepResult::fault;
    }
    return StepResult::next;
}

StepResult return_from_call(ScriptContext& context, const RunningTask& running) {
    const uint32_t frame_base = context.frame_base;
    context.stack_index = frame_base;
    if (frame_base == 0) {
        return StepResult::end;
    }
    if (frame_base < call_frame_size) {
        return StepResult::fault;
    }
    const uint32_t* const frame = context.stack + frame_base - call_frame_size;
    const uint32_t caller_frame_base = frame[0];
    const ObjectHandle caller_code = frame[1];
    const uint32_t return_offset = frame[2];
    const uint32_t stack_index = frame_base - call_frame_size;
    if (caller_frame_base > stack_index) {
        return StepResult::fault;
    }
    if (caller_code != context.code_object) {
        const CodeObject* const caller = get_code_object(caller_code);
        if (caller == nullptr) {
            return StepResult::fault;
        }
        running.task->release_code_object();
        enter_code_object(context, caller);
    }
    context.stack_index = stack_index;
    context.frame_base = caller_frame_base;
    context.program_counter = return_offset;
    if (return_offset >= context.code_size) {
        return StepResult::fault;
    }
    return StepResult::next;
}

}  // namespace zolt::core

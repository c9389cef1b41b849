#include "zolt/core/events/message.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/script/interpreter_state.h"
#include "zolt/core/script/semaphore.h"
#include "zolt/core/script/task.h"
#include "zolt/core/script/task_server.h"
#include "zolt/renderer/backend/rendering_command.h"
#include "zolt/storage/save_manager.h"

namespace zolt::core {

namespace {
constexpr uint32_t state_machine_start_property = 0x300002C;

// The object the task's context names becomes the owner of a new object.
void attach_to_context_object(ServerObject* object, const RunningTask& running) {
    const ObjectHandle context_handle = running.task->get_context_handle();
    object->set_context_handle(context_handle);
    if (ServerObject* const owner = get_object(context_handle)) {
        ServerObject::attach_to_owner(object, owner);
    }
}
}  // namespace

StepResult start_task_opcode(ScriptContext& context, const RunningTask& running) {
    const uint32_t code_reference = context.stack[context.stack_index - 1];
    const uint32_t delay = context.stack[context.stack_index - 2];
    context.stack_index -= 2;
    Task* const task = task_server.start_task(code_reference, clock_being_run, delay);
    context.registers[0] = 0;
    if (task == nullptr) {
        return refresh_code(context) ? StepResult::next : StepResult::fault;
    }
    attach_to_context_object(task, running);
    context.registers[0] = task->get_handle();
    if (!refresh_code(context)) {
        return StepResult::fault;
    }
    return delay == delay_now_first ? StepResult::suspend : StepResult::next;
}

StepResult wait_opcode(ScriptContext& context, const RunningTask& running) {
    running.task->set_wake_time(context.registers[0]);
    if (is_other_event_due()) {
        context.registers[0] = 1;
        return StepResult::suspend;
    }
    context.registers[0] = 0;
    return StepResult::next;
}

StepResult wait_semaphore_opcode(ScriptContext& context, const RunningTask& running) {
    Semaphore* const semaphore = find_semaphore(context.registers[0]);
    const uint32_t mask = context.registers[2];
    context.registers[0] = 0;
    if (semaphore == nullptr || mask == 0) {
        return StepResult::next;
    }
    semaphore->add_waiter(running.task, mask);
    return StepResult::suspend;
}

StepResult signal_semaphore_opcode(ScriptContext& context, const RunningTask& running) {
    Semaphore* const semaphore = find_semaphore(context.registers[0]);
    // No semaphore releases no task; the handle left in r0 would read as a count.
    context.registers[0] = 0;
    if (semaphore == nullptr) {
        return StepResult::next;
    }
    context.registers[0] = semaphore->release_waiters(context.registers[2], context.registers[4]);
    // A woken task is due now in front of this one.
    return check_after_call_out(context, running);
}

void post_message_opcode(ScriptContext& context, const RunningTask& running) {
    const ObjectHandle context_handle = running.task->get_context_handle();
    Message* const message =
        post_message(context.registers[0], context_handle, context.registers[2], context.registers[4]);
    context.registers[0] = 0;
    if (message != nullptr) {
        message->set_context_handle(context_handle);
        context.registers[0] = message->get_handle();
    }
}

StepResult create_object_opcode(ScriptContext& context, const RunningTask& running) {
    const uint32_t type = context.registers[0];
    const uint32_t argument = context.registers[2];
    context.registers[0] = 0;
    ServerBase* const server = type < first_invalid_server_type ? get_server(type) : nullptr;
    ServerObject* object = server != nullptr ? server->create_object_internal(argument) : nullptr;
    if (object != nullptr) {
        // An object that may not be re-owned reaches scripts through a proxy.
        if (object->owns_itself()) {
            ServerBase* const proxies = get_server(server_type::proxy);
            object = proxies != nullptr ? proxies->create_object_internal(object->get_handle()) : nullptr;
        }
    }
    if (object != nullptr) {
        attach_to_context_object(object, running);
        if (type == server_type::state_machine) {
            Property start;
            start.set_u32(property_type::unsigned_integer << 24, 0);
            object->set_property(state_machine_start_property, start);
        }
        context.registers[0] = object->get_handle();
    }
    if (running.task->get_handle() != running.handle) {
        return StepResult::destroyed;
    }
    return refresh_code(context) ? StepResult::next : StepResult::fault;
}

StepResult destroy_object_opcode(ScriptContext& context, const RunningTask& running) {
    if (ServerObject* const object = get_object(context.registers[0])) {
        destroy_object(object);
    }
    if (running.task->get_handle() != running.handle) {
        return StepResult::destroyed;
    }
    return refresh_code(context) ? StepResult::next : StepResult::fault;
}

StepResult shake_resources_opcode(ScriptContext& context, const RunningTask& running) {
    run_rendering_command(renderer::free_all_dead_objects_command);
    if (resource_server.is_registered()) {
        resource_server.get_loader().shake_resources();
    }
    notify_all_resources_moved();
    if (running.task->get_handle() != running.handle) {
        return StepResult::destroyed;
    }
    return refresh_code(context) ? StepResult::next : StepResult::fault;
}

StepResult save_game_opcode(ScriptContext& context, const RunningTask& running) {
    const uint32_t save_id = context.registers[0];
    // A game loaded from this save resumes here with r0 = -1.
    context.registers[0] = 0xFFFFFFFF;
    running.task->save_frame(context);
    const bool saved = storage::save_manager.save_game(save_id);
    if (!running.task->restore_frame(context)) {
        return StepResult::fault;
    }
    context.registers[0] = saved ? 1 : 0;
    return StepResult::next;
}

StepResult load_game_opcode(ScriptContext& context, const RunningTask& running) {
    // The frame goes into the world a refused load puts back.
    running.task->save_frame(context);
    if (storage::save_manager.load_game_by_id(context.registers[0])) {
        return StepResult::leave;
    }
    if (running.task->get_handle() != running.handle) {
        return StepResult::destroyed;
    }
    task_server.set_current_task(running.task);
    if (!running.task->restore_frame(context)) {
        return StepResult::fault;
    }
    // A refused load answers 0, not the id it was given.
    context.registers[0] = 0;
    return StepResult::next;
}

void set_context_opcode(const RunningTask& running, ObjectHandle handle) {
    Property resolved;
    resolve_alias_handle(handle, resolved);
    running.task->set_context_handle(resolved.get_u32());
}

ObjectHandle resolve_object_opcode(ObjectHandle handle) {
    const ServerObject* const object = resolve_handle(handle);
    return object != nullptr ? object->get_handle() : 0;
}

}  // namespace zolt::core

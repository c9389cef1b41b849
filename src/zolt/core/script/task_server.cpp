#include "zolt/core/script/task_server.h"

#include "zolt/core/script/code_server.h"
#include "zolt/core/script/task_wake_events.h"

namespace zolt::core {

TaskServer task_server;

uint32_t HeldCodePool::take_node(uint32_t next, ObjectHandle code_object) {
    auto* node = static_cast<HeldCodeNode*>(pool_.allocate(sizeof(HeldCodeNode)));
    node->next = next;
    node->code_object = code_object;
    return static_cast<uint32_t>(node - nodes_) + 1;
}

void TaskServer::register_server() {
    PooledServer::register_server();
    current_task_ = nullptr;
}

ServerObject* TaskServer::create_object_internal(uint32_t code_reference) {
    // The entry frame needs the code: a task for missing code is never made.
    CodeObject* const code_object =
        code_server.find_code_object(get_code_key(code_reference), get_code_chain_index(code_reference));
    if (code_object == nullptr || code_object->get_entry_offset(get_code_entry_index(code_reference)) == 0xFFFFFFFF) {
        return nullptr;
    }
    return PooledServer::create_object_internal(code_reference);
}

Task* TaskServer::start_task(uint32_t code_reference, uint32_t clock_selector, uint32_t delay) {
    Task* const task = create_task(code_reference);
    if (task != nullptr) {
        task->schedule(clock_selector, delay);
    }
    return task;
}

void start_first_task() {
    constexpr uint32_t first_task_code = 0x4001;
    constexpr uint32_t clock_0_selector = 0x20;
    if (task_server.is_registered()) {
        task_server.start_task(first_task_code, clock_0_selector, 0);
        start_stand_in_thread();
    }
}

Task* find_task(ObjectHandle handle) {
    if (get_handle_server_type(handle) != server_type::task) {
        return nullptr;
    }
    return static_cast<Task*>(get_object(handle));
}

bool is_other_event_due() {
    const Task* const running = task_server.get_current_task();
    const ObjectHandle first = get_task_clock_hooks().get_first_due_event();
    return first == 0 || running == nullptr || first != running->get_wake_event();
}

}  // namespace zolt::core

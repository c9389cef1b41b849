#pragma once
// The task server (type 13): 10000 tasks, the pool of byte-stack pages
// (20000), the pool of held-code nodes (40000), the task the interpreter is
// running and the one ScriptContext all tasks share. A task is created only
// for code that exists: a code reference whose code object or entry cannot be
// found creates nothing. Main thread only.
#include <cstdint>

#include "libs/utility/fixed_memory_pool.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/script/script_context.h"
#include "zolt/core/script/task.h"
#include "zolt/core/script/task_byte_stack.h"

namespace zolt::core {

constexpr uint32_t task_capacity = 10000;
constexpr uint32_t held_code_node_count = 40000;

// One held code object of a task; nodes are named by number, 0 for none.
struct HeldCodeNode {
    uint32_t next;
    ObjectHandle code_object;
};

class HeldCodePool {
public:
    HeldCodePool() : pool_(nodes_, sizeof(HeldCodeNode), held_code_node_count) {}
    HeldCodePool(const HeldCodePool&) = delete;
    HeldCodePool& operator=(const HeldCodePool&) = delete;

    // An empty pool is the fatal "out of memory".
    uint32_t take_node(uint32_t next, ObjectHandle code_object);
    void return_node(uint32_t number) { pool_.free(&nodes_[number - 1]); }
    HeldCodeNode& get_node(uint32_t number) { return nodes_[number - 1]; }

private:
    alignas(8) HeldCodeNode nodes_[held_code_node_count];
    FixedMemoryPoolBase pool_;
};

class TaskServer final : public PooledServer<Task, task_capacity> {
public:
    TaskServer() : PooledServer(server_type::task) {}

    const char* get_name() const override { return "TaskServer"; }
    // Also clears the current task.
    void register_server() override;
    // Null when the code reference names no existing code or entry.
    ServerObject* create_object_internal(uint32_t code_reference) override;
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    Task* create_task(uint32_t code_reference) { return static_cast<Task*>(create_object_internal(code_reference)); }
    // Creates and schedules a task; null when the code does not exist.
    Task* start_task(uint32_t code_reference, uint32_t clock_selector, uint32_t delay);

    Task* get_current_task() const { return current_task_; }
    void set_current_task(Task* task) { current_task_ = task; }
    ScriptContext& get_context() { return context_; }
    StackPagePool& get_page_pool() { return page_pool_; }
    HeldCodePool& get_held_code_pool() { return held_code_pool_; }

private:
    Task* current_task_ = nullptr;
    StackPagePool page_pool_;
    HeldCodePool held_code_pool_;
    ScriptContext context_;
};

extern TaskServer task_server;

// The engine's first task: code reference 0x4001 on clock 0, due now. Nothing
// happens while the task server is not registered or the code is missing.
void start_first_task();

// The live task the handle names, or null.
Task* find_task(ObjectHandle handle);

// True when the first event due now on the clock being run is not the
// running task's own wake event (or there is none): the task must give way.
bool is_other_event_due();

}  // namespace zolt::core

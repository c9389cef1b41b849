#pragma once
// A task: one cooperative script thread (server type 13). While it runs its
// state lives in the task server's shared ScriptContext; whenever it stops,
// that state is copied to the task's own byte stack as one saved frame:
//   operand stack words stack[0] .. stack[sp - 1], registers r0 .. r7,
//   frame base, code object handle, program counter offset (all u32 LE),
// so register n lies 44 - 4n bytes below the top. The task holds a reference
// on its entry code object and on every other code object a call entered,
// newest first. The object's context handle is the object the task works
// for. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"
#include "zolt/core/script/script_context.h"
#include "zolt/core/script/task_byte_stack.h"

namespace zolt::core {

class CodeObject;
class Task;

constexpr uint32_t saved_frame_tail_size = 12;
constexpr uint32_t saved_registers_size = register_count * 4;
// The least a suspended task has on its byte stack.
constexpr uint32_t saved_frame_minimum_size = saved_registers_size + saved_frame_tail_size;
constexpr uint32_t saved_frame_maximum_size = operand_stack_size * 4 + saved_frame_minimum_size;

// Scheduling delays and clock selectors every scheduling call understands.
constexpr uint32_t delay_now_first = 0xFFFFD499;     // -11111: due now, before all due now
constexpr uint32_t delay_clock_target = 0xFFFFD498;  // -11112: at the end of the clock's step
constexpr uint32_t clock_being_run = 31;

// Task properties.
constexpr uint32_t task_clock_property = 0x300001F;
constexpr uint32_t task_delay_property = 0x3000020;

// The part of a semaphore that tasks touch: the head of its circular list of
// waiting tasks, linked through the tasks themselves.
struct TaskWaitList {
    Task* head = nullptr;
};

class Task final : public ServerObject {
public:
    // Clears the wake event, state machine and byte stack, then pushes the
    // entry frame of the code reference.
    void initialize(uint32_t code_reference) override;
    // Leaves any wait list, returns every page, releases every held code
    // object and destroys the wake event.
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool set_property(uint32_t id, const Property& value) override;

    // Pushes the running task's registers (zeros outside a task) and the
    // entry frame {0, code object, entry offset}; false when the code object
    // or the entry does not exist.
    bool push_entry_frame(uint32_t code_reference);

    // A new wake event on the clock the selector names (31: the clock being
    // run), due after the delay.
    void schedule(uint32_t clock_selector, uint32_t delay);
    void set_wake_time(uint32_t delay);
    void cancel_wake();

    // Overwrites saved register n (0-7) of a task that is not running.
    void set_argument(uint32_t n, uint32_t value);
    // Saved register n, 0 when there is none.
    uint32_t get_argument(uint32_t n) const;

    void wait_on_semaphore(TaskWaitList* semaphore, uint32_t mask);
    void set_wait_object(TaskWaitList* semaphore);
    // Released by a semaphore: r0 = the bits, due now on the clock being run.
    void wake(uint32_t bits);

    void hold_code_object(CodeObject* code_object);
    // Drops the newest held reference.
    void release_code_object();
    uint32_t get_held_code_count() const;

    void save_frame(const ScriptContext& context);
    // False, with the frame consumed, when the saved code object is gone or
    // the frame does not fit the operand stack.
    bool restore_frame(ScriptContext& context);

    ObjectHandle get_wake_event() const { return wake_event_; }
    TaskWaitList* get_wait_object() const { return wait_object_; }
    Task* get_next_waiter() const { return next_waiter_; }
    Task* get_previous_waiter() const { return previous_waiter_; }
    uint32_t get_wait_mask() const { return wait_mask_; }
    ObjectHandle get_state_machine() const { return state_machine_; }
    void set_state_machine(ObjectHandle handle) { state_machine_ = handle; }
    uint32_t get_stack_byte_count() const { return stack_.byte_count; }

private:
    void release_all_code_objects();

    ObjectHandle wake_event_ = 0;
    TaskWaitList* wait_object_ = nullptr;
    Task* next_waiter_ = this;
    Task* previous_waiter_ = this;
    uint32_t wait_mask_ = 0;
    ObjectHandle state_machine_ = 0;
    ByteStack stack_;
    // Number of the newest held-code node, 0 for none.
    uint32_t held_code_ = 0;
};

}  // namespace zolt::core

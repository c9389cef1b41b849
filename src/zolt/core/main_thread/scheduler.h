#pragma once
// The main thread's cooperative scheduler: cooperative threads wait in one run
// list ordered by wake time (ticks of 10 microseconds); the earliest runs when
// it is due. Only the main thread touches the list, so it needs no lock. The
// scheduler never allocates: threads are records owned by their subsystems.
#include <cstdint>

namespace zolt::core {

struct Thread {
    using Step = void (*)(Thread* thread);

    explicit Thread(Step step_function) : step(step_function) {}
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Circular links of the run list; an unlinked thread points to itself.
    Thread* next = this;
    Thread* previous = this;
    uint32_t wake_time = 0;
    // Must schedule the thread again before returning, or leave it unlinked.
    Step step;
    // Owner's word; the frame loop keeps its state here.
    uint32_t state = 0;

    bool is_linked() const { return next != this || get_run_list_head_is(this); }

private:
    static bool get_run_list_head_is(const Thread* thread);
};

// Inserts the thread behind every thread due at or before time (a thread
// already in the list moves).
void schedule_thread(Thread* thread, uint32_t time);

// Unlinks the thread and runs its step.
void run_thread(Thread* thread, uint32_t now);

// Runs the earliest thread, waiting for its wake time first when needed.
void run_due_thread();

// Schedules the thread behind every thread due at the head's time (at now when
// the list is empty).
void reschedule_thread(Thread* thread);

bool is_other_thread_due();

// Takes a thread out of the run list; nothing happens when it is not in it.
void unlink_thread(Thread* thread);

Thread* get_run_list_head();

}  // namespace zolt::core

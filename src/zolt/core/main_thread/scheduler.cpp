#include "zolt/core/main_thread/scheduler.h"

#include "libs/system/time_base.h"

namespace zolt::core {
namespace {
Thread* run_list_head = nullptr;
}  // namespace

Thread::~Thread() {
    unlink_thread(this);
}

bool Thread::get_run_list_head_is(const Thread* thread) {
    return run_list_head == thread;
}

Thread* get_run_list_head() {
    return run_list_head;
}

void unlink_thread(Thread* thread) {
    if (!thread->is_linked()) {
        return;
    }
    if (run_list_head == thread) {
        run_list_head = thread->next == thread ? nullptr : thread->next;
    }
    thread->previous->next = thread->next;
    thread->next->previous = thread->previous;
    thread->next = thread;
    thread->previous = thread;
}

void schedule_thread(Thread* thread, uint32_t time) {
    // A thread already waiting moves to its new time; linking it twice would
    // break the list.
    unlink_thread(thread);
    thread->wake_time = time;
    if (run_list_head == nullptr) {
        thread->next = thread->previous = thread;
        run_list_head = thread;
        return;
    }
    Thread* const tail = run_list_head->previous;
    for (Thread* candidate = tail;; candidate = candidate->previous) {
        if (is_time_due(candidate->wake_time, time)) {
            thread->previous = candidate;
            thread->next = candidate->next;
            candidate->next->previous = thread;
            candidate->next = thread;
            return;
        }
        if (candidate == run_list_head) {
            break;
        }
    }
    thread->next = run_list_head;
    thread->previous = tail;
    tail->next = thread;
    run_list_head->previous = thread;
    run_list_head = thread;
}

void run_thread(Thread* thread, uint32_t now) {
    (void)now;
    unlink_thread(thread);
    thread->step(thread);
}

void run_due_thread() {
    uint32_t now = get_time();
    Thread* const head = run_list_head;
    if (head == nullptr) {
        return;
    }
    if (!is_time_due(head->wake_time, now)) {
        now = wait_until(head->wake_time);
    }
    run_thread(head, now);
}

void reschedule_thread(Thread* thread) {
    schedule_thread(thread, run_list_head != nullptr ? run_list_head->wake_time : get_time());
}

bool is_other_thread_due() {
    return run_list_head != nullptr && is_time_due(run_list_head->wake_time, get_time());
}

}  // namespace zolt::core

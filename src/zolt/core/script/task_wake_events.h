#pragma once
// What tasks need of the event clocks: creating, re-timing and destroying
// their wake events, and the first event due now on the clock being run.
// The event server installs its own hooks when it registers. Until then a
// stand-in keeps the wake events of every clock in one queue ordered by due
// time on the engine's time base (-11111 in front of everything due now,
// -11112 one tick ahead), run by a cooperative thread of its own once the
// engine's run loop starts it. Firing a task's event runs the task and leaves
// the event queued, so a task stays first until it waits, gives way or ends.
// Main thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"

namespace zolt::core {

struct TaskClockHooks {
    // A new wake event for the task, inserted by the delay rules; its handle.
    ObjectHandle (*create_wake_event)(ObjectHandle task, uint32_t clock_selector, uint32_t delay);
    void (*retime_wake_event)(ObjectHandle event, uint32_t delay);
    void (*destroy_wake_event)(ObjectHandle event);
    // The first event of the current time slot of the clock being run, or 0.
    ObjectHandle (*get_first_due_event)();
};

// Null puts the stand-in back.
void set_task_clock_hooks(const TaskClockHooks* hooks);
const TaskClockHooks& get_task_clock_hooks();

// Schedules the stand-in's thread whenever wake events are due; nothing once
// the event server's hooks are installed.
void start_stand_in_thread();

// The stand-in: fires every wake event due now, in order; answers 1 when a
// task yielded or another cooperative thread became due (the rest waits for
// the stand-in's thread to run again), else 0.
uint32_t run_stand_in_wake_events();
uint32_t get_stand_in_wake_event_count();
// Empties the stand-in queue and stops its thread (engine stop, tests).
void clear_stand_in_wake_events();

}  // namespace zolt::core

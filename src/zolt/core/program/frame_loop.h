#pragma once
// The frame loop: the cooperative thread that walks six states a frame and
// gives way between states when another thread is due or the pump reports
// quit.
#include <cstdint>

#include "zolt/core/main_thread/scheduler.h"

namespace zolt::core {

// The states in the order each frame runs them; the loop keeps the current
// one in its thread's state word.
enum class FrameLoopState : uint32_t {
    advance_clocks = 0,      // clocks, network callbacks, delivered messages, frame pacing
    run_clocks = 1,          // due events of the enabled clocks
    start_physics_step = 2,  // the secondary physics step, when asynchronous
    render = 3,
    finish_frame = 4,  // pacing, the physics step's end, network clock, sound
    wrap = 5,          // back to advance_clocks at once, without giving way
};

// What a state answers the loop.
enum class FrameLoopResult : int32_t {
    next_state = 0,         // on to the next state
    give_way = 1,           // this state again, after the threads due now
    wait_for_next_due = 2,  // this state again, behind the next thread due, however late
};

Thread& get_frame_loop_thread();
FrameLoopState get_frame_loop_state();
void set_frame_loop_state(FrameLoopState state);

// True from start_physics_step to finish_frame while a secondary physics
// step runs.
bool is_physics_step_in_progress();

// Called with the state before each state runs; for tests and tools.
using FrameLoopObserver = void (*)(FrameLoopState state, void* context);
void set_frame_loop_observer(FrameLoopObserver observer, void* context);

}  // namespace zolt::core

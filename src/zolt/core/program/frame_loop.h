#pragma once
// The frame loop: the cooperative thread that walks six states a frame
// (advance clocks, run clocks, start the physics step, render, present and
// finish the step, wrap) and gives way between states when another thread is
// due or the pump reports quit.
#include <cstdint>

#include "zolt/core/main_thread/scheduler.h"

namespace zolt::core {

Thread& get_frame_loop_thread();

// True between states 2 and 4 while a secondary physics step runs.
bool is_physics_step_in_progress();

// Called with the state number before each state runs; for tests and tools.
using FrameLoopObserver = void (*)(uint32_t state, void* context);
void set_frame_loop_observer(FrameLoopObserver observer, void* context);

}  // namespace zolt::core

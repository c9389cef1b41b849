#pragma once
// Frame pacing: once per frame-loop cycle it decides whether a frame is ready
// (the scripts ask for drawing), whether it may be drawn now, whether a late
// frame is dropped, when the finished frame is presented and with which swap
// interval, and it adapts the frame period to the measured frame time.
//
// Synchronised mode follows the display's vertical blank and measures each
// frame; timed mode presents against a frame timer, a cooperative thread that
// takes one pending frame away per period, and keeps a lateness budget that
// drops drawing while the game runs late. Times are ticks of 10 microseconds.
// Main thread only (the frame timer is a thread of the same scheduler).
#include <cstdint>

#include "zolt/core/main_thread/scheduler.h"

namespace zolt::renderer {

// Configuration.
extern uint32_t frame_rate_control_mode;
extern uint32_t frame_drop_limit;
extern uint32_t frame_drop_response_delay;
extern uint32_t frame_rate_update_period;
extern uint32_t minimum_desired_frame_rate;
extern uint32_t maximum_desired_frame_rate;
extern bool vertical_synchronization_enabled;
extern uint32_t vertical_synchronization_disable_threshold;
extern uint32_t vertical_synchronization_enable_threshold;
extern uint32_t initial_frame_rate;

// 100000 / rate ticks, rounded to the nearest tick.
constexpr uint32_t get_frame_period(uint32_t rate) {
    return (200000 + rate) / (2 * rate);
}

struct FramePacingState {
    uint32_t frame_period = 0;
    bool synchronized_mode = false;
    bool frame_ready = false;
    bool frame_drawn = false;
    // Frames presented ahead of the frame timer.
    uint32_t pending_frames = 0;
    int32_t lateness_budget = 0;
    bool late_frame_dropping_disabled = false;
    uint32_t last_present_time = 0;
    uint32_t frame_start_time = 0;
    uint32_t next_slot_time = 0;
    uint32_t last_timed_present_time = 0;
    uint32_t accumulated_frame_time = 0;
    uint32_t accumulated_early_time = 0;
    uint32_t presented_frame_count = 0;
    uint32_t ready_frames_since_present = 0;
    // -1 unknown.
    int32_t current_swap_interval = -1;
};

const FramePacingState& get_frame_pacing_state();
// Everything to 0 and the swap interval unknown; also at static
// initialisation.
void reset_frame_state();

// Engine start: schedules the frame timer. Pacing acts from here to
// shutdown_frame_rate_control; outside that time a frame is never ready and
// nothing waits or is presented.
void initialize_frame_rate_control();
// Engine stop: takes the frame timer off the run list.
void shutdown_frame_rate_control();
bool is_frame_rate_control_running();
core::Thread& get_frame_timer_thread();

// Frame-loop state 0.
void begin_frame_pacing();
// Frame-loop state 4: presents the frame.
void end_frame_pacing();
// Timed mode: whether the frame may be drawn now (marking it drawn).
bool is_frame_due();
// Render step: the frame is drawn by render_frame_command.
void mark_frame_drawn();
// The display was (re)made: the swap interval it has is not known.
void forget_swap_interval();

// Sets the interval when it changes and the driver lets it, then presents.
void swap_buffers(int32_t interval);
// Tests and tools see each frame just before it is presented.
using PresentObserver = void (*)(int32_t interval, void* context);
void set_present_observer(PresentObserver observer, void* context);

// Builtin 570: 0 disables late-frame dropping, anything else enables it.
void set_late_frame_dropping(uint32_t enabled);

}  // namespace zolt::renderer

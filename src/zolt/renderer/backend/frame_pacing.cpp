#include "zolt/renderer/backend/frame_pacing.h"

#include <algorithm>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/system/time_base.h"
#include "libs/utility/config_variable_row.h"
#include "platform/display/sdl_window.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/graphics_library/game_window.h"

namespace zolt::renderer {

uint32_t frame_rate_control_mode = 1;
uint32_t frame_drop_limit = 10;
uint32_t frame_drop_response_delay = 20;
uint32_t frame_rate_update_period = 250;
uint32_t minimum_desired_frame_rate = 10;
uint32_t maximum_desired_frame_rate = 40;
bool vertical_synchronization_enabled = true;
uint32_t vertical_synchronization_disable_threshold = 15;
uint32_t vertical_synchronization_enable_threshold = 20;
uint32_t initial_frame_rate = 25;

namespace {

using UnsignedRow = ConfigVariableRow<uint32_t>;
using BoolRow = ConfigVariableRow<bool>;

const UnsignedRow frame_rate_control_mode_row(96, "frame_rate_control_mode", &frame_rate_control_mode, 1, 0, 1,
                                              config_written_when_changed);
const UnsignedRow frame_drop_limit_row(97, "frame_drop_limit", &frame_drop_limit, 10, 0, 100,
                                       config_written_when_changed);
const UnsignedRow frame_drop_response_delay_row(98, "frame_drop_response_delay", &frame_drop_response_delay, 20, 1,
                                                1000, config_written_when_changed);
const UnsignedRow frame_rate_update_period_row(99, "frame_rate_update_period", &frame_rate_update_period, 250, 0, 60000,
                                               config_written_when_changed);
const UnsignedRow minimum_desired_frame_rate_row(100, "minimum_desired_frame_rate", &minimum_desired_frame_rate, 10, 10,
                                                 100, config_written_when_changed);
const UnsignedRow maximum_desired_frame_rate_row(101, "maximum_desired_frame_rate", &maximum_desired_frame_rate, 40, 10,
                                                 100, config_written_when_changed);
const BoolRow vertical_synchronization_enabled_row(102, "vertical_synchronization_enabled",
                                                   &vertical_synchronization_enabled, true, false, true,
                                                   config_written_when_changed);
const UnsignedRow vertical_synchronization_disable_threshold_row(103, "vertical_synchronization_disable_threshold",
                                                                 &vertical_synchronization_disable_threshold, 15, 0,
                                                                 100, config_written_when_changed);
const UnsignedRow vertical_synchronization_enable_threshold_row(104, "vertical_synchronization_enable_threshold",
                                                                &vertical_synchronization_enable_threshold, 20, 10, 100,
                                                                config_written_when_changed);
const UnsignedRow initial_frame_rate_row(105, "initial_frame_rate", &initial_frame_rate, 25, 10, 100,
                                         config_written_when_changed);

constexpr uint32_t movie_frame_rate_ceiling = 30;
// A timed frame never counts as more than one second.
constexpr uint32_t longest_frame_time = 100000;
constexpr uint32_t frames_ahead_limit = 3;

void on_frame_timer(core::Thread* thread);

FramePacingState pacing;
core::Thread frame_timer(on_frame_timer);
bool frame_rate_control_running = false;
PresentObserver present_observer = nullptr;
void* present_observer_context = nullptr;

bool is_fullscreen_video_playing() {
    return rendering_command_hooks.is_fullscreen_video_playing != nullptr &&
           rendering_command_hooks.is_fullscreen_video_playing();
}

uint32_t clamp_period(uint32_t period, uint32_t shortest, uint32_t longest) {
    return std::min(std::max(period, shortest), longest);
}

void on_frame_timer(core::Thread* thread) {
    if (pacing.pending_frames > 0) {
        --pacing.pending_frames;
    }
    core::schedule_thread(thread, thread->wake_time + pacing.frame_period);
}

void update_vertical_synchronization_mode(uint32_t now) {
    const bool wanted = frame_rate_control_mode != 0 && !is_fullscreen_video_playing();
    if (wanted == pacing.synchronized_mode) {
        return;
    }
    pacing.synchronized_mode = wanted;
    pacing.lateness_budget = 0;
    // The first timed frame after the switch is measured from the switch,
    // not from an arbitrary time 0.
    pacing.last_timed_present_time = now;
    pacing.accumulated_frame_time = 0;
    pacing.accumulated_early_time = 0;
    pacing.presented_frame_count = 0;
    pacing.next_slot_time = now;
}

int32_t get_presentation_interval() {
    return vertical_synchronization_enabled ? 1 : 0;
}

void present_synchronized_frame() {
    if (!pacing.frame_ready) {
        return;
    }
    pacing.frame_ready = false;
    if (pacing.frame_drawn) {
        pacing.frame_drawn = false;
        swap_buffers(get_presentation_interval());
        ++pacing.pending_frames;
    }
}

void update_synchronized_frame_period(uint32_t now) {
    const uint32_t shortest = get_frame_period(maximum_desired_frame_rate);
    const uint32_t longest = get_frame_period(minimum_desired_frame_rate);
    const uint32_t elapsed = now - pacing.frame_start_time;
    pacing.frame_period = clamp_period(elapsed, shortest, longest);
    pacing.next_slot_time = elapsed < shortest ? pacing.frame_start_time + shortest : now;
}

void present_timed_frame(uint32_t now) {
    const uint32_t dt = std::min(now - pacing.last_timed_present_time, longest_frame_time);
    pacing.last_timed_present_time = now;
    if (!pacing.frame_ready) {
        return;
    }
    pacing.accumulated_frame_time += dt;
    uint32_t ready_count = pacing.ready_frames_since_present + 1;
    pacing.frame_ready = false;
    const bool force = ready_count > frame_drop_limit || opengl::compatibility_fix_do_not_drop_late_frames;
    const int64_t cap = int64_t{frame_drop_response_delay} * 100;
    int64_t budget = int64_t{pacing.lateness_budget} + int64_t{pacing.frame_period} - int64_t{dt};
    budget = std::min(budget, cap);
    if (pacing.late_frame_dropping_disabled || frame_drop_limit == 0 ||
        (budget < 0 && ready_count == frame_drop_limit)) {
        budget = 0;
    }
    pacing.lateness_budget = static_cast<int32_t>(std::max<int64_t>(budget, INT32_MIN));
    if (pacing.frame_drawn) {
        pacing.frame_drawn = false;
        if (budget >= -2 * int64_t{pacing.frame_period} || force) {
            swap_buffers(get_presentation_interval());
            ++pacing.pending_frames;
            ++pacing.presented_frame_count;
            ready_count = 0;
        }
    }
    pacing.ready_frames_since_present = ready_count;
}

void adapt_frame_period() {
    if (frame_rate_update_period == 0) {
        return;
    }
    const uint32_t ceiling = is_fullscreen_video_playing() ? movie_frame_rate_ceiling : maximum_desired_frame_rate;
    if (pacing.accumulated_frame_time < frame_rate_update_period * 100) {
        return;
    }
    // Without a presented frame there is nothing to measure; the period stays.
    if (pacing.presented_frame_count != 0) {
        const uint32_t busy_time = pacing.accumulated_frame_time > pacing.accumulated_early_time
                                       ? pacing.accumulated_frame_time - pacing.accumulated_early_time
                                       : 0;
        const uint32_t average = busy_time / pacing.presented_frame_count;
        pacing.frame_period =
            clamp_period(average, get_frame_period(ceiling), get_frame_period(minimum_desired_frame_rate));
    }
    if (vertical_synchronization_disable_threshold > 0) {
        if (pacing.frame_period > get_frame_period(vertical_synchronization_disable_threshold)) {
            vertical_synchronization_enabled = false;
        } else if (pacing.frame_period < get_frame_period(vertical_synchronization_enable_threshold)) {
            vertical_synchronization_enabled = true;
        }
    }
    pacing.accumulated_frame_time = 0;
    pacing.accumulated_early_time = 0;
    pacing.presented_frame_count = 0;
}

}  // namespace

const FramePacingState& get_frame_pacing_state() {
    return pacing;
}

void reset_frame_state() {
    pacing = FramePacingState{};
}

void initialize_frame_rate_control() {
    const uint32_t now = get_time();
    pacing.frame_start_time = now;
    pacing.last_present_time = now;
    pacing.next_slot_time = now;
    pacing.last_timed_present_time = now;
    pacing.frame_period = get_frame_period(initial_frame_rate);
    core::unlink_thread(&frame_timer);
    core::schedule_thread(&frame_timer, now);
    frame_rate_control_running = true;
}

void shutdown_frame_rate_control() {
    core::unlink_thread(&frame_timer);
    frame_rate_control_running = false;
}

bool is_frame_rate_control_running() {
    return frame_rate_control_running;
}

core::Thread& get_frame_timer_thread() {
    return frame_timer;
}

void begin_frame_pacing() {
    if (!frame_rate_control_running) {
        pacing.frame_ready = false;
        return;
    }
    uint32_t now = get_time();
    update_vertical_synchronization_mode(now);
    if (pacing.synchronized_mode && pacing.next_slot_time - now <= get_frame_period(maximum_desired_frame_rate)) {
        now = wait_until(pacing.next_slot_time);
    }
    pacing.frame_start_time = now;
    pacing.frame_ready = (read_output_flags() & output_flags_drawing) != 0;
}

void end_frame_pacing() {
    if (!frame_rate_control_running) {
        return;
    }
    const uint32_t now = get_time();
    if (pacing.synchronized_mode) {
        present_synchronized_frame();
        update_synchronized_frame_period(now);
    } else {
        present_timed_frame(now);
        adapt_frame_period();
    }
    pacing.last_present_time = now;
}

bool is_frame_due() {
    if (pacing.frame_drawn) {
        return true;
    }
    if (pacing.pending_frames < frames_ahead_limit) {
        pacing.frame_drawn = true;
        return true;
    }
    if (const core::Thread* head = core::get_run_list_head()) {
        const uint32_t until_due = head->wake_time - get_time();
        if (static_cast<int32_t>(until_due) > 0) {
            pacing.accumulated_early_time += until_due;
        }
    }
    return false;
}

void mark_frame_drawn() {
    pacing.frame_drawn = true;
}

void forget_swap_interval() {
    pacing.current_swap_interval = -1;
}

void swap_buffers(int32_t interval) {
    if (opengl::is_extension_present(opengl::Extension::WGL_EXT_swap_control) &&
        !opengl::compatibility_fix_unchanged_swap_interval && pacing.current_swap_interval != interval) {
        opengl::gl.wglSwapIntervalEXT(interval);
        pacing.current_swap_interval = interval;
    }
    if (present_observer != nullptr) {
        present_observer(interval, present_observer_context);
    }
    platform::swap_window_buffers(get_game_window());
}

void set_present_observer(PresentObserver observer, void* context) {
    present_observer = observer;
    present_observer_context = context;
}

void set_late_frame_dropping(uint32_t enabled) {
    pacing.late_frame_dropping_disabled = enabled == 0;
}

}  // namespace zolt::renderer

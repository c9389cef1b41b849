#include "zolt/core/program/frame_loop.h"

#include "libs/system/time_base.h"
#include "libs/utility/fatal_error.h"
#include "zolt/core/events/event_server.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/main_thread/message_pump.h"
#include "zolt/network/network_services.h"
#include "zolt/physics/physx_actor_server.h"
#include "zolt/physics/physx_server.h"
#include "zolt/renderer/backend/frame_pacing.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/sound/sound_manager.h"

namespace zolt::core {
namespace {
void step_frame_loop(Thread* thread);

Thread frame_loop_thread(step_frame_loop);
bool physics_step_in_progress = false;
FrameLoopObserver frame_loop_observer = nullptr;
void* frame_loop_observer_context = nullptr;

FrameLoopResult run_state(FrameLoopState state) {
    switch (state) {
    case FrameLoopState::advance_clocks:
        event_server.update_clocks();
        if (network::are_steam_callbacks_registered()) {
            network::run_steam_callbacks();
        }
        if (message_server.is_registered()) {
            message_server.free_delivered_messages();
        }
        renderer::begin_frame_pacing();
        return FrameLoopResult::next_state;
    case FrameLoopState::run_clocks:
        // The event that stopped the clocks answers for the state.
        return static_cast<FrameLoopResult>(event_server.run_clocks());
    case FrameLoopState::start_physics_step:
        if (!physics_step_in_progress && physics::physx_server.is_asynchronous_step_enabled()) {
            if (!physics::disable_physx_physics) {
                physics::physx_actor_server.update_before_scene_step(physics::secondary_scene);
                physics::physx_server.start_scene_step(physics::secondary_scene);
            }
            physics_step_in_progress = true;
        }
        return FrameLoopResult::next_state;
    case FrameLoopState::render:
        // A frame that must wait gives way behind the threads due now.
        return renderer::render_or_skip_frame() ? FrameLoopResult::next_state : FrameLoopResult::wait_for_next_due;
    case FrameLoopState::finish_frame:
        renderer::end_frame_pacing();
        if (physics_step_in_progress) {
            if (!physics::disable_physx_physics) {
                physics::physx_server.is_scene_step_finished(physics::secondary_scene, true);
                physics::physx_actor_server.update_after_scene_step(physics::secondary_scene);
            }
            physics_step_in_progress = false;
        }
        network::sample_network_game_clock();
        sound::update_sound_manager();
        return FrameLoopResult::next_state;
    default:
        ZOLT_PANIC("unknown main thread state %u", static_cast<uint32_t>(state));
    }
}

void step_frame_loop(Thread* thread) {
    for (;;) {
        const auto state = static_cast<FrameLoopState>(thread->state);
        if (frame_loop_observer != nullptr) {
            frame_loop_observer(state, frame_loop_observer_context);
        }
        if (state == FrameLoopState::wrap) {
            thread->state = static_cast<uint32_t>(FrameLoopState::advance_clocks);
            continue;
        }
        const FrameLoopResult result = run_state(state);
        switch (result) {
        case FrameLoopResult::next_state:
            ++thread->state;
            if (is_other_thread_due() || pump_messages()) {
                schedule_thread(thread, get_time());
                return;
            }
            break;
        case FrameLoopResult::give_way:
            schedule_thread(thread, get_time());
            return;
        case FrameLoopResult::wait_for_next_due:
            reschedule_thread(thread);
            return;
        default:
            ZOLT_PANIC("unknown event result %d", static_cast<int32_t>(result));
        }
    }
}
}  // namespace

Thread& get_frame_loop_thread() {
    return frame_loop_thread;
}

FrameLoopState get_frame_loop_state() {
    return static_cast<FrameLoopState>(frame_loop_thread.state);
}

void set_frame_loop_state(FrameLoopState state) {
    frame_loop_thread.state = static_cast<uint32_t>(state);
}

bool is_physics_step_in_progress() {
    return physics_step_in_progress;
}

void set_frame_loop_observer(FrameLoopObserver observer, void* context) {
    frame_loop_observer = observer;
    frame_loop_observer_context = context;
}

}  // namespace zolt::core

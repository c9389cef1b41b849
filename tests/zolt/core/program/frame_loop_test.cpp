#include "zolt/core/program/frame_loop.h"

#include <gtest/gtest.h>
#include <csignal>
#include <string>

#include "libs/system/time_base.h"
#include "platform/physics/physics_scene.h"
#include "support/child_process.h"
#include "support/game_folder.h"
#include "zolt/core/main_thread/message_pump.h"
#include "zolt/core/program/engine.h"
#include "zolt/core/program/program_main.h"
#include "zolt/physics/physx_actor_server.h"
#include "zolt/physics/physx_server.h"
#include "zolt/renderer/backend/frame_pacing.h"
#include "zolt/sound/sound_manager.h"

namespace zolt::core {
namespace {

void stop_step(Thread*) {}
Thread stopper(stop_step);

struct Recorder {
    std::string states;
    size_t stop_after = 0;
    bool step_seen_while_rendering = false;
};

// States are written by their number, so a trace reads as the frame's order.
char state_digit(FrameLoopState state) {
    return static_cast<char>('0' + static_cast<uint32_t>(state));
}

void record_state(FrameLoopState state, void* context) {
    auto* recorder = static_cast<Recorder*>(context);
    recorder->states += state_digit(state);
    if (state == FrameLoopState::render && is_physics_step_in_progress()) {
        recorder->step_seen_while_rendering = true;
    }
    if (recorder->states.size() == recorder->stop_after) {
        // Another due thread makes the frame loop give way after this state.
        schedule_thread(&stopper, get_time() - 1);
    }
}

std::string run_frames(Recorder& recorder) {
    set_frame_loop_observer(record_state, &recorder);
    schedule_thread(&get_frame_loop_thread(), get_time());
    run_due_thread();
    set_frame_loop_observer(nullptr, nullptr);
    unlink_thread(&stopper);
    unlink_thread(&get_frame_loop_thread());
    return recorder.states;
}

TEST(FrameLoop, RunsSixStatesInOrderAndGivesWayOnlyWhenAnotherThreadIsDue) {
    Recorder recorder;
    recorder.stop_after = 15;
    EXPECT_EQ(run_frames(recorder), "012345012345012");
    // It gave way after starting the physics step and resumes at rendering.
    EXPECT_EQ(get_frame_loop_state(), FrameLoopState::render);
}

// Runs whole frames from state 0, giving way to the frame timer as the main
// thread does, then leaves no thread of the frame behind.
std::string run_whole_frames(Recorder& recorder, size_t state_count) {
    unlink_thread(&renderer::get_frame_timer_thread());
    set_frame_loop_state(FrameLoopState::advance_clocks);
    set_frame_loop_observer(record_state, &recorder);
    schedule_thread(&get_frame_loop_thread(), get_time());
    for (int turn = 0; turn < 1000 && recorder.states.size() < state_count; ++turn) {
        run_due_thread();
        if (!get_frame_loop_thread().is_linked()) {
            schedule_thread(&get_frame_loop_thread(), get_time());
        }
    }
    set_frame_loop_observer(nullptr, nullptr);
    // The frame timer and the sound timer went on the run list too: a later
    // test's clocks would give way to them.
    while (Thread* const due = get_run_list_head()) {
        unlink_thread(due);
    }
    return recorder.states;
}

TEST(FrameLoop, SecondaryPhysicsStepRunsFromItsStartStateToTheFrameFinish) {
    platform::physics::Scene::set_worker_threads_allowed(false);
    physics::physx_server.register_server();
    physics::physx_actor_server.register_server();
    const platform::physics::Scene& secondary = *physics::physx_server.get_scene(physics::secondary_scene);
    physics::physx_server.set_asynchronous_step_flag(1);
    Recorder recorder;
    recorder.stop_after = 12;
    EXPECT_EQ(run_whole_frames(recorder, 12).substr(0, 12), "012345012345");
    EXPECT_TRUE(recorder.step_seen_while_rendering);
    EXPECT_EQ(secondary.get_step_count(), 2u);
    EXPECT_TRUE(secondary.is_writable());
    EXPECT_FALSE(is_physics_step_in_progress());

    physics::disable_physx_physics = true;
    Recorder disabled;
    disabled.stop_after = 6;
    run_whole_frames(disabled, 6);
    EXPECT_TRUE(disabled.step_seen_while_rendering);
    EXPECT_EQ(secondary.get_step_count(), 2u);
    EXPECT_FALSE(is_physics_step_in_progress());
    physics::disable_physx_physics = false;
    physics::physx_server.set_asynchronous_step_flag(0);
    physics::physx_actor_server.unregister_server();
    physics::physx_server.unregister_server();
    platform::physics::Scene::set_worker_threads_allowed(true);
    set_frame_loop_state(FrameLoopState::advance_clocks);
}

TEST(FrameLoop, UnknownStateIsFatal) {
    const test::ChildResult result = test::run_in_child([] {
        get_frame_loop_thread().state = 7;
        schedule_thread(&get_frame_loop_thread(), get_time());
        run_due_thread();
    });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("unknown main thread state 7"), std::string::npos);
}

TEST(FrameLoop, QuitMidFrameStopsTheEngineWithoutFinishingTheFrame) {
    const test::ChildResult result = test::run_in_child([] {
        static std::string states;
        set_frame_loop_observer(
            [](FrameLoopState state, void*) {
                states += state_digit(state);
                if (states.size() == 9) {
                    request_quit();
                }
            },
            nullptr);
        run_engine();
        std::fprintf(stderr, "states %s\n", states.c_str());
    });
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_NE(result.standard_error.find("states 012345012\n"), std::string::npos) << result.standard_error;
}

// Frames counted by the observer; the process is asked to end by SIGTERM,
// as the desktop does, after a few hundred of them.
TEST(Engine, TerminateSignalEndsAFullRunCleanlyAfterWholeFrames) {
    const test::ChildResult result = test::run_in_child([] {
        test::enter_game_folder();
        struct Check {
            FrameLoopState expected = FrameLoopState::advance_clocks;
            uint32_t frames = 0;
            bool in_order = true;
        };
        static Check check;
        set_frame_loop_observer(
            [](FrameLoopState state, void*) {
                check.in_order = check.in_order && state == check.expected;
                check.expected = state == FrameLoopState::wrap
                                     ? FrameLoopState::advance_clocks
                                     : static_cast<FrameLoopState>(static_cast<uint32_t>(state) + 1);
                if (state == FrameLoopState::advance_clocks && ++check.frames == 300) {
                    std::raise(SIGTERM);
                }
            },
            nullptr);
        char program[] = "zolt";
        char* arguments[] = {program, nullptr};
        const int code = run_program(1, arguments);
        std::fprintf(stderr, "code %d frames %u in order %d sound timer linked %d\n", code, check.frames,
                     check.in_order ? 1 : 0, sound::get_sound_timer_thread().is_linked() ? 1 : 0);
    });
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_NE(result.standard_error.find("code 0 frames 300 in order 1 sound timer linked 0"), std::string::npos)
        << result.standard_error;
}

}  // namespace
}  // namespace zolt::core

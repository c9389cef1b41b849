#include "zolt/renderer/backend/frame_pacing.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "libs/opengl/opengl_config.h"
#include "libs/system/time_base.h"
#include "support/fake_clock.h"
#include "zolt/core/main_thread/scheduler.h"
#include "zolt/core/program/frame_loop.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/sound/sound_manager.h"

namespace zolt::renderer {
namespace {

// Each frame runs the frame loop's pacing steps against a fake clock: due
// cooperative threads (the frame timer) first, then begin, the render step
// (giving way to the due thread while the frame must wait), the frame's own
// time, and end. Viewports always draw, so command 1 makes no GL call.
class FramePacingTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_frame_state();
        rendering_command_hooks = RenderingCommandHooks{};
        rendering_command_hooks.read_event_flags = [] { return output_flag_viewports; };
        rendering_command_hooks.render_viewports = [] { return true; };
        set_present_observer(&note_present, this);
    }
    void TearDown() override {
        shutdown_frame_rate_control();
        set_present_observer(nullptr, nullptr);
        rendering_command_hooks = RenderingCommandHooks{};
        frame_rate_control_mode = 1;
        frame_drop_limit = 10;
        frame_rate_update_period = 250;
        vertical_synchronization_enabled = true;
        opengl::compatibility_fix_do_not_drop_late_frames = false;
        reset_frame_state();
    }

    static void note_present(int32_t interval, void* context) {
        auto* self = static_cast<FramePacingTest*>(context);
        self->presented_ = true;
        self->intervals_.push_back(interval);
    }

    void start(uint32_t mode) {
        frame_rate_control_mode = mode;
        initialize_frame_rate_control();
    }

    // 'P' presented, '-' drawn but not presented, 'd' updated without
    // drawing (dropped).
    char run_frame(uint32_t milliseconds) {
        while (core::is_other_thread_due()) {
            core::run_due_thread();
        }
        presented_ = false;
        begin_frame_pacing();
        const uint32_t issued = read_issued_counter();
        while (!render_or_skip_frame()) {
            core::run_due_thread();
        }
        const bool drawn = get_frame_pacing_state().frame_drawn;
        clock_.advance(milliseconds);
        end_frame_pacing();
        EXPECT_EQ(read_issued_counter(), issued + 1);
        return presented_ ? 'P' : (drawn ? '-' : 'd');
    }

    std::string run_frames(const std::vector<uint32_t>& milliseconds) {
        std::string outcome;
        for (const uint32_t frame : milliseconds) {
            outcome += run_frame(frame);
        }
        return outcome;
    }

    test::FakeClock clock_;
    bool presented_ = false;
    std::vector<int32_t> intervals_;
};

TEST_F(FramePacingTest, PeriodIsTheRateRoundedToWholeTicks) {
    static_assert(get_frame_period(25) == 4000);
    static_assert(get_frame_period(40) == 2500);
    static_assert(get_frame_period(30) == 3333);
    static_assert(get_frame_period(15) == 6667);
    static_assert(get_frame_period(10) == 10000);
}

TEST_F(FramePacingTest, TimedModeDropsLateFramesUntilTheLimitForcesOne) {
    struct Case {
        uint32_t drop_limit;
        bool do_not_drop;
        std::vector<uint32_t> frames;
        const char* outcome;
    };
    const Case cases[] = {
        // The first frame is measured from the start, not from time 0.
        {10, false, {20, 20}, "PP"},
        // 150 ms leaves the budget below two periods: drawn, not presented;
        // then frames are dropped while the budget is negative.
        {10, false, {150, 1, 1, 1, 150}, "-ddd-"},
        {10, true, {150}, "P"},
        // The fifth ready frame with a negative budget resets it: presented.
        {5, false, {150, 1, 1, 1, 150}, "-dddP"},
        // Past the limit a drawn frame is presented however late; the
        // frame at the limit only reset the budget, as it was not drawn.
        {3, false, {130, 130, 130, 130, 130}, "-ddPd"},
        // A limit of 0 turns dropping off.
        {0, false, {150, 150, 150}, "PPP"},
    };
    for (const Case& c : cases) {
        reset_frame_state();
        frame_drop_limit = c.drop_limit;
        opengl::compatibility_fix_do_not_drop_late_frames = c.do_not_drop;
        start(0);
        EXPECT_EQ(run_frames(c.frames), c.outcome) << "limit " << c.drop_limit << " fix " << c.do_not_drop;
        shutdown_frame_rate_control();
    }
}

TEST_F(FramePacingTest, TimedModeWaitsWhenThreeFramesAreAheadOfTheTimerAndCountsTheWaitAsEarly) {
    start(0);
    // The frame timer runs at once and comes back one period (40 ms) later.
    EXPECT_EQ(run_frames({1, 1, 1}), "PPP");
    EXPECT_EQ(get_frame_pacing_state().pending_frames, 3u);
    const uint32_t timer_due = get_frame_timer_thread().wake_time;

    begin_frame_pacing();
    const uint32_t issued = read_issued_counter();
    const uint32_t now = get_time();
    EXPECT_FALSE(render_or_skip_frame());
    EXPECT_EQ(read_issued_counter(), issued);
    EXPECT_EQ(get_frame_pacing_state().accumulated_early_time, timer_due - now);

    // The timer's tick takes one pending frame away; the frame may be drawn.
    core::run_due_thread();
    EXPECT_EQ(get_time(), timer_due);
    EXPECT_EQ(get_frame_pacing_state().pending_frames, 2u);
    EXPECT_TRUE(render_or_skip_frame());
    EXPECT_TRUE(get_frame_pacing_state().frame_drawn);
}

TEST_F(FramePacingTest, SynchronisedModePresentsEachDrawnFrameAndPacesToTheFastestRate) {
    start(1);
    std::vector<uint32_t> starts;
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_EQ(run_frame(10), 'P');
        starts.push_back(get_frame_pacing_state().frame_start_time);
    }
    // Fast frames start one period of maximum_desired_frame_rate apart.
    EXPECT_EQ(starts[1] - starts[0], 2500u);
    EXPECT_EQ(starts[2] - starts[1], 2500u);
    EXPECT_EQ(get_frame_pacing_state().frame_period, 2500u);
    EXPECT_EQ(intervals_, (std::vector<int32_t>{1, 1, 1}));

    // A slow frame sets the period, capped by the slowest rate, and the next
    // frame starts at once.
    EXPECT_EQ(run_frame(150), 'P');
    EXPECT_EQ(get_frame_pacing_state().frame_period, 10000u);
    const uint32_t end_of_slow_frame = get_time();
    EXPECT_EQ(run_frame(10), 'P');
    EXPECT_EQ(get_frame_pacing_state().frame_start_time, end_of_slow_frame);

    // Without an output flag nothing is ready and nothing is presented.
    rendering_command_hooks.read_event_flags = [] { return 0x1Fu; };
    EXPECT_EQ(run_frame(10), 'd');
}

TEST_F(FramePacingTest, TimedModeAdaptsThePeriodAndSwitchesVerticalSynchronisation) {
    set_late_frame_dropping(0);
    start(0);
    // 80 ms frames: 12.5 frames a second, below the disable threshold of 15.
    EXPECT_EQ(run_frames({80, 80, 80, 80}), "PPPP");
    EXPECT_EQ(get_frame_pacing_state().frame_period, 8000u);
    EXPECT_FALSE(vertical_synchronization_enabled);
    EXPECT_EQ(intervals_.back(), 1);
    run_frame(80);
    EXPECT_EQ(intervals_.back(), 0);

    // Fast frames: the period goes to the ceiling of 40 a second, above the
    // enable threshold of 20.
    for (int frame = 0; frame < 30; ++frame) {
        run_frame(5);
    }
    EXPECT_EQ(get_frame_pacing_state().frame_period, 2500u);
    EXPECT_TRUE(vertical_synchronization_enabled);
    EXPECT_EQ(get_frame_pacing_state().lateness_budget, 0);
    set_late_frame_dropping(1);
}

TEST_F(FramePacingTest, TheFrameLoopGivesWayInTheRenderStateWhileTheFrameMustWait) {
    start(0);
    static std::string states;
    states.clear();
    core::set_frame_loop_observer(
        [](core::FrameLoopState state, void*) { states += static_cast<char>('0' + static_cast<uint32_t>(state)); },
        nullptr);
    core::schedule_thread(&core::get_frame_loop_thread(), get_time());
    for (int turn = 0; turn < 8; ++turn) {
        core::run_due_thread();
    }
    core::set_frame_loop_observer(nullptr, nullptr);
    core::unlink_thread(&core::get_frame_loop_thread());
    core::unlink_thread(&sound::get_sound_timer_thread());
    core::set_frame_loop_state(core::FrameLoopState::advance_clocks);
    // Three frames go out at once; the fourth waits in the render state (3)
    // for the frame timer and goes on from there when its turn comes again.
    EXPECT_EQ(states.find("012345012345012345012334"), 0u) << states;
    EXPECT_GE(intervals_.size(), 4u);
}

TEST_F(FramePacingTest, SwitchingModeResetsTheBudgetAndAccumulators) {
    start(0);
    run_frames({70, 70});
    EXPECT_LT(get_frame_pacing_state().lateness_budget, 0);
    frame_rate_control_mode = 1;
    begin_frame_pacing();
    const FramePacingState& state = get_frame_pacing_state();
    EXPECT_TRUE(state.synchronized_mode);
    EXPECT_EQ(state.lateness_budget, 0);
    EXPECT_EQ(state.accumulated_frame_time, 0u);
    EXPECT_EQ(state.presented_frame_count, 0u);
    EXPECT_EQ(state.next_slot_time, state.frame_start_time);
}

}  // namespace
}  // namespace zolt::renderer

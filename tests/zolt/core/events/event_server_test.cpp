#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "libs/system/time_base.h"
#include "support/byte_streams.h"
#include "support/fake_clock.h"
#include "zolt/builtins/builtin_dispatch.h"
#include "zolt/core/events/event_server.h"
#include "zolt/core/main_thread/scheduler.h"
#include "zolt/core/script/task_test_support.h"
#include "zolt/renderer/backend/frame_pacing.h"
#include "zolt/storage/load_stream.h"
#include "zolt/storage/save_stream.h"

namespace zolt::core {
namespace {

constexpr uint32_t frame_period = 1667;

ObjectHandle message_label(uint32_t label) {
    return (server_type::message << 20) | label;
}

uint32_t selector(uint32_t clock) {
    return clock | get_clock_mask_bit(clock);
}

// What a firing does beyond being recorded: schedules another message event.
struct FollowUp {
    uint32_t fired_label;
    uint32_t new_label;
    uint32_t delay;
};

std::vector<uint32_t> fired;
std::vector<FollowUp> follow_ups;
Thread* thread_to_make_due = nullptr;
uint32_t label_making_thread_due = 0;

void record_delivery(ObjectHandle message) {
    const uint32_t label = message & 0xFFFFF;
    fired.push_back(label);
    for (const FollowUp& follow_up : follow_ups) {
        if (follow_up.fired_label == label) {
            event_server.schedule_event(message_label(follow_up.new_label), clock_being_run_number, follow_up.delay);
        }
    }
    if (label == label_making_thread_due && thread_to_make_due != nullptr) {
        schedule_thread(thread_to_make_due, get_time());
    }
}

class EventClocks : public ::testing::Test {
protected:
    void SetUp() override {
        saved_rate_ = renderer::initial_frame_rate;
        renderer::initial_frame_rate = 60;
        fired.clear();
        follow_ups.clear();
        thread_to_make_due = nullptr;
        label_making_thread_due = 0;
        event_server.register_server();
        set_event_message_deliverer(record_delivery);
    }
    void TearDown() override {
        set_event_message_deliverer(nullptr);
        event_server.unregister_server();
        renderer::initial_frame_rate = saved_rate_;
    }

    static void enable(uint32_t clock) {
        event_server.set_next_enabled_mask(event_server.get_next_enabled_mask() | get_clock_mask_bit(clock));
        // The new enabled set applies once a run completes.
        ASSERT_EQ(event_server.run_clocks(), 0u);
    }
    static void frame() {
        event_server.update_clocks();
        ASSERT_EQ(event_server.run_clocks(), 0u);
    }
    static void schedule(uint32_t label, uint32_t clock, uint32_t delay) {
        ASSERT_NE(event_server.schedule_event(message_label(label), selector(clock), delay), nullptr);
    }

private:
    uint32_t saved_rate_ = 0;
};

TEST_F(EventClocks, SameTimeEventsFireInOrderWithTheDelayRules) {
    struct Case {
        const char* name;
        std::vector<FollowUp> follow_ups;
        std::vector<uint32_t> first_frame;
        std::vector<uint32_t> second_frame;
    };
    const Case cases[] = {
        {"first in, first out", {}, {1, 2, 3}, {}},
        {"-11111 goes in front of those due now", {{1, 4, delay_now_first}}, {1, 4, 2, 3}, {}},
        {"delay 0 during the run fires in the same run", {{2, 4, 0}}, {1, 2, 3, 4}, {}},
        {"-11112 waits for the next step", {{1, 4, delay_clock_target}}, {1, 2, 3}, {4}},
        {"an event due at the target waits for the next step", {{3, 4, frame_period - 100}}, {1, 2, 3}, {4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        follow_ups = c.follow_ups;
        enable(3);
        schedule(1, 3, 100);
        schedule(2, 3, 100);
        schedule(3, 3, 100);
        frame();
        EXPECT_EQ(fired, c.first_frame);
        fired.clear();
        frame();
        EXPECT_EQ(fired, c.second_frame);
    }
}

TEST_F(EventClocks, AClockTargetBehindItsTimeMakesMinus11112DueNow) {
    enable(6);
    event_server.set_clock_time(6, 5000);
    // A loaded clock may hold a target behind its time; the wheel would read
    // that as 2^32 ticks ahead.
    event_server.get_clock(6).target = 4000;
    Event* const event = event_server.schedule_event(message_label(1), selector(6), delay_clock_target);
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->get_timer().due_time, 5000u);
    frame();
    EXPECT_EQ(fired, std::vector<uint32_t>{1});
}

TEST_F(EventClocks, DisabledClocksNeitherAdvanceNorRun) {
    schedule(1, 5, 0);
    frame();
    frame();
    EXPECT_TRUE(fired.empty());
    EXPECT_EQ(event_server.get_clock(5).target, 0u);
    event_server.set_next_enabled_mask(get_clock_mask_bit(5));
    frame();
    // Enabled from the next frame on.
    EXPECT_TRUE(fired.empty());
    frame();
    EXPECT_EQ(fired, std::vector<uint32_t>{1});
}

TEST_F(EventClocks, ScalesChooseEachClocksStep) {
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        uint32_t scale_1_mask;
        float scale_1;
        uint32_t scale_2_mask;
        float scale_2;
        uint32_t expected_step;
    };
    const uint32_t clock_2 = get_clock_mask_bit(2);
    const Case cases[] = {
        {0, 0.5f, 0, 1.0f, frame_period},      {clock_2, 0.5f, 0, 1.0f, 833}, {clock_2, 0.5f, clock_2, 2.0f, 3334},
        {0, 0.5f, clock_2, 0.25f, 416},        {clock_2, -1.0f, 0, 1.0f, 0},  {clock_2, nan, 0, 1.0f, 0},
        {clock_2, 1e30f, 0, 1.0f, 0xFFFFFFFF},
    };
    enable(2);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected_step);
        event_server.set_scale_1_mask(c.scale_1_mask);
        event_server.set_scale_1(c.scale_1);
        event_server.set_scale_2_mask(c.scale_2_mask);
        event_server.set_scale_2(c.scale_2);
        event_server.update_clocks();
        const Clock& clock = event_server.get_clock(2);
        EXPECT_EQ(clock.target - clock.previous_target, c.expected_step);
        EXPECT_EQ(clock.step, c.expected_step);
    }
}

TEST_F(EventClocks, ClockZeroFollowsRealTimeFromTheFrameItIsEnabled) {
    test::FakeClock clock(5000);
    TearDown();
    SetUp();
    clock.advance(300);
    frame();
    EXPECT_EQ(event_server.get_clock(0).target, 0u);
    event_server.set_next_enabled_mask(get_clock_mask_bit(0));
    clock.advance(17);
    frame();
    EXPECT_EQ(event_server.get_clock(0).target, 0u);
    clock.advance(17);
    frame();
    // Only the frame's own real time, none of what passed while disabled.
    EXPECT_EQ(event_server.get_clock(0).target, 1700u);
}

TEST_F(EventClocks, SettingTheTimeKeepsRemainingDelays) {
    enable(4);
    frame();
    schedule(1, 4, 500);
    schedule(2, 4, 5000);
    const uint32_t now = event_server.get_clock_time(4);
    const uint32_t target = event_server.get_clock(4).target;
    event_server.set_clock_time(4, now - 1000);
    EXPECT_EQ(event_server.get_clock_time(4), now - 1000);
    EXPECT_EQ(event_server.get_clock(4).target, target - 1000);
    frame();
    EXPECT_EQ(fired, std::vector<uint32_t>{1});
    for (int n = 0; n < 3; ++n) {
        frame();
    }
    EXPECT_EQ(fired, (std::vector<uint32_t>{1, 2}));
}

TEST_F(EventClocks, AnInterruptedRunResumesWithoutFiringTwice) {
    Thread other([](Thread*) {});
    thread_to_make_due = &other;
    label_making_thread_due = 2;
    enable(3);
    enable(7);
    schedule(1, 3, 10);
    schedule(2, 3, 10);
    schedule(3, 3, 20);
    schedule(4, 7, 10);
    event_server.update_clocks();
    EXPECT_NE(event_server.run_clocks(), 0u);
    EXPECT_EQ(fired, (std::vector<uint32_t>{1, 2}));
    EXPECT_EQ(event_server.get_clock_being_run(), 3u);
    unlink_thread(&other);
    EXPECT_EQ(event_server.run_clocks(), 0u);
    EXPECT_EQ(fired, (std::vector<uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(event_server.get_clock_being_run(), 0u);
}

TEST_F(EventClocks, DerivedTimesCountCompletedAndCurrentSteps) {
    Clock& clock = event_server.get_clock(6);
    clock.seconds = 86399;
    clock.sub_second = 50000;
    clock.previous_target = 0u - 100000;
    EXPECT_FLOAT_EQ(event_server.get_time_of_day(6), 0.5f);
    EXPECT_EQ(event_server.get_whole_seconds(6), 86400u);
    EXPECT_FLOAT_EQ(event_server.get_second_fraction(6), 0.5f);

    // Seconds grow by completed steps, carrying every 100000 ticks.
    Clock& stepped = event_server.get_clock(8);
    enable(8);
    for (int n = 0; n < 61; ++n) {
        event_server.update_clocks();
    }
    EXPECT_EQ(stepped.seconds, 1u);
    EXPECT_EQ(stepped.sub_second, 60 * frame_period - 100000);
}

TEST_F(EventClocks, BuiltinsReadAndSetClocksAndRefuseClocksThatDoNotExist) {
    ScriptContext context{};
    auto call = [&](uint32_t id, std::vector<uint32_t> arguments_from_top) {
        context.stack_index = 0;
        for (auto it = arguments_from_top.rbegin(); it != arguments_from_top.rend(); ++it) {
            context.stack[context.stack_index++] = *it;
        }
        context.registers[0] = 0xDEAD;
        call_builtin(context, id);
        return context.registers[0];
    };
    EXPECT_EQ(call(148, {26}), 26u | 0x80000000u);
    EXPECT_EQ(call(148, {28}), 0u);
    call(169, {get_clock_mask_bit(9)});
    EXPECT_EQ(call(172, {9}), 0u);
    event_server.run_clocks();
    EXPECT_EQ(call(171, {}), get_clock_mask_bit(9));
    EXPECT_EQ(call(172, {9}), 1u);
    EXPECT_EQ(call(173, {10}), 1u);
    EXPECT_EQ(call(173, {29}), 0u);
    event_server.update_clocks();
    call(150, {9, 12345});
    EXPECT_EQ(call(151, {9}), 12345u);
    // The step moved along with the time.
    EXPECT_EQ(call(152, {9}), 12345u);
    EXPECT_EQ(call(154, {9}), 12345u + frame_period);
    EXPECT_EQ(call(153, {9}), 12344u + frame_period);
    EXPECT_EQ(call(158, {9}), frame_period);
    call(150, {30, 5});
    EXPECT_EQ(call(151, {30}), 0u);
    call(176, {float_to_word(0.5f)});
    EXPECT_EQ(word_to_float(call(177, {})), 0.5f);
    call(178, {get_clock_mask_bit(4)});
    EXPECT_EQ(call(179, {}), get_clock_mask_bit(4));
    EXPECT_EQ(word_to_float(call(180, {})), 1.0f);
    call(170, {get_clock_mask_bit(9)});
    EXPECT_EQ(event_server.get_next_enabled_mask(), 0u);
}

TEST_F(EventClocks, PendingEventsRoundTripAndCraftedOnesAreRefused) {
    enable(3);
    frame();
    schedule(1, 3, 100);
    schedule(2, 3, 100);
    schedule(3, 3, 70000);
    schedule(4, 3, delay_now_first);
    event_server.set_scale_1(0.75f);
    test::ByteSaveStream save;
    event_server.save(save);
    ASSERT_TRUE(save.finish());
    const std::vector<uint32_t> words = save.get_words();
    ASSERT_EQ(words.back(), 0u);

    auto load = [](std::vector<uint32_t> loaded) {
        event_server.unregister_server();
        event_server.register_server();
        test::WordLoadStream stream(std::move(loaded));
        return event_server.load(stream);
    };
    ASSERT_TRUE(load(words));
    EXPECT_EQ(event_server.get_live_count(), 4u);
    EXPECT_EQ(event_server.get_scale_1(), 0.75f);
    EXPECT_EQ(event_server.get_clock_time(3), frame_period);
    frame();
    frame();
    EXPECT_EQ(fired, (std::vector<uint32_t>{4, 1, 2}));
    for (int n = 0; n < 42; ++n) {
        frame();
    }
    EXPECT_EQ(fired, (std::vector<uint32_t>{4, 1, 2, 3}));

    // The last pairs are (handle, delay) before the closing 0.
    const size_t last_handle = words.size() - 3;
    std::vector<uint32_t> unknown_event = words;
    unknown_event[last_handle] = (server_type::event << 20) | 0xFFFFF;
    EXPECT_FALSE(load(unknown_event));
    std::vector<uint32_t> queued_twice = words;
    queued_twice[last_handle] = words[last_handle - 2];
    EXPECT_FALSE(load(queued_twice));
    std::vector<uint32_t> truncated(words.begin(), words.end() - 1);
    EXPECT_FALSE(load(truncated));
}

TEST(EventClockTasks, ATaskWaitingOneFrameWakesInTheNextFrame) {
    const uint32_t saved_rate = renderer::initial_frame_rate;
    renderer::initial_frame_rate = 60;
    {
        test::ScriptWorld world({".code 0 1\n.entry start\nstart:\n    set_r0 1667\n    wait\n    end_task\n"});
        event_server.register_server();
        event_server.set_next_enabled_mask(get_clock_mask_bit(3));
        ASSERT_EQ(event_server.run_clocks(), 0u);
        Task* const task = task_server.start_task(0x4000, selector(3), 0);
        ASSERT_NE(task, nullptr);
        const ObjectHandle handle = task->get_handle();
        EXPECT_NE(event_server.get_typed_object(task->get_wake_event()), nullptr);
        event_server.update_clocks();
        ASSERT_EQ(event_server.run_clocks(), 0u);
        ASSERT_TRUE(test::is_alive(handle));
        event_server.update_clocks();
        ASSERT_EQ(event_server.run_clocks(), 0u);
        EXPECT_FALSE(test::is_alive(handle));
        EXPECT_EQ(event_server.get_live_count(), 0u);
        event_server.unregister_server();
    }
    renderer::initial_frame_rate = saved_rate;
}

}  // namespace
}  // namespace zolt::core

namespace zolt::core {
namespace {

TEST(EventClockTasks, TasksWaitingZeroTakeTurnsAndEndInTheSameRun) {
    test::ScriptWorld world({".code 0 1\n.entry start\nstart:\n    set_r0 0\n    wait\n    end_task\n"});
    event_server.register_server();
    event_server.set_next_enabled_mask(get_clock_mask_bit(3));
    ASSERT_EQ(event_server.run_clocks(), 0u);
    const ObjectHandle first = task_server.start_task(0x4000, selector(3), 0)->get_handle();
    const ObjectHandle second = task_server.start_task(0x4000, selector(3), 0)->get_handle();
    event_server.update_clocks();
    EXPECT_EQ(event_server.run_clocks(), 0u);
    EXPECT_FALSE(test::is_alive(first));
    EXPECT_FALSE(test::is_alive(second));
    EXPECT_EQ(event_server.get_live_count(), 0u);
    event_server.unregister_server();
}

}  // namespace
}  // namespace zolt::core

#include "zolt/core/main_thread/scheduler.h"

#include <gtest/gtest.h>
#include <string>

#include "libs/system/time_base.h"
#include "support/fake_clock.h"

namespace zolt::core {
namespace {

std::string run_order;

void record_step(Thread* thread) {
    run_order += static_cast<char>('a' + thread->state);
}

class SchedulerTest : public ::testing::Test {
protected:
    void SetUp() override { run_order.clear(); }
    void TearDown() override {
        for (Thread* thread : {&a, &b, &c, &d}) {
            unlink_thread(thread);
        }
    }
    void drain() {
        while (get_run_list_head() != nullptr) {
            run_due_thread();
        }
    }
    Thread a{record_step};
    Thread b{record_step};
    Thread c{record_step};
    Thread d{record_step};
    void SetUpNames() {
        a.state = 0;
        b.state = 1;
        c.state = 2;
        d.state = 3;
    }
};

TEST_F(SchedulerTest, SameTickRunsInSchedulingOrderAndEarlierBecomesHead) {
    test::FakeClock clock(100);
    SetUpNames();
    schedule_thread(&a, 20000);
    schedule_thread(&b, 20000);
    schedule_thread(&c, 20000);
    schedule_thread(&d, 19000);
    EXPECT_EQ(get_run_list_head(), &d);
    drain();
    EXPECT_EQ(run_order, "dabc");
}

TEST_F(SchedulerTest, OrderHoldsAcrossTheWrap) {
    test::FakeClock clock(0xFFFFFFFFu / 100u - 2u);
    SetUpNames();
    const uint32_t now = get_time();
    schedule_thread(&a, now + 1000);  // wraps past zero
    schedule_thread(&b, now + 100);
    schedule_thread(&c, now + 500);
    drain();
    EXPECT_EQ(run_order, "bca");
}

TEST_F(SchedulerTest, RescheduleGoesBehindEveryThreadDueAtTheHeadsTime) {
    test::FakeClock clock(100);
    SetUpNames();
    schedule_thread(&a, 5000);
    schedule_thread(&b, 5000);
    schedule_thread(&c, 9000);
    reschedule_thread(&d);
    EXPECT_EQ(d.wake_time, 5000u);
    drain();
    EXPECT_EQ(run_order, "abdc");
    reschedule_thread(&a);
    EXPECT_EQ(a.wake_time, get_time());
}

TEST_F(SchedulerTest, DueTestAndUnlink) {
    test::FakeClock clock(100);
    SetUpNames();
    EXPECT_FALSE(is_other_thread_due());
    schedule_thread(&a, get_time() + 500);
    EXPECT_FALSE(is_other_thread_due());
    clock.advance(5);
    EXPECT_TRUE(is_other_thread_due());
    unlink_thread(&a);
    EXPECT_EQ(get_run_list_head(), nullptr);
    EXPECT_FALSE(a.is_linked());
    unlink_thread(&a);
    schedule_thread(&a, 1);
    schedule_thread(&b, 2);
    unlink_thread(&a);
    EXPECT_EQ(get_run_list_head(), &b);
    EXPECT_EQ(b.next, &b);
}

TEST_F(SchedulerTest, SchedulingALinkedThreadMovesIt) {
    test::FakeClock clock(100);
    SetUpNames();
    schedule_thread(&a, 5000);
    schedule_thread(&b, 6000);
    schedule_thread(&a, 7000);
    drain();
    EXPECT_EQ(run_order, "ba");
}

TEST_F(SchedulerTest, RunDueThreadWaitsForTheHead) {
    test::FakeClock clock(100);
    SetUpNames();
    schedule_thread(&a, get_time() + 2500);
    run_due_thread();
    EXPECT_EQ(run_order, "a");
    ASSERT_FALSE(clock.sleeps().empty());
    EXPECT_EQ(clock.sleeps().front(), 17u);
}

}  // namespace
}  // namespace zolt::core

#include "libs/system/time_base.h"

#include <gtest/gtest.h>

#include "support/fake_clock.h"

namespace zolt {
namespace {

TEST(TimeBase, TicksAreMillisecondsTimesHundredAndWrap) {
    test::FakeClock clock(7);
    EXPECT_EQ(get_time(), 700u);
    clock.set(0xFFFFFFFFu / 100u + 1u);
    EXPECT_EQ(get_time(), static_cast<uint32_t>((0xFFFFFFFFull / 100u + 1u) * 100u));
    EXPECT_TRUE(is_time_due(0xFFFFFFF0u, 0x10u));
    EXPECT_FALSE(is_time_due(0x10u, 0xFFFFFFF0u));
}

TEST(TimeBase, WaitSleepsByDistanceToTarget) {
    struct Case {
        uint32_t distance;
        std::vector<uint32_t> first_sleeps;
    };
    const Case cases[] = {
        {150, {0, 1}}, {250, {0, 1}}, {300, {1}}, {1999, {1}}, {2500, {17}},
    };
    for (const Case& c : cases) {
        test::FakeClock clock(5000);
        const uint32_t target = get_time() + c.distance;
        const uint32_t returned = wait_until(target);
        EXPECT_TRUE(is_time_due(target, returned));
        ASSERT_GE(clock.sleeps().size(), c.first_sleeps.size());
        for (size_t index = 0; index < c.first_sleeps.size(); ++index) {
            EXPECT_EQ(clock.sleeps()[index], c.first_sleeps[index]) << "distance " << c.distance;
        }
    }
}

TEST(TimeBase, ShortWaitSpinsWithoutSleeping) {
    test::FakeClock clock(5000);
    const uint32_t target = get_time() + 90;
    EXPECT_TRUE(is_time_due(target, wait_until(target)));
    EXPECT_TRUE(clock.sleeps().empty());
}

TEST(TimeBase, WaitAcrossTheWrap) {
    test::FakeClock clock(0xFFFFFFFFu / 100u - 5u);
    const uint32_t target = get_time() + 3000;
    EXPECT_LT(target, get_time());
    EXPECT_TRUE(is_time_due(target, wait_until(target)));
}

}  // namespace
}  // namespace zolt

#include "platform/system/clock.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace zolt::platform {
namespace {

// The cheap bound may stand in for an exact reading only if it is never
// behind an exact reading taken before it, nor far ahead of one taken
// after it (a thread preempted between the readings only widens those).
TEST(Clock, TheCoarseUpperBoundIsNeverBehindTheExactClock) {
    uint32_t bound = 0;
    if (!read_milliseconds_upper_bound(&bound)) {
        GTEST_SKIP() << "no coarse clock";
    }
    int32_t smallest_lead = 0;
    int32_t largest_lead = 0;
    for (int round = 0; round < 200000; ++round) {
        const uint32_t before = read_milliseconds();
        ASSERT_TRUE(read_milliseconds_upper_bound(&bound));
        const uint32_t after = read_milliseconds();
        const int32_t lead = static_cast<int32_t>(bound - before);
        const int32_t lead_after = static_cast<int32_t>(bound - after);
        smallest_lead = lead < smallest_lead ? lead : smallest_lead;
        largest_lead = lead_after > largest_lead ? lead_after : largest_lead;
        if (round % 20000 == 0) {
            sleep_milliseconds(1);
        }
    }
    EXPECT_GE(smallest_lead, 0);
    // Two ticks of the coarsest kernel clock (100 Hz), the late-tick margin
    // and a millisecond.
    EXPECT_LE(largest_lead, 31);
}

uint32_t read_fixed(void*) {
    return 5;
}
void sleep_not(void*, uint32_t) {}

TEST(Clock, AnOverriddenClockHasNoCheapBound) {
    const ClockOverride fixed{read_fixed, sleep_not, nullptr};
    set_clock_override(&fixed);
    uint32_t bound = 0;
    EXPECT_FALSE(read_milliseconds_upper_bound(&bound));
    EXPECT_EQ(read_milliseconds(), 5u);
    set_clock_override(nullptr);
}

}  // namespace
}  // namespace zolt::platform

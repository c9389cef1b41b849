#include "platform/system/clock.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace zolt::platform {
namespace {

uint32_t read_fixed(void*) {
    return 5;
}
void sleep_not(void*, uint32_t) {}

TEST(Clock, AnOverrideReplacesTheClockUntilRemoved) {
    const ClockOverride fixed{read_fixed, sleep_not, nullptr};
    set_clock_override(&fixed);
    EXPECT_EQ(read_milliseconds(), 5u);
    set_clock_override(nullptr);
    const uint32_t before = read_milliseconds();
    sleep_milliseconds(2);
    EXPECT_GE(read_milliseconds() - before, 2u);
}

}  // namespace
}  // namespace zolt::platform

#include "platform/system/clock.h"

#include <sched.h>
#include <atomic>
#include <ctime>

namespace zolt::platform {
namespace {
std::atomic<const ClockOverride*> active_override{nullptr};
ClockOverride override_copy;

// The coarse clock trails the exact one by less than one of its ticks, but
// on a loaded or virtual machine a tick can come over 10 ms late: two ticks
// and 10 ms more keep the bound above the exact clock.
constexpr uint64_t late_tick_margin = 10000000;
const uint64_t coarse_clock_slack = [] {
    timespec resolution{};
    if (clock_getres(CLOCK_MONOTONIC_COARSE, &resolution) != 0) {
        return uint64_t{0};
    }
    return 2 * (static_cast<uint64_t>(resolution.tv_sec) * 1000000000u + static_cast<uint64_t>(resolution.tv_nsec)) +
           late_tick_margin;
}();
}  // namespace

uint32_t read_milliseconds() {
    if (const ClockOverride* clock = active_override.load(std::memory_order_acquire)) {
        return clock->read_milliseconds(clock->context);
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t milliseconds =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(milliseconds);
}

bool read_milliseconds_upper_bound(uint32_t* milliseconds) {
    if (coarse_clock_slack == 0 || active_override.load(std::memory_order_acquire) != nullptr) {
        return false;
    }
    timespec now{};
    if (clock_gettime(CLOCK_MONOTONIC_COARSE, &now) != 0) {
        return false;
    }
    const uint64_t nanoseconds =
        static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec) + coarse_clock_slack;
    *milliseconds = static_cast<uint32_t>(nanoseconds / 1000000u);
    return true;
}

void sleep_milliseconds(uint32_t milliseconds) {
    if (const ClockOverride* clock = active_override.load(std::memory_order_acquire)) {
        clock->sleep_milliseconds(clock->context, milliseconds);
        return;
    }
    if (milliseconds == 0) {
        sched_yield();
        return;
    }
    timespec duration{static_cast<time_t>(milliseconds / 1000u), static_cast<long>(milliseconds % 1000u) * 1000000L};
    while (nanosleep(&duration, &duration) != 0) {
    }
}

void set_clock_override(const ClockOverride* clock_override) {
    if (clock_override == nullptr) {
        active_override.store(nullptr, std::memory_order_release);
        return;
    }
    override_copy = *clock_override;
    active_override.store(&override_copy, std::memory_order_release);
}

}  // namespace zolt::platform

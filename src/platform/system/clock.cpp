#include "platform/system/clock.h"

#include <sched.h>
#include <atomic>
#include <ctime>

namespace zolt::platform {
namespace {
std::atomic<const ClockOverride*> active_override{nullptr};
ClockOverride override_copy;
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

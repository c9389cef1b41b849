#pragma once
// Millisecond timer and sleeping, over CLOCK_MONOTONIC. Tests replace both
// through an override so time-dependent code runs without real waiting.
#include <cstdint>

namespace zolt::platform {

// Milliseconds of a monotonic clock, wrapping at 2^32.
uint32_t read_milliseconds();

// Sleeps the calling thread; 0 gives the processor away once.
void sleep_milliseconds(uint32_t milliseconds);

struct ClockOverride {
    uint32_t (*read_milliseconds)(void* context);
    void (*sleep_milliseconds)(void* context, uint32_t milliseconds);
    void* context;
};

// Installs a replacement clock for the whole process, or removes it with null.
void set_clock_override(const ClockOverride* clock_override);

}  // namespace zolt::platform

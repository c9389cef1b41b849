#pragma once
// The engine's time base: ticks of 10 microseconds, the millisecond timer
// times 100, a wrapping u32. Two times compare by their signed difference.
#include <cstdint>

namespace zolt {

uint32_t get_time();

// True when time a is due at time b (a - b <= 0 as a signed difference).
inline bool is_time_due(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) <= 0;
}

// Waits until the time base reaches target and returns the time then: spins
// below 1 ms, sleeps 0 then 1 ms below 3 ms, 1 ms below 20 ms, else 17 ms.
uint32_t wait_until(uint32_t target);

}  // namespace zolt

#pragma once
// The network clock's rate: the network game keeps its clock in step with
// the host's by the rate at which that clock advances per frame period. The
// event server applies it each frame and resets it with the clocks. Main
// thread only.
#include <cstdint>

namespace zolt::core {

struct NetworkClockRate {
    // The clock it applies to; clock_count and above for none.
    uint32_t clock;
    float rate;
};

NetworkClockRate& get_network_clock_rate();

}  // namespace zolt::core

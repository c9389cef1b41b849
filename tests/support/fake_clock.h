#pragma once
// A clock that only moves when slept on or advanced, installed for one scope.
#include <cstdint>
#include <vector>

#include "platform/system/clock.h"

namespace zolt::test {

class FakeClock {
public:
    explicit FakeClock(uint32_t start_milliseconds = 1000) : milliseconds_(start_milliseconds) {
        const platform::ClockOverride clock{read, sleep, this};
        platform::set_clock_override(&clock);
    }
    ~FakeClock() { platform::set_clock_override(nullptr); }

    void advance(uint32_t milliseconds) { milliseconds_ += milliseconds; }
    void set(uint32_t milliseconds) { milliseconds_ = milliseconds; }
    uint32_t now() const { return milliseconds_; }
    const std::vector<uint32_t>& sleeps() const { return sleeps_; }

private:
    static uint32_t read(void* context) {
        auto* self = static_cast<FakeClock*>(context);
        // Code that spins on the clock sees it move after a while.
        if (++self->reads_since_sleep_ % 1000 == 0) {
            ++self->milliseconds_;
        }
        return self->milliseconds_;
    }
    static void sleep(void* context, uint32_t milliseconds) {
        auto* self = static_cast<FakeClock*>(context);
        self->sleeps_.push_back(milliseconds);
        self->reads_since_sleep_ = 0;
        self->milliseconds_ += milliseconds;
    }

    uint32_t milliseconds_;
    uint32_t reads_since_sleep_ = 0;
    std::vector<uint32_t> sleeps_;
};

}  // namespace zolt::test

#pragma once
// A kernel-style event: manual-reset events stay signalled until reset,
// auto-reset events release one waiter and clear themselves.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace zolt::platform {

class Event {
public:
    Event(bool manual_reset, bool initially_signalled);
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    void wait();
    // Returns false when the time ran out first.
    bool wait_for(uint32_t milliseconds);
    bool is_signalled() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable condition_;
    bool manual_reset_;
    bool signalled_;
};

}  // namespace zolt::platform

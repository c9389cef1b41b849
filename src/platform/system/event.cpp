#include "platform/system/event.h"

#include <chrono>

namespace zolt::platform {

Event::Event(bool manual_reset, bool initially_signalled)
    : manual_reset_(manual_reset), signalled_(initially_signalled) {}

void Event::set() {
    // Notified under the lock: a woken waiter may destroy the event as soon
    // as it can take the lock.
    std::lock_guard lock(mutex_);
    signalled_ = true;
    if (manual_reset_) {
        condition_.notify_all();
    } else {
        condition_.notify_one();
    }
}

void Event::reset() {
    std::lock_guard lock(mutex_);
    signalled_ = false;
}

void Event::wait() {
    std::unique_lock lock(mutex_);
    condition_.wait(lock, [this] { return signalled_; });
    if (!manual_reset_) {
        signalled_ = false;
    }
}

bool Event::wait_for(uint32_t milliseconds) {
    std::unique_lock lock(mutex_);
    if (!condition_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return signalled_; })) {
        return false;
    }
    if (!manual_reset_) {
        signalled_ = false;
    }
    return true;
}

bool Event::is_signalled() const {
    std::lock_guard lock(mutex_);
    return signalled_;
}

}  // namespace zolt::platform

#include "platform/system/procedure_queue.h"

namespace zolt::platform {

bool ProcedureQueue::queue(Procedure procedure, uintptr_t argument) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return false;
        }
        entries_.push_back({procedure, argument});
    }
    condition_.notify_one();
    return true;
}

uint32_t ProcedureQueue::wait_and_run() {
    uint32_t count = 0;
    std::unique_lock lock(mutex_);
    condition_.wait(lock, [this] { return !entries_.empty(); });
    while (!entries_.empty()) {
        const Entry entry = entries_.front();
        entries_.pop_front();
        lock.unlock();
        entry.procedure(entry.argument);
        ++count;
        lock.lock();
    }
    return count;
}

void ProcedureQueue::close() {
    std::lock_guard lock(mutex_);
    closed_ = true;
}

void ProcedureQueue::reopen() {
    std::lock_guard lock(mutex_);
    closed_ = false;
}

}  // namespace zolt::platform

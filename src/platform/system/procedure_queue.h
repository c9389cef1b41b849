#pragma once
// Stands in for asynchronous procedure calls: other threads queue procedures
// to a thread that owns the queue, which runs them in order while it waits.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace zolt::platform {

class ProcedureQueue {
public:
    using Procedure = void (*)(uintptr_t argument);

    // False when the queue no longer takes procedures.
    bool queue(Procedure procedure, uintptr_t argument);

    // Blocks until at least one procedure is queued, then runs every queued
    // procedure first in, first out; returns how many ran.
    uint32_t wait_and_run();

    // Refuses further procedures; those already queued still run.
    void close();
    void reopen();

private:
    struct Entry {
        Procedure procedure;
        uintptr_t argument;
    };
    std::mutex mutex_;
    std::condition_variable condition_;
    std::deque<Entry> entries_;
    bool closed_ = false;
};

}  // namespace zolt::platform

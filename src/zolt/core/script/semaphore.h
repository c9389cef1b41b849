#pragma once
// A semaphore (server type 12): tasks wait on it with a mask and are woken by
// signals whose bits share a bit with that mask, newest waiter first. It
// keeps no count: a signal that finds no matching waiter is lost. The waiting
// tasks form a ring through their own links, oldest first. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/script/task.h"

namespace zolt::core {

constexpr uint32_t semaphore_capacity = 1000;

class Semaphore final : public ServerObject {
public:
    void initialize(uint32_t argument) override;
    // Destroys every task still waiting.
    void finalize() override;
    // The waiters oldest first as {task, mask} pairs, then 0.
    void save(storage::SaveStream& stream) override;
    // Refuses a waiter that is not a live task.
    bool load(storage::LoadStream& stream) override;

    // The task stops waiting for anything else and joins the ring as the
    // newest waiter. A mask of 0 does not wait.
    void add_waiter(Task* task, uint32_t mask);
    // Wakes matching waiters from the newest towards the oldest until count
    // have woken (0: all); each resumes with the bits in r0. Answers how many.
    uint32_t release_waiters(uint32_t bits, uint32_t count);

    Task* get_first_waiter() const { return waiters_.head; }
    uint32_t get_waiter_count() const;

private:
    TaskWaitList waiters_;
};

class SemaphoreServer final : public PooledServer<Semaphore, semaphore_capacity> {
public:
    SemaphoreServer() : PooledServer(server_type::semaphore) {}

    const char* get_name() const override { return "SemaphoreServer"; }
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }
};

extern SemaphoreServer semaphore_server;

// The live semaphore the handle names, or null.
Semaphore* find_semaphore(ObjectHandle handle);

}  // namespace zolt::core

#include "zolt/core/script/semaphore.h"

#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script/task_server.h"

namespace zolt::core {

SemaphoreServer semaphore_server;

Semaphore* find_semaphore(ObjectHandle handle) {
    if (get_handle_server_type(handle) != server_type::semaphore) {
        return nullptr;
    }
    return static_cast<Semaphore*>(get_object(handle));
}

void Semaphore::initialize(uint32_t) {
    waiters_.head = nullptr;
}

void Semaphore::finalize() {
    while (Task* const task = waiters_.head) {
        if (ServerBase* const tasks = get_server(server_type::task); tasks != nullptr && task->get_handle() != 0) {
            tasks->destroy_object_internal(task);
        }
        // A task that survived its destruction must not keep the ring alive.
        if (waiters_.head == task) {
            task->set_wait_object(nullptr);
        }
    }
}

void Semaphore::add_waiter(Task* task, uint32_t mask) {
    if (mask != 0) {
        task->wait_on_semaphore(&waiters_, mask);
    }
}

uint32_t Semaphore::release_waiters(uint32_t bits, uint32_t count) {
    Task* const oldest = waiters_.head;
    if (oldest == nullptr) {
        return 0;
    }
    uint32_t woken = 0;
    Task* task = oldest->get_previous_waiter();
    for (;;) {
        Task* const previous = task->get_previous_waiter();
        const bool was_oldest = task == oldest;
        if ((task->get_wait_mask() & bits) != 0) {
            task->wake(bits);
            ++woken;
            if (count != 0 && woken == count) {
                break;
            }
        }
        if (was_oldest) {
            break;
        }
        task = previous;
    }
    return woken;
}

uint32_t Semaphore::get_waiter_count() const {
    uint32_t count = 0;
    if (const Task* const first = waiters_.head) {
        const Task* task = first;
        do {
            ++count;
            task = task->get_next_waiter();
        } while (task != first);
    }
    return count;
}

void Semaphore::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    if (const Task* const first = waiters_.head) {
        const Task* task = first;
        do {
            write_u32(stream, task->get_handle());
            write_u32(stream, task->get_wait_mask());
            task = task->get_next_waiter();
        } while (task != first);
    }
    write_u32(stream, 0);
}

bool Semaphore::load(storage::LoadStream& stream) {
    waiters_.head = nullptr;
    if (!ServerObject::load(stream)) {
        return false;
    }
    for (;;) {
        uint32_t task_handle = 0;
        if (!read_u32(stream, task_handle)) {
            return false;
        }
        if (task_handle == 0) {
            return true;
        }
        uint32_t mask = 0;
        Task* const task = find_task(task_handle);
        // A saved waiter is a live task that waits for something.
        if (!read_u32(stream, mask) || task == nullptr || mask == 0) {
            return false;
        }
        task->wait_on_semaphore(&waiters_, mask);
    }
}

}  // namespace zolt::core

#include "zolt/core/events/event.h"

#include "zolt/core/events/event_server.h"
#include "zolt/core/main_thread/scheduler.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script/interpreter.h"
#include "zolt/core/script/task_server.h"

namespace zolt::core {

void Event::initialize(uint32_t clock_selector) {
    clock_ = event_server.resolve_clock(clock_selector & 0x1F);
    timer_.due_time = 0;
    timer_.user_word = get_handle();
}

void Event::finalize() {
    TimerQueue::remove_timer(timer_);
    clock_ = no_clock;
}

void Event::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u32(stream, clock_);
}

bool Event::load(storage::LoadStream& stream) {
    uint32_t clock = 0;
    if (!ServerObject::load(stream) || !read_u32(stream, clock) || clock > no_clock) {
        return false;
    }
    clock_ = clock;
    timer_.user_word = get_handle();
    return true;
}

uint32_t Event::fire() {
    const ObjectHandle target = get_context_handle();
    uint32_t answer = 0;
    switch (get_handle_server_type(target)) {
    case server_type::message: {
        destroy_object(this);
        if (EventMessageDeliverer deliverer = get_event_message_deliverer()) {
            deliverer(target);
        }
        break;
    }
    case server_type::task: {
        Task* const task = find_task(target);
        if (task == nullptr || task->get_wake_event() != get_handle()) {
            // Left queued it would stay first and fire for ever.
            destroy_object(this);
            return 0;
        }
        task_server.set_current_task(task);
        answer = execute_task(task, task_server.get_context());
        task_server.set_current_task(nullptr);
        break;
    }
    default:
        destroy_object(this);
        return 0;
    }
    if (answer != 0) {
        return answer;
    }
    return is_other_thread_due() ? 1 : 0;
}

}  // namespace zolt::core

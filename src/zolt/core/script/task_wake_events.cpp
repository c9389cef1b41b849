#include "zolt/core/script/task_wake_events.h"

#include "libs/system/time_base.h"
#include "libs/utility/fatal_error.h"
#include "zolt/core/main_thread/scheduler.h"
#include "zolt/core/script/interpreter.h"
#include "zolt/core/script/task_server.h"

namespace zolt::core {
namespace {

constexpr uint32_t no_entry = 0xFFFFFFFF;
constexpr uint32_t entry_index_bits = 14;
static_assert(task_capacity < (1u << entry_index_bits));

// A task has at most one wake event, so the queue never holds more entries
// than there are tasks.
struct WakeEntry {
    ObjectHandle task = 0;
    uint32_t due = 0;
    uint32_t next = no_entry;
    uint32_t previous = no_entry;
    uint32_t generation = 0;
    bool used = false;
};

WakeEntry entries[task_capacity];
uint32_t queue_head = no_entry;
uint32_t free_search_start = 0;
uint32_t entry_count = 0;
bool is_running = false;
// Tests run the queue themselves; the engine's run loop starts the thread.
bool is_thread_started = false;
uint32_t run_time = 0;

void step_stand_in(Thread* thread);
Thread stand_in_thread(step_stand_in);

ObjectHandle make_entry_handle(uint32_t index) {
    return entries[index].generation << entry_index_bits | (index + 1);
}

WakeEntry* find_entry(ObjectHandle handle, uint32_t* index_out) {
    const uint32_t index = (handle & ((1u << entry_index_bits) - 1)) - 1;
    if (handle == 0 || index >= task_capacity || !entries[index].used || make_entry_handle(index) != handle) {
        return nullptr;
    }
    *index_out = index;
    return &entries[index];
}

uint32_t get_current_time() {
    return is_running ? run_time : get_time();
}

void unlink_entry(uint32_t index) {
    WakeEntry& entry = entries[index];
    if (entry.previous != no_entry) {
        entries[entry.previous].next = entry.next;
    } else {
        queue_head = entry.next;
    }
    if (entry.next != no_entry) {
        entries[entry.next].previous = entry.previous;
    }
    entry.next = entry.previous = no_entry;
}

void link_entry_after(uint32_t index, uint32_t previous) {
    WakeEntry& entry = entries[index];
    entry.previous = previous;
    entry.next = previous == no_entry ? queue_head : entries[previous].next;
    if (entry.next != no_entry) {
        entries[entry.next].previous = index;
    }
    if (previous == no_entry) {
        queue_head = index;
    } else {
        entries[previous].next = index;
    }
}

void wake_stand_in_thread() {
    if (!is_thread_started || is_running || queue_head == no_entry) {
        return;
    }
    const uint32_t due = entries[queue_head].due;
    if (stand_in_thread.is_linked()) {
        if (!is_time_due(due, stand_in_thread.wake_time) || due == stand_in_thread.wake_time) {
            return;
        }
        unlink_thread(&stand_in_thread);
    }
    schedule_thread(&stand_in_thread, due);
}

void insert_entry(uint32_t index, uint32_t delay) {
    const uint32_t now = get_current_time();
    WakeEntry& entry = entries[index];
    if (delay == delay_now_first) {
        entry.due = now;
        link_entry_after(index, no_entry);
        return;
    }
    entry.due = delay == delay_clock_target ? now + 1 : now + delay;
    // Behind every entry due at or before the same time.
    uint32_t previous = no_entry;
    for (uint32_t at = queue_head; at != no_entry && is_time_due(entries[at].due, entry.due); at = entries[at].next) {
        previous = at;
    }
    link_entry_after(index, previous);
}

ObjectHandle create_stand_in_event(ObjectHandle task, uint32_t clock_selector, uint32_t delay) {
    uint32_t index = free_search_start;
    for (uint32_t tried = 0; tried < task_capacity && entries[index].used; ++tried) {
        index = index + 1 < task_capacity ? index + 1 : 0;
    }
    if (entries[index].used) {
        ZOLT_PANIC("can't allocate more objects in %s", "EventServer");
    }
    free_search_start = index + 1 < task_capacity ? index + 1 : 0;
    WakeEntry& entry = entries[index];
    entry.used = true;
    entry.task = task;
    entry.generation = (entry.generation + 1) & ((1u << (32 - entry_index_bits)) - 1);
    if (entry.generation == 0) {
        entry.generation = 1;
    }
    ++entry_count;
    insert_entry(index, delay);
    wake_stand_in_thread();
    return make_entry_handle(index);
}

void retime_stand_in_event(ObjectHandle event, uint32_t delay) {
    uint32_t index = 0;
    if (find_entry(event, &index) == nullptr) {
        return;
    }
    unlink_entry(index);
    insert_entry(index, delay);
    wake_stand_in_thread();
}

void destroy_stand_in_event(ObjectHandle event) {
    uint32_t index = 0;
    WakeEntry* entry = find_entry(event, &index);
    if (entry == nullptr) {
        return;
    }
    unlink_entry(index);
    entry->used = false;
    entry->task = 0;
    --entry_count;
    if (queue_head == no_entry && !is_running) {
        unlink_thread(&stand_in_thread);
    }
}

ObjectHandle get_first_stand_in_event() {
    if (queue_head == no_entry || !is_time_due(entries[queue_head].due, get_current_time())) {
        return 0;
    }
    return make_entry_handle(queue_head);
}

constexpr TaskClockHooks stand_in_hooks = {create_stand_in_event, retime_stand_in_event, destroy_stand_in_event,
                                           get_first_stand_in_event};
const TaskClockHooks* installed_hooks = &stand_in_hooks;

void step_stand_in(Thread* thread) {
    const uint32_t answer = run_stand_in_wake_events();
    if (queue_head == no_entry || !is_thread_started) {
        return;
    }
    const uint32_t now = get_time();
    const uint32_t due = entries[queue_head].due;
    schedule_thread(thread, answer != 0 || is_time_due(due, now) ? now : due);
}

}  // namespace

void set_task_clock_hooks(const TaskClockHooks* hooks) {
    if (hooks != nullptr) {
        clear_stand_in_wake_events();
    }
    installed_hooks = hooks != nullptr ? hooks : &stand_in_hooks;
}

const TaskClockHooks& get_task_clock_hooks() {
    return *installed_hooks;
}

void start_stand_in_thread() {
    if (installed_hooks == &stand_in_hooks) {
        is_thread_started = true;
        wake_stand_in_thread();
    }
}

uint32_t run_stand_in_wake_events() {
    if (is_running) {
        return 0;
    }
    // The queue's own thread is not another thread to give way to.
    unlink_thread(&stand_in_thread);
    is_running = true;
    run_time = get_time();
    uint32_t answer = 0;
    while (queue_head != no_entry && is_time_due(entries[queue_head].due, run_time)) {
        const ObjectHandle event = make_entry_handle(queue_head);
        Task* const task = find_task(entries[queue_head].task);
        if (task == nullptr || task->get_wake_event() != event) {
            destroy_stand_in_event(event);
            continue;
        }
        task_server.set_current_task(task);
        const uint32_t result = execute_task(task, task_server.get_context());
        task_server.set_current_task(nullptr);
        if (result != 0 || is_other_thread_due()) {
            answer = 1;
            break;
        }
    }
    is_running = false;
    wake_stand_in_thread();
    return answer;
}

uint32_t get_stand_in_wake_event_count() {
    return entry_count;
}

void clear_stand_in_wake_events() {
    for (uint32_t index = 0; index < task_capacity; ++index) {
        if (entries[index].used) {
            destroy_stand_in_event(make_entry_handle(index));
        }
    }
    queue_head = no_entry;
    // A run cut short by a fatal report in a fuzz build never cleared it.
    is_running = false;
    is_thread_started = false;
    unlink_thread(&stand_in_thread);
}

}  // namespace zolt::core

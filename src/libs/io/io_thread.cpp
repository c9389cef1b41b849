#include "libs/io/io_thread.h"

#include "libs/utility/fatal_error.h"
#include "platform/system/thread_priority.h"
#include "platform/system/threads.h"

namespace zolt::io {
namespace {
// Refuses procedures while no IO thread runs, so a request queued then fails
// at once instead of waiting forever. Never destroyed: a late queue from
// another thread at process exit must still find it.
platform::ProcedureQueue& get_io_queue() {
    static platform::ProcedureQueue* const queue = [] {
        auto* created = new platform::ProcedureQueue;
        created->close();
        return created;
    }();
    return *queue;
}

platform::ThreadHandle io_thread;
// Touched by the IO thread alone.
bool is_io_thread_ending = false;

void end_io_thread(uintptr_t) {
    get_io_queue().close();
    is_io_thread_ending = true;
}

void run_io_thread(void*) {
    platform::raise_current_thread_priority();
    is_io_thread_ending = false;
    while (!is_io_thread_ending) {
        get_io_queue().wait_and_run();
    }
}
}  // namespace

void start_io_thread() {
    get_io_queue().reopen();
    if (!platform::start_thread(&io_thread, 0, run_io_thread, nullptr)) {
        get_io_queue().close();
        set_fatal_exit_code(ExitCode::thread_or_window_class);
        ZOLT_ERROR("Can not create thread.");
    }
}

void stop_io_thread() {
    queue_io_procedure(end_io_thread, 0);
    platform::join_thread(&io_thread);
}

void queue_io_procedure(platform::ProcedureQueue::Procedure procedure, uintptr_t argument) {
    if (!get_io_queue().queue(procedure, argument)) {
        set_fatal_exit_code(ExitCode::thread_or_window_class);
        ZOLT_ERROR("Can not queue an APC.");
    }
}

}  // namespace zolt::io

#include "libs/system/worker_thread.h"

#include "libs/utility/fatal_error.h"
#include "platform/system/event.h"

namespace zolt {
namespace {
struct StartRecord {
    WorkerFunction function;
    void* argument;
    platform::Event* started;
};

void run_worker(void* raw) {
    const auto* record = static_cast<const StartRecord*>(raw);
    const WorkerFunction function = record->function;
    void* const argument = record->argument;
    record->started->set();
    function(argument);
}
}  // namespace

void create_thread(platform::ThreadHandle* handle, const ThreadAttributes* attributes, WorkerFunction function,
                   void* argument) {
    platform::Event started(false, false);
    StartRecord record{function, argument, &started};
    const uint32_t stack_size = attributes != nullptr ? attributes->stack_size : 0;
    if (!platform::start_thread(handle, stack_size, run_worker, &record)) {
        set_fatal_exit_code(ExitCode::thread_or_window_class);
        ZOLT_ERROR("Cannot create a thread.");
    }
    started.wait();
}

}  // namespace zolt

#pragma once
// The IO thread: it waits for procedures queued to it and runs them one at a
// time in queue order; file requests reach it through queue_request. It lives
// from engine start to engine stop; start and stop belong to the main thread,
// any thread may queue.
#include <cstdint>

#include "platform/system/procedure_queue.h"

namespace zolt::io {

// Failure to create the thread is fatal with the thread exit code.
void start_io_thread();

// Queues the end of the thread behind everything already queued and waits for
// the thread to end. Failure to queue is fatal with the thread exit code.
void stop_io_thread();

// Failure to queue (no IO thread running) is fatal with the thread exit code.
void queue_io_procedure(platform::ProcedureQueue::Procedure procedure, uintptr_t argument);

}  // namespace zolt::io

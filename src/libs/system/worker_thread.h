#pragma once
// Starting real worker threads. The caller blocks until the new thread has
// taken its function and argument, so both may live on the caller's stack.
#include <cstdint>

#include "platform/system/threads.h"

namespace zolt {

struct ThreadAttributes {
    uint32_t stack_size;
};

using WorkerFunction = void (*)(void* argument);

// Failure to start is fatal with the thread exit code.
void create_thread(platform::ThreadHandle* handle, const ThreadAttributes* attributes, WorkerFunction function,
                   void* argument);

}  // namespace zolt

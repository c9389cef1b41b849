#pragma once
// Worker threads with an explicit stack size, and the kernel's thread ids.
#include <cstddef>
#include <cstdint>

namespace zolt::platform {

struct ThreadHandle {
    uint64_t native = 0;
    bool valid = false;
};

using ThreadFunction = void (*)(void* argument);

// Starts function(argument) on a new thread; stack_size 0 takes the default.
bool start_thread(ThreadHandle* handle, size_t stack_size, ThreadFunction function, void* argument);

// Waits without a time limit for the thread to end and releases its handle.
void join_thread(ThreadHandle* handle);

uint32_t get_current_thread_id();

// Longer names are cut to the kernel's 15 characters.
void set_current_thread_name(const char* name);

}  // namespace zolt::platform

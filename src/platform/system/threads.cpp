#include "platform/system/threads.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "platform/system/crash_signals.h"

namespace zolt::platform {
namespace {
struct StartRecord {
    ThreadFunction function;
    void* argument;
};

void* thread_entry(void* raw) {
    StartRecord record = *static_cast<StartRecord*>(raw);
    delete static_cast<StartRecord*>(raw);
    prepare_thread_for_crash_signals();
    record.function(record.argument);
    release_thread_crash_signal_stack();
    return nullptr;
}
}  // namespace

bool start_thread(ThreadHandle* handle, size_t stack_size, ThreadFunction function, void* argument) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        return false;
    }
    if (stack_size != 0 && pthread_attr_setstacksize(&attributes, stack_size) != 0) {
        pthread_attr_destroy(&attributes);
        return false;
    }
    auto* record = new StartRecord{function, argument};
    pthread_t thread;
    const int result = pthread_create(&thread, &attributes, thread_entry, record);
    pthread_attr_destroy(&attributes);
    if (result != 0) {
        delete record;
        return false;
    }
    handle->native = static_cast<uint64_t>(thread);
    handle->valid = true;
    return true;
}

void join_thread(ThreadHandle* handle) {
    if (!handle->valid) {
        return;
    }
    pthread_join(static_cast<pthread_t>(handle->native), nullptr);
    handle->valid = false;
}

uint32_t get_current_thread_id() {
    return static_cast<uint32_t>(syscall(SYS_gettid));
}

void set_current_thread_name(const char* name) {
    char cut[16] = {};
    for (size_t index = 0; index < sizeof(cut) - 1 && name[index] != 0; ++index) {
        cut[index] = name[index];
    }
    pthread_setname_np(pthread_self(), cut);
}

}  // namespace zolt::platform

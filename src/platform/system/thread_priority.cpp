#include "platform/system/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace zolt::platform {

void raise_current_thread_priority() {
    // On Linux a nice value set for a thread id applies to that thread alone.
    const auto thread_id = static_cast<id_t>(syscall(SYS_gettid));
    setpriority(PRIO_PROCESS, thread_id, -1);
}

}  // namespace zolt::platform

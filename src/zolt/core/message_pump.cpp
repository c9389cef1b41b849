#include "zolt/core/message_pump.h"

#include <mutex>

#include "platform/system/process.h"

namespace zolt::core {
namespace {
std::mutex quit_lock;
bool quit_flag = false;
}  // namespace

bool pump_messages() {
    {
        std::lock_guard lock(quit_lock);
        if (quit_flag) {
            return true;
        }
    }
    // A terminating signal is the quit message of this platform.
    if (platform::is_quit_signalled()) {
        request_quit();
    }
    std::lock_guard lock(quit_lock);
    return quit_flag;
}

void request_quit() {
    std::lock_guard lock(quit_lock);
    quit_flag = true;
}

bool is_quit_requested() {
    std::lock_guard lock(quit_lock);
    return quit_flag;
}

}  // namespace zolt::core

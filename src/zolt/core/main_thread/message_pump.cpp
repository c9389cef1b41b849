#include "zolt/core/main_thread/message_pump.h"

#include <mutex>

#include "platform/display/sdl_window.h"
#include "platform/system/process.h"
#include "zolt/renderer/graphics_library/game_window.h"

namespace zolt::core {
namespace {
std::mutex quit_lock;
bool quit_flag = false;
TypedKeyHandler typed_key_handler = nullptr;

void dispatch_window_events() {
    platform::WindowEvent event;
    while (platform::poll_window_event(&event)) {
        if (event.kind == platform::WindowEventKind::quit) {
            request_quit();
            return;
        }
        if (typed_key_handler != nullptr) {
            if (event.kind == platform::WindowEventKind::key_down) {
                typed_key_handler(event.key, 0);
            } else if (event.kind == platform::WindowEventKind::character) {
                typed_key_handler(0, event.character);
            }
        }
        renderer::handle_window_event(event);
    }
}
}  // namespace

bool pump_messages() {
    {
        std::lock_guard lock(quit_lock);
        if (quit_flag) {
            return true;
        }
    }
    // A terminating signal is a quit message of this platform too.
    if (platform::is_quit_signalled()) {
        request_quit();
    } else {
        dispatch_window_events();
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

void set_typed_key_handler(TypedKeyHandler handler) {
    typed_key_handler = handler;
}

}  // namespace zolt::core

#include <SDL.h>

#include <cstring>
#include <initializer_list>

#include "platform/display/sdl_display_state.h"
#include "platform/input/input_backend.h"
#include "platform/input/sdl_input_events.h"
#include "platform/input/sdl_scan_codes.h"

namespace zolt::platform {

namespace {

// The devices keep their state from the window's events: keys and buttons
// as they go down and up, movement summed until it is read. A foreground
// device reads only while its window has the focus; the focus's loss takes
// the devices away as the system would.
class SdlInputBackend final : public InputBackend {
public:
    InputResult create_interface(bool* created) override {
        *created = true;
        return InputResult::ok;
    }

    InputResult create_device(InputDeviceKind kind, bool* created) override {
        Device& device = get_device(kind);
        device = Device{};
        device.created = true;
        *created = true;
        if (kind == InputDeviceKind::keyboard) {
            std::memset(keys_, 0, sizeof keys_);
        } else {
            mouse_ = MouseState{};
        }
        return InputResult::ok;
    }

    InputResult set_data_format(InputDeviceKind kind) override {
        return get_device(kind).created ? InputResult::ok : InputResult::failed;
    }

    InputResult set_cooperative_level(InputDeviceKind kind, DisplayWindow* window, uint32_t level) override {
        Device& device = get_device(kind);
        if (!device.created || window == nullptr || window->window == nullptr) {
            return InputResult::failed;
        }
        device.window_id = SDL_GetWindowID(window->window);
        device.level = level;
        return InputResult::ok;
    }

    InputResult acquire(InputDeviceKind kind) override {
        Device& device = get_device(kind);
        if (!device.created || device.window_id == 0) {
            return InputResult::failed;
        }
        SDL_Window* const window = SDL_GetWindowFromID(device.window_id);
        if (window == nullptr) {
            return InputResult::failed;
        }
        if ((device.level & input_foreground) != 0 && (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) == 0) {
            return InputResult::other_application_has_priority;
        }
        if (!device.acquired && kind == InputDeviceKind::mouse) {
            // Movement from before the device was taken is not the game's.
            mouse_.x = mouse_.y = mouse_.z = 0;
            if ((device.level & input_exclusive) != 0) {
                SDL_SetRelativeMouseMode(SDL_TRUE);
            }
        }
        device.acquired = true;
        device.lost = false;
        return InputResult::ok;
    }

    InputResult unacquire(InputDeviceKind kind) override {
        Device& device = get_device(kind);
        if (!device.created) {
            return InputResult::failed;
        }
        let_go(kind);
        return InputResult::ok;
    }

    void release_device(InputDeviceKind kind) override {
        let_go(kind);
        get_device(kind) = Device{};
    }

    InputResult get_keyboard_state(uint8_t (&state)[keyboard_state_size]) override {
        const InputResult result = check_readable(InputDeviceKind::keyboard);
        if (result == InputResult::ok) {
            std::memcpy(state, keys_, sizeof keys_);
        }
        return result;
    }

    InputResult get_mouse_state(MouseState* state) override {
        const InputResult result = check_readable(InputDeviceKind::mouse);
        if (result == InputResult::ok) {
            *state = mouse_;
            mouse_.x = mouse_.y = mouse_.z = 0;
        }
        return result;
    }

    bool get_key_name(uint32_t scan_code, char16_t* name, uint32_t capacity) override {
        if (!get_device(InputDeviceKind::keyboard).created || capacity == 0) {
            return false;
        }
        const SDL_Scancode scancode = get_sdl_scancode(scan_code);
        if (scancode == SDL_SCANCODE_UNKNOWN) {
            return false;
        }
        // The key's name on the current layout, as the keyboard shows it.
        const char* text = SDL_GetKeyName(SDL_GetKeyFromScancode(scancode));
        if (text == nullptr || *text == 0) {
            text = SDL_GetScancodeName(scancode);
        }
        if (text == nullptr || *text == 0) {
            return false;
        }
        copy_utf8_to_utf16(text, name, capacity);
        return true;
    }

    bool are_mouse_buttons_swapped() override { return false; }

    void handle_event(const SDL_Event& event) {
        switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (is_device_window(InputDeviceKind::keyboard, event.key.windowID)) {
                const uint32_t scan_code = get_scan_code(event.key.keysym.scancode);
                if (scan_code != 0) {
                    keys_[scan_code] = event.type == SDL_KEYDOWN ? 0x80 : 0;
                }
            }
            break;
        case SDL_MOUSEMOTION:
            if (is_acquired_mouse_window(event.motion.windowID)) {
                mouse_.x += event.motion.xrel;
                mouse_.y += event.motion.yrel;
            }
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (is_device_window(InputDeviceKind::mouse, event.button.windowID)) {
                const uint32_t button = get_button_index(event.button.button);
                if (button < mouse_button_count) {
                    mouse_.buttons[button] = event.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0;
                }
            }
            break;
        case SDL_MOUSEWHEEL:
            if (is_acquired_mouse_window(event.wheel.windowID)) {
                const int32_t steps = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
                mouse_.z += steps * mouse_wheel_step;
            }
            break;
        case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST) {
                lose_focus(event.window.windowID);
            }
            break;
        default:
            break;
        }
    }

private:
    struct Device {
        bool created = false;
        bool acquired = false;
        bool lost = false;
        uint32_t window_id = 0;
        uint32_t level = 0;
    };

    Device& get_device(InputDeviceKind kind) { return devices_[static_cast<uint32_t>(kind)]; }

    bool is_device_window(InputDeviceKind kind, uint32_t window_id) {
        const Device& device = get_device(kind);
        return device.created && device.window_id != 0 && device.window_id == window_id;
    }

    bool is_acquired_mouse_window(uint32_t window_id) {
        return is_device_window(InputDeviceKind::mouse, window_id) && get_device(InputDeviceKind::mouse).acquired;
    }

    // Left, right, middle, then the side buttons.
    static uint32_t get_button_index(uint8_t button) {
        switch (button) {
        case SDL_BUTTON_LEFT:
            return 0;
        case SDL_BUTTON_RIGHT:
            return 1;
        case SDL_BUTTON_MIDDLE:
            return 2;
        default:
            return button - 1u;
        }
    }

    void let_go(InputDeviceKind kind) {
        Device& device = get_device(kind);
        if (device.acquired && kind == InputDeviceKind::mouse && (device.level & input_exclusive) != 0) {
            SDL_SetRelativeMouseMode(SDL_FALSE);
        }
        device.acquired = false;
    }

    // No key-up or button-up events come once the focus has gone.
    void lose_focus(uint32_t window_id) {
        for (InputDeviceKind kind : {InputDeviceKind::keyboard, InputDeviceKind::mouse}) {
            Device& device = get_device(kind);
            if (!device.created || device.window_id != window_id || (device.level & input_foreground) == 0) {
                continue;
            }
            if (device.acquired) {
                let_go(kind);
                device.lost = true;
            }
            if (kind == InputDeviceKind::keyboard) {
                std::memset(keys_, 0, sizeof keys_);
            } else {
                mouse_ = MouseState{};
            }
        }
    }

    InputResult check_readable(InputDeviceKind kind) {
        Device& device = get_device(kind);
        if (device.lost) {
            return InputResult::input_lost;
        }
        return device.acquired ? InputResult::ok : InputResult::not_acquired;
    }

    // Whole characters that fit with the terminating NUL; malformed bytes
    // are skipped.
    static void copy_utf8_to_utf16(const char* text, char16_t* name, uint32_t capacity) {
        uint32_t length = 0;
        const auto* bytes = reinterpret_cast<const unsigned char*>(text);
        while (*bytes != 0) {
            uint32_t code_point = *bytes;
            uint32_t size = 1;
            if (code_point >= 0xF0) {
                code_point &= 0x07;
                size = 4;
            } else if (code_point >= 0xE0) {
                code_point &= 0x0F;
                size = 3;
            } else if (code_point >= 0xC0) {
                code_point &= 0x1F;
                size = 2;
            } else if (code_point >= 0x80) {
                ++bytes;
                continue;
            }
            uint32_t index = 1;
            for (; index < size && (bytes[index] & 0xC0) == 0x80; ++index) {
                code_point = code_point << 6 | (bytes[index] & 0x3F);
            }
            bytes += index;
            if (index < size) {
                continue;
            }
            const uint32_t units = code_point >= 0x10000 ? 2 : 1;
            if (length + units + 1 > capacity) {
                break;
            }
            if (units == 2) {
                code_point -= 0x10000;
                name[length++] = static_cast<char16_t>(0xD800 + (code_point >> 10));
                name[length++] = static_cast<char16_t>(0xDC00 + (code_point & 0x3FF));
            } else {
                name[length++] = static_cast<char16_t>(code_point);
            }
        }
        name[length] = 0;
    }

    Device devices_[2];
    uint8_t keys_[keyboard_state_size] = {};
    MouseState mouse_{};
};

SdlInputBackend sdl_input_backend;
InputBackend* installed_backend = nullptr;

}  // namespace

InputBackend& get_input_backend() {
    return installed_backend != nullptr ? *installed_backend : sdl_input_backend;
}

void set_input_backend(InputBackend* backend) {
    installed_backend = backend;
}

void handle_input_event(const SDL_Event& event) {
    sdl_input_backend.handle_event(event);
}

}  // namespace zolt::platform

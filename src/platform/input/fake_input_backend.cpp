#include "platform/input/fake_input_backend.h"

#include <cstring>

namespace zolt::platform {

InputResult FakeInputBackend::take(std::deque<InputResult>& results) {
    if (results.empty()) {
        return InputResult::ok;
    }
    const InputResult result = results.front();
    results.pop_front();
    return result;
}

InputResult FakeInputBackend::create_interface(bool* created) {
    *created = interface_result == InputResult::ok && !interface_gives_none;
    interface_created = *created;
    return interface_result;
}

InputResult FakeInputBackend::create_device(InputDeviceKind kind, bool* created) {
    Device& device = get_device(kind);
    const InputResult result = take(device.create_results);
    *created = result == InputResult::ok && !device.create_gives_none;
    device.created = *created;
    return result;
}

InputResult FakeInputBackend::set_data_format(InputDeviceKind kind) {
    Device& device = get_device(kind);
    const InputResult result = take(device.set_data_format_results);
    device.data_format_set = result == InputResult::ok;
    return result;
}

InputResult FakeInputBackend::set_cooperative_level(InputDeviceKind kind, DisplayWindow* window, uint32_t level) {
    Device& device = get_device(kind);
    const InputResult result = take(device.set_cooperative_level_results);
    if (result == InputResult::ok) {
        device.cooperative_level = level;
        device.window = window;
    }
    return result;
}

InputResult FakeInputBackend::acquire(InputDeviceKind kind) {
    Device& device = get_device(kind);
    ++device.acquire_calls;
    const InputResult result = take(device.acquire_results);
    if (result == InputResult::ok) {
        device.acquired = true;
        lost_[static_cast<uint32_t>(kind)] = false;
    }
    return result;
}

InputResult FakeInputBackend::unacquire(InputDeviceKind kind) {
    Device& device = get_device(kind);
    ++device.unacquire_calls;
    device.acquired = false;
    return InputResult::ok;
}

void FakeInputBackend::release_device(InputDeviceKind kind) {
    Device& device = get_device(kind);
    ++device.release_calls;
    device.created = false;
    device.acquired = false;
}

InputResult FakeInputBackend::read(Device& device) {
    ++device.read_calls;
    const InputResult result = take(device.read_results);
    if (result != InputResult::ok) {
        return result;
    }
    if (lost_[&device - devices_]) {
        return InputResult::input_lost;
    }
    return device.acquired ? InputResult::ok : InputResult::not_acquired;
}

InputResult FakeInputBackend::get_keyboard_state(uint8_t (&state)[keyboard_state_size]) {
    const InputResult result = read(get_device(InputDeviceKind::keyboard));
    if (result == InputResult::ok) {
        std::memcpy(state, keys_, sizeof keys_);
    }
    return result;
}

InputResult FakeInputBackend::get_mouse_state(MouseState* state) {
    const InputResult result = read(get_device(InputDeviceKind::mouse));
    if (result == InputResult::ok) {
        *state = mouse_;
        mouse_.x = mouse_.y = mouse_.z = 0;
    }
    return result;
}

bool FakeInputBackend::get_key_name(uint32_t scan_code, char16_t* name, uint32_t capacity) {
    if (scan_code >= keyboard_state_size || key_names[scan_code] == nullptr ||
        !get_device(InputDeviceKind::keyboard).created || capacity == 0) {
        return false;
    }
    uint32_t length = 0;
    for (const char16_t* unit = key_names[scan_code]; *unit != 0 && length + 1 < capacity; ++unit) {
        name[length++] = *unit;
    }
    name[length] = 0;
    return true;
}

void FakeInputBackend::set_key(uint32_t scan_code, bool down) {
    if (scan_code < keyboard_state_size) {
        keys_[scan_code] = down ? 0x80 : 0;
    }
}

void FakeInputBackend::set_button(uint32_t button, bool down) {
    if (button < mouse_button_count) {
        mouse_.buttons[button] = down ? 0x80 : 0;
    }
}

void FakeInputBackend::move_mouse(int32_t x, int32_t y, int32_t wheel) {
    mouse_.x += x;
    mouse_.y += y;
    mouse_.z += wheel;
}

void FakeInputBackend::lose_devices() {
    lost_[0] = lost_[1] = true;
    devices_[0].acquired = devices_[1].acquired = false;
}

}  // namespace zolt::platform

#pragma once
// An input backend that tests drive directly: they press keys and buttons,
// move the mouse, set the answers of the next calls and read back what the
// engine did with the devices. Nothing is real; a device is acquired only
// when the engine acquired it and no loss was simulated since.
#include <cstdint>
#include <deque>

#include "platform/input/input_backend.h"

namespace zolt::platform {

class FakeInputBackend final : public InputBackend {
public:
    struct Device {
        bool created = false;
        bool data_format_set = false;
        bool acquired = false;
        uint32_t cooperative_level = 0;
        DisplayWindow* window = nullptr;
        uint32_t acquire_calls = 0;
        uint32_t unacquire_calls = 0;
        uint32_t release_calls = 0;
        uint32_t read_calls = 0;
        // Answers of the next calls, taken front first; ok when empty.
        std::deque<InputResult> create_results;
        std::deque<InputResult> set_data_format_results;
        std::deque<InputResult> set_cooperative_level_results;
        std::deque<InputResult> acquire_results;
        std::deque<InputResult> read_results;
        // A successful creation that gives no device.
        bool create_gives_none = false;
    };

    InputResult create_interface(bool* created) override;
    InputResult create_device(InputDeviceKind kind, bool* created) override;
    InputResult set_data_format(InputDeviceKind kind) override;
    InputResult set_cooperative_level(InputDeviceKind kind, DisplayWindow* window, uint32_t level) override;
    InputResult acquire(InputDeviceKind kind) override;
    InputResult unacquire(InputDeviceKind kind) override;
    void release_device(InputDeviceKind kind) override;
    InputResult get_keyboard_state(uint8_t (&state)[keyboard_state_size]) override;
    InputResult get_mouse_state(MouseState* state) override;
    bool get_key_name(uint32_t scan_code, char16_t* name, uint32_t capacity) override;
    bool are_mouse_buttons_swapped() override { return buttons_swapped; }

    Device& get_device(InputDeviceKind kind) { return devices_[static_cast<uint32_t>(kind)]; }
    void set_key(uint32_t scan_code, bool down);
    void set_button(uint32_t button, bool down);
    void move_mouse(int32_t x, int32_t y, int32_t wheel);
    // The devices are taken away as on a focus loss: each read answers
    // input lost until the device is acquired again.
    void lose_devices();

    InputResult interface_result = InputResult::ok;
    bool interface_gives_none = false;
    bool interface_created = false;
    bool buttons_swapped = false;
    // Names by scan code; null: the keyboard cannot name the key.
    const char16_t* key_names[keyboard_state_size] = {};

private:
    static InputResult take(std::deque<InputResult>& results);
    InputResult read(Device& device);

    Device devices_[2];
    uint8_t keys_[keyboard_state_size] = {};
    MouseState mouse_{};
    bool lost_[2] = {};
};

}  // namespace zolt::platform

#pragma once
// The keyboard and mouse devices as the engine's input layer reads them: an
// interface that makes a keyboard and a mouse for the game window, which are
// acquired for reading, read as immediate state and released. The keyboard's
// state is 256 bytes indexed by scan code (set-1 codes, 0x80 | code for the
// extended keys), top bit set while the key is down. The mouse's state is the
// movement since the previous read and its buttons.
//
// Two backends: SDL's, fed by the game window's event pump, and a fake that
// tests drive. The engine calls the backend under its own input lock; the
// backend needs no lock of its own beyond that. Main thread only.
#include <cstdint>

namespace zolt::platform {

struct DisplayWindow;

enum class InputResult : uint32_t {
    ok,
    // The device was taken away (focus lost); it may be acquired again.
    input_lost,
    not_acquired,
    // Another window has the focus: a foreground device cannot be acquired.
    other_application_has_priority,
    failed,
};

enum class InputDeviceKind : uint32_t {
    keyboard,
    mouse,
};

// Cooperative levels.
constexpr uint32_t input_exclusive = 1;
constexpr uint32_t input_non_exclusive = 2;
constexpr uint32_t input_foreground = 4;

constexpr uint32_t keyboard_state_size = 256;
constexpr uint32_t mouse_button_count = 8;
// Wheel movement of one step.
constexpr int32_t mouse_wheel_step = 120;

// x and y grow right and down, z away from the user; a button is down when
// its byte's top bit is set.
struct MouseState {
    int32_t x;
    int32_t y;
    int32_t z;
    uint8_t buttons[mouse_button_count];
};
static_assert(sizeof(MouseState) == 20);

class InputBackend {
public:
    virtual ~InputBackend() = default;

    // A success that leaves *created false gave no interface.
    virtual InputResult create_interface(bool* created) = 0;
    // A success that leaves *created false gave no device.
    virtual InputResult create_device(InputDeviceKind kind, bool* created) = 0;
    virtual InputResult set_data_format(InputDeviceKind kind) = 0;
    virtual InputResult set_cooperative_level(InputDeviceKind kind, DisplayWindow* window, uint32_t level) = 0;
    virtual InputResult acquire(InputDeviceKind kind) = 0;
    virtual InputResult unacquire(InputDeviceKind kind) = 0;
    virtual void release_device(InputDeviceKind kind) = 0;

    virtual InputResult get_keyboard_state(uint8_t (&state)[keyboard_state_size]) = 0;
    // Movement since the previous successful read.
    virtual InputResult get_mouse_state(MouseState* state) = 0;
    // The keyboard's own name of the key at the scan code, NUL-terminated
    // UTF-16 cut to fit; false when it has none.
    virtual bool get_key_name(uint32_t scan_code, char16_t* name, uint32_t capacity) = 0;
    // The system's setting that exchanges the left and right buttons.
    virtual bool are_mouse_buttons_swapped() = 0;
};

// The SDL backend unless a test has installed another.
InputBackend& get_input_backend();
// Null puts the SDL backend back.
void set_input_backend(InputBackend* backend);

}  // namespace zolt::platform

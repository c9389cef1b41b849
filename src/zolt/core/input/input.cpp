#include "zolt/core/input/input.h"

#include <cmath>
#include <mutex>

#include "libs/utility/config_variable_table.h"
#include "libs/utility/fatal_error.h"
#include "platform/input/input_backend.h"
#include "platform/input/virtual_keys.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/events/event_server.h"
#include "zolt/core/events/message.h"
#include "zolt/core/input/input_codes.h"
#include "zolt/core/main_thread/message_pump.h"
#include "zolt/core/object_server/property.h"
#include "zolt/core/script_objects/string_object.h"
#include "zolt/renderer/graphics_library/game_window.h"

namespace zolt::core {

namespace {

using platform::InputDeviceKind;
using platform::InputResult;

constexpr uint32_t reacquire_attempts = 10;
constexpr uint32_t key_name_length = 64;
constexpr uint32_t wheel_up_button = 3;
constexpr uint32_t wheel_down_button = 4;

struct InputState {
    uint32_t clock_selector = 0;
    float level = 0.0f;
    uint32_t down[input_code_limit / 32] = {};
    bool interface_created = false;
    bool keyboard = false;
    bool mouse = false;
};

InputState input;
std::mutex input_lock;

constexpr uint32_t local_user_codes[local_user_count] = {0x0F, 0x1F, 0x2F, 0x3F};

bool is_down(uint32_t code) {
    return code < input_code_limit && (input.down[code / 32] >> (code % 32) & 1) != 0;
}

void set_property_u32(Message* message, uint32_t id, uint32_t value) {
    Property property;
    property.set_u32(id, value);
    message->set_property(id, property);
}

void set_property_float(Message* message, uint32_t id, float value) {
    Property property;
    property.set_float(id, value);
    message->set_property(id, property);
}

void post_code_message(uint32_t kind, uint32_t code, float value) {
    Message* const message = post_message_to_enabled_clocks(input.clock_selector, kind | code);
    if (message == nullptr) {
        return;
    }
    set_property_float(message, input_property::value, value);
    set_property_u32(message, input_property::fixed_1, 0xFFFFFFFF);
    set_property_u32(message, input_property::fixed_2, 0xFFFFFFFF);
}

void update_code(uint32_t code, bool down) {
    uint32_t& word = input.down[code / 32];
    const uint32_t bit = 1u << (code % 32);
    if (((word & bit) != 0) != down) {
        word ^= bit;
        if (down) {
            post_code_message(input_down_message, code, 1.0f);
        } else {
            post_code_message(input_up_message, code, 0.0f);
        }
    }
    if (down) {
        post_code_message(input_held_message, code, 1.0f);
    }
}

bool reacquire(InputDeviceKind kind) {
    platform::InputBackend& backend = platform::get_input_backend();
    for (uint32_t attempt = 0; attempt < reacquire_attempts; ++attempt) {
        const InputResult result = backend.acquire(kind);
        if (result == InputResult::ok) {
            return true;
        }
        if (result != InputResult::input_lost) {
            return false;
        }
    }
    return false;
}

// A failed read is retried once after the device is acquired again.
template <typename Read>
bool read_device(InputDeviceKind kind, Read read) {
    std::lock_guard lock(input_lock);
    const bool present = kind == InputDeviceKind::keyboard ? input.keyboard : input.mouse;
    if (!present) {
        return false;
    }
    if (read() == InputResult::ok) {
        return true;
    }
    return reacquire(kind) && read() == InputResult::ok;
}

void poll_keyboard() {
    uint8_t state[platform::keyboard_state_size];
    const bool read = read_device(InputDeviceKind::keyboard, [&] {
        for (uint8_t& byte : state) {
            byte = 0;
        }
        return platform::get_input_backend().get_keyboard_state(state);
    });
    if (!read) {
        return;
    }
    for (uint32_t scan_code = 0; scan_code < scan_code_count; ++scan_code) {
        const bool down = scan_code < platform::keyboard_state_size && (state[scan_code] & 0x80) != 0;
        update_code(get_scan_code_input(scan_code), down);
    }
}

void post_movement_message(int32_t x_movement, int32_t y_movement, int32_t wheel) {
    float x = static_cast<float>(x_movement) * mouse_sensitivity_x;
    float y = static_cast<float>(y_movement) * mouse_sensitivity_y;
    const Clock* const real_time = event_server.find_clock(0);
    const float last_step = real_time != nullptr ? static_cast<float>(real_time->last_step) : 0.0f;
    const float threshold = last_step * 0.00001f * mouse_acceleration_threshold;
    if (x * x + y * y > threshold * threshold) {
        x *= mouse_acceleration_factor;
        y *= mouse_acceleration_factor;
    }
    Message* const message = post_message_to_enabled_clocks(input.clock_selector, input_movement_message);
    if (message == nullptr) {
        return;
    }
    Property movement;
    const float vector[2] = {x, y};
    movement.set_floats(input_property::movement, vector, 2);
    message->set_property(input_property::movement, movement);
    set_property_float(message, input_property::wheel, static_cast<float>(wheel));
}

void poll_mouse() {
    platform::MouseState state;
    const bool read = read_device(InputDeviceKind::mouse, [&] {
        state = platform::MouseState{};
        return platform::get_input_backend().get_mouse_state(&state);
    });
    if (!read) {
        return;
    }
    const int32_t x = state.x;
    // Upward motion is positive; the negation wraps on purpose at the limit.
    const int32_t y = static_cast<int32_t>(0u - static_cast<uint32_t>(state.y));
    const int32_t wheel = state.z;
    const bool swapped = platform::get_input_backend().are_mouse_buttons_swapped();
    uint32_t buttons = 0;
    buttons |= (state.buttons[swapped ? 1 : 0] & 0x80) != 0 ? 1u : 0u;
    buttons |= (state.buttons[swapped ? 0 : 1] & 0x80) != 0 ? 2u : 0u;
    buttons |= (state.buttons[2] & 0x80) != 0 ? 4u : 0u;
    buttons |= wheel > 0 ? 1u << wheel_up_button : 0u;
    buttons |= wheel < 0 ? 1u << wheel_down_button : 0u;
    for (uint32_t button = 0; button < mouse_button_code_count; ++button) {
        update_code(mouse_left_code + button, (buttons >> button & 1) != 0);
    }
    if (x != 0 || y != 0 || wheel != 0) {
        post_movement_message(x, y, wheel);
    }
}

void poll_actions() {
    for (uint32_t action = 0; action < action_count; ++action) {
        bool down = false;
        for (uint32_t slot = 0; slot < binding_slot_count && !down; ++slot) {
            const uint32_t code = get_action_binding(action, slot);
            if (code == 0) {
                break;
            }
            down = is_down(code);
        }
        update_code(first_action_code + action, down);
    }
}

void post_simple_message(uint32_t id) {
    post_message_to_enabled_clocks(input.clock_selector, id);
}

// Keeps none on failure, as creation must.
bool create_device(InputDeviceKind kind, platform::DisplayWindow* window, uint32_t level, bool* present) {
    platform::InputBackend& backend = platform::get_input_backend();
    bool created = false;
    if (backend.create_device(kind, &created) != InputResult::ok) {
        return false;
    }
    if (!created) {
        set_fatal_exit_code(ExitCode::input);
        ZOLT_ERROR("IDirectInput8::CreateDevice succeeded but returned a NULL interface.");
    }
    *present = true;
    if (backend.set_data_format(kind) != InputResult::ok ||
        backend.set_cooperative_level(kind, window, level) != InputResult::ok) {
        backend.release_device(kind);
        *present = false;
        return false;
    }
    return true;
}

}  // namespace

void initialize_input() {
    input = InputState{};
    clear_input_bindings();
    build_input_tables();
}

bool create_direct_input() {
    bool created = false;
    if (platform::get_input_backend().create_interface(&created) != InputResult::ok) {
        return false;
    }
    if (!created) {
        set_fatal_exit_code(ExitCode::input);
        ZOLT_ERROR("DirectInput8Create succeeded but returned a NULL interface.");
    }
    input.interface_created = true;
    return true;
}

bool create_input_devices(platform::DisplayWindow* window) {
    if (!create_device(InputDeviceKind::keyboard, window, platform::input_non_exclusive | platform::input_foreground,
                       &input.keyboard) ||
        !create_device(InputDeviceKind::mouse, window, platform::input_exclusive | platform::input_foreground,
                       &input.mouse)) {
        release_input_devices();
        return false;
    }
    acquire_input_devices();
    return true;
}

void release_input_devices() {
    platform::InputBackend& backend = platform::get_input_backend();
    if (input.mouse) {
        backend.unacquire(InputDeviceKind::mouse);
        backend.release_device(InputDeviceKind::mouse);
        input.mouse = false;
    }
    if (input.keyboard) {
        backend.unacquire(InputDeviceKind::keyboard);
        backend.release_device(InputDeviceKind::keyboard);
        input.keyboard = false;
    }
}

void acquire_input_devices() {
    std::lock_guard lock(input_lock);
    platform::InputBackend& backend = platform::get_input_backend();
    if (input.keyboard) {
        backend.acquire(InputDeviceKind::keyboard);
    }
    if (input.mouse) {
        backend.acquire(InputDeviceKind::mouse);
    }
}

void unacquire_input_devices() {
    std::lock_guard lock(input_lock);
    platform::InputBackend& backend = platform::get_input_backend();
    if (input.mouse) {
        backend.unacquire(InputDeviceKind::mouse);
    }
    if (input.keyboard) {
        backend.unacquire(InputDeviceKind::keyboard);
    }
}

void poll_input(uint32_t clock_selector) {
    input.clock_selector = clock_selector;
    post_simple_message(input_poll_start_message);
    poll_keyboard();
    poll_mouse();
    poll_actions();
    post_simple_message(input_poll_end_message);
}

void post_typed_key_message(uint32_t virtual_key, uint32_t character, bool flag) {
    if (!flag) {
        return;
    }
    const uint32_t code = get_virtual_key_input(virtual_key);
    Message* const message = post_message_to_enabled_clocks(input.clock_selector, input_typed_message | code);
    if (message == nullptr) {
        return;
    }
    set_property_float(message, input_property::value, 1.0f);
    set_property_u32(message, input_property::fixed_1, 0xFFFFFFFF);
    set_property_u32(message, input_property::fixed_2, 0);
    set_property_u32(message, input_property::character, character);
}

bool is_input_active(uint32_t code, uint32_t user) {
    return user == any_input_user && is_down(code);
}

bool write_input_name(uint32_t code, String* string) {
    string->clear();
    uint32_t scan_code;
    if (code >= first_named_key_code && code < first_raw_key_code) {
        scan_code = find_input_scan_code(code);
    } else if (code >= first_raw_key_code && code < first_raw_key_code + scan_code_count) {
        scan_code = code - first_raw_key_code;
    } else {
        return false;
    }
    if (!input.keyboard) {
        return false;
    }
    char16_t name[key_name_length + 1];
    if (!platform::get_input_backend().get_key_name(scan_code, name, key_name_length + 1)) {
        return false;
    }
    string->append_utf16_string(name);
    return true;
}

uint32_t get_local_user_code(uint32_t slot) {
    return slot < local_user_count ? local_user_codes[slot] : 0xFFFFFFFF;
}

uint32_t get_local_user_slot(uint32_t code) {
    const uint32_t slot = code >> 4 & 3;
    return local_user_codes[slot] == code ? slot : 0xFFFFFFFF;
}

void set_input_level(float level) {
    // A value that is not a number keeps nothing of it.
    input.level = std::isnan(level) ? 0.0f : std::fmin(std::fmax(level, 0.0f), 1.0f);
}

float get_input_level() {
    return input.level;
}

namespace {

ConfigHook input_binding_hook;

// Characters above the basic plane arrive as two halves, as scripts' text
// keeps them.
void handle_typed_key(uint32_t key, uint32_t character) {
    if (character == 0) {
        post_typed_key_message(platform::get_virtual_key(key), 0, true);
    } else if (character >= 0x10000 && character <= 0x10FFFF) {
        const uint32_t offset = character - 0x10000;
        post_typed_key_message(0xFFFFFFFF, 0xD800 + (offset >> 10), true);
        post_typed_key_message(0xFFFFFFFF, 0xDC00 + (offset & 0x3FF), true);
    } else {
        post_typed_key_message(0xFFFFFFFF, character, true);
    }
}

bool create_devices_for_game_window() {
    return create_input_devices(renderer::get_game_window());
}

// Program start: the tables, the configuration hook, and what the window and
// the message pump need of this layer.
struct InputStart {
    InputStart() {
        initialize_input();
        input_binding_hook.set = &parse_input_binding;
        input_binding_hook.dump = &dump_input_bindings;
        get_config_variable_table().register_hook(&input_binding_hook);
        renderer::window_input_hooks.create_input_interface = &create_direct_input;
        renderer::window_input_hooks.create_input_devices = &create_devices_for_game_window;
        renderer::window_input_hooks.release_input_devices = &release_input_devices;
        renderer::window_input_hooks.acquire_input_devices = &acquire_input_devices;
        renderer::window_input_hooks.unacquire_input_devices = &unacquire_input_devices;
        set_typed_key_handler(&handle_typed_key);
    }
};

const InputStart input_start;

}  // namespace

}  // namespace zolt::core

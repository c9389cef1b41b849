#include "zolt/core/input/input_codes.h"

#include "libs/utility/text_conversion.h"

namespace zolt::core {

namespace {

// clang-format off
constexpr const char* gamepad_names[gamepad_code_last + 1] = {
    "key_none", "button_a", "button_b", "button_x", "button_y", "button_left_shoulder", "button_right_shoulder",
    "button_start", "button_back", "button_pad_up", "button_pad_down", "button_pad_left", "button_pad_right",
    "button_pad_up_left", "button_pad_up_right", "button_pad_down_left", "button_pad_down_right",
    "button_left_trigger", "button_right_trigger", "button_left_stick", "button_right_stick",
    "tilt_left_stick_up", "tilt_left_stick_down", "tilt_left_stick_left", "tilt_left_stick_right",
    "tilt_left_stick_up_left", "tilt_left_stick_up_right", "tilt_left_stick_down_left",
    "tilt_left_stick_down_right", "tilt_right_stick_up", "tilt_right_stick_down", "tilt_right_stick_left",
    "tilt_right_stick_right", "tilt_right_stick_up_left", "tilt_right_stick_up_right",
    "tilt_right_stick_down_left", "tilt_right_stick_down_right",
};
// clang-format on

// clang-format off
constexpr const char* mouse_names[mouse_button_code_count] = {
    "mouse_left", "mouse_right", "mouse_middle", "mouse_wheel_up", "mouse_wheel_down",
};
// clang-format on

// A named key: its code is 106 + its row, with its scan code and virtual key.
struct NamedKey {
    const char* name;
    uint16_t scan_code;
    uint16_t virtual_key;
};

// clang-format off
constexpr NamedKey named_keys[] = {
    {"key_0", 0x0B, '0'}, {"key_1", 0x02, '1'}, {"key_2", 0x03, '2'}, {"key_3", 0x04, '3'},
    {"key_4", 0x05, '4'}, {"key_5", 0x06, '5'}, {"key_6", 0x07, '6'}, {"key_7", 0x08, '7'},
    {"key_8", 0x09, '8'}, {"key_9", 0x0A, '9'},
    {"key_a", 0x1E, 'A'}, {"key_b", 0x30, 'B'}, {"key_c", 0x2E, 'C'}, {"key_d", 0x20, 'D'},
    {"key_e", 0x12, 'E'}, {"key_f", 0x21, 'F'}, {"key_g", 0x22, 'G'}, {"key_h", 0x23, 'H'},
    {"key_i", 0x17, 'I'}, {"key_j", 0x24, 'J'}, {"key_k", 0x25, 'K'}, {"key_l", 0x26, 'L'},
    {"key_m", 0x32, 'M'}, {"key_n", 0x31, 'N'}, {"key_o", 0x18, 'O'}, {"key_p", 0x19, 'P'},
    {"key_q", 0x10, 'Q'}, {"key_r", 0x13, 'R'}, {"key_s", 0x1F, 'S'}, {"key_t", 0x14, 'T'},
    {"key_u", 0x16, 'U'}, {"key_v", 0x2F, 'V'}, {"key_w", 0x11, 'W'}, {"key_x", 0x2D, 'X'},
    {"key_y", 0x15, 'Y'}, {"key_z", 0x2C, 'Z'},
    {"key_minus", 0x0C, 189}, {"key_equals", 0x0D, 187}, {"key_backspace", 0x0E, 8}, {"key_tab", 0x0F, 9},
    {"key_left_bracket", 0x1A, 219}, {"key_right_bracket", 0x1B, 221}, {"key_semicolon", 0x27, 186},
    {"key_apostrophe", 0x28, 222}, {"key_grave", 0x29, 192}, {"key_slash", 0x35, 191},
    {"key_backslash", 0x2B, 220}, {"key_comma", 0x33, 188}, {"key_period", 0x34, 190},
    {"key_space", 0x39, 32}, {"key_enter", 0x1C, 13}, {"key_escape", 0x01, 27},
    {"key_left_control", 0x1D, 162}, {"key_right_control", 0x9D, 163}, {"key_left_shift", 0x2A, 160},
    {"key_right_shift", 0x36, 161}, {"key_left_alt", 0x38, 164}, {"key_right_alt", 0xB8, 165},
    {"key_left_window", 0xDB, 91}, {"key_right_window", 0xDC, 92}, {"key_app_menu", 0xDD, 93},
    {"key_caps_lock", 0x3A, 20}, {"key_num_lock", 0x45, 144}, {"key_scroll_lock", 0x46, 145},
    {"key_f1", 0x3B, 112}, {"key_f2", 0x3C, 113}, {"key_f3", 0x3D, 114}, {"key_f4", 0x3E, 115},
    {"key_f5", 0x3F, 116}, {"key_f6", 0x40, 117}, {"key_f7", 0x41, 118}, {"key_f8", 0x42, 119},
    {"key_f9", 0x43, 120}, {"key_f10", 0x44, 121}, {"key_f11", 0x57, 122}, {"key_f12", 0x58, 123},
    {"key_numpad_slash", 0xB5, 111}, {"key_numpad_asterisk", 0x37, 106}, {"key_numpad_minus", 0x4A, 109},
    {"key_numpad_plus", 0x4E, 107}, {"key_numpad_enter", 0x9C, 108},
    {"key_numpad_1", 0x4F, 97}, {"key_numpad_2", 0x50, 98}, {"key_numpad_3", 0x51, 99},
    {"key_numpad_4", 0x4B, 100}, {"key_numpad_5", 0x4C, 101}, {"key_numpad_6", 0x4D, 102},
    {"key_numpad_7", 0x47, 103}, {"key_numpad_8", 0x48, 104}, {"key_numpad_9", 0x49, 105},
    {"key_numpad_0", 0x52, 96}, {"key_numpad_delete", 0x53, 110},
    {"key_print_screen", 0xB7, 42}, {"key_pause", 0xC5, 19}, {"key_insert", 0xD2, 45},
    {"key_delete", 0xD3, 46}, {"key_home", 0xC7, 36}, {"key_end", 0xCF, 35}, {"key_pageup", 0xC9, 33},
    {"key_pagedown", 0xD1, 34}, {"key_left", 0xCB, 37}, {"key_right", 0xCD, 39}, {"key_up", 0xC8, 38},
    {"key_down", 0xD0, 40},
};
// clang-format on
static_assert(sizeof named_keys / sizeof named_keys[0] == first_raw_key_code - first_named_key_code);

// clang-format off
constexpr const char* action_names[] = {
    "forward", "backward", "left", "right", "jump", "sprint", "speed_up", "speed_down", "crouch",
    "toggle_crouch", "zoom_in", "zoom_out", "fire", "secondary_fire", "reload", "holster", "weapon_0",
    "weapon_1", "weapon_2", "weapon_3", "weapon_4", "weapon_5", "weapon_6", "weapon_7", "weapon_8", "weapon_9",
    "next_weapon", "previous_weapon", "use", "activate", "teleport", "quick_save", "quick_load", "screenshot",
    "chat", "team_chat", "menu_up", "menu_down", "menu_left", "menu_right", "menu_previous", "menu_next",
    "menu_open", "menu_close", "menu_select", "menu_cancel",
};
// clang-format on
constexpr uint32_t action_name_count = sizeof action_names / sizeof action_names[0];
static_assert(action_name_count == 46);

// The generic shift, control and alt keys count as the left ones.
constexpr uint16_t generic_virtual_keys[][2] = {{16, 160}, {17, 158}, {18, 162}};

uint16_t scan_code_table[scan_code_count];
uint16_t virtual_key_table[virtual_key_count];

}  // namespace

void build_input_tables() {
    for (uint32_t scan_code = 0; scan_code < scan_code_count; ++scan_code) {
        scan_code_table[scan_code] = static_cast<uint16_t>(first_raw_key_code + scan_code);
    }
    for (uint16_t& entry : virtual_key_table) {
        entry = 0;
    }
    for (uint32_t row = 0; row < first_raw_key_code - first_named_key_code; ++row) {
        const uint16_t code = static_cast<uint16_t>(first_named_key_code + row);
        scan_code_table[named_keys[row].scan_code] = code;
        virtual_key_table[named_keys[row].virtual_key] = code;
    }
    for (const auto& generic : generic_virtual_keys) {
        virtual_key_table[generic[0]] = generic[1];
    }
}

uint32_t find_input_code(const char* name) {
    for (uint32_t code = 0; code < unknown_input_code; ++code) {
        const char* const candidate = get_input_name(code);
        if (candidate != nullptr && equals_ignoring_case(candidate, name)) {
            return code;
        }
    }
    return unknown_input_code;
}

const char* get_input_name(uint32_t code) {
    if (code <= gamepad_code_last) {
        return gamepad_names[code];
    }
    if (code >= mouse_left_code && code < mouse_left_code + mouse_button_code_count) {
        return mouse_names[code - mouse_left_code];
    }
    if (code >= first_named_key_code && code < first_raw_key_code) {
        return named_keys[code - first_named_key_code].name;
    }
    return nullptr;
}

uint32_t find_action(const char* name) {
    for (uint32_t action = 0; action < action_name_count; ++action) {
        if (equals_ignoring_case(action_names[action], name)) {
            return action;
        }
    }
    return action_count;
}

const char* get_action_name(uint32_t action) {
    return action < action_name_count ? action_names[action] : nullptr;
}

uint32_t get_scan_code_input(uint32_t scan_code) {
    return scan_code < scan_code_count ? scan_code_table[scan_code] : 0;
}

uint32_t find_input_scan_code(uint32_t code) {
    for (uint32_t scan_code = 0; scan_code < scan_code_count; ++scan_code) {
        if (scan_code_table[scan_code] == code) {
            return scan_code;
        }
    }
    return scan_code_count;
}

uint32_t get_virtual_key_input(uint32_t virtual_key) {
    return virtual_key < virtual_key_count ? virtual_key_table[virtual_key] : 0;
}

}  // namespace zolt::core

#include <cstring>

#include "libs/utility/string_buffer.h"
#include "libs/utility/text_conversion.h"
#include "zolt/core/input/input.h"
#include "zolt/core/input/input_codes.h"

namespace zolt::core {

namespace {

uint32_t bindings[action_count][binding_slot_count];

constexpr char raw_key_prefix[] = "key_x";
constexpr uint32_t raw_key_prefix_length = sizeof raw_key_prefix - 1;

bool starts_with_raw_key_prefix(const char* name) {
    for (uint32_t index = 0; index < raw_key_prefix_length; ++index) {
        char letter = name[index];
        if (letter >= 'A' && letter <= 'Z') {
            letter = static_cast<char>(letter - 'A' + 'a');
        }
        if (letter != raw_key_prefix[index]) {
            return false;
        }
    }
    return true;
}

}  // namespace

void clear_input_bindings() {
    std::memset(bindings, 0, sizeof bindings);
}

void add_action_binding(uint32_t (&slots)[binding_slot_count], uint32_t code) {
    if (code == 0) {
        for (uint32_t& slot : slots) {
            slot = 0;
        }
        return;
    }
    for (uint32_t& slot : slots) {
        if (slot == 0) {
            slot = code;
            return;
        }
        if (slot == code) {
            return;
        }
    }
    for (uint32_t index = 0; index + 1 < binding_slot_count; ++index) {
        slots[index] = slots[index + 1];
    }
    slots[binding_slot_count - 1] = code;
}

uint32_t get_action_binding(uint32_t action, uint32_t slot) {
    return action < action_count && slot < binding_slot_count ? bindings[action][slot] : 0;
}

uint32_t get_action_binding_for_user(uint32_t action_code, uint32_t slot, uint32_t user) {
    if (user != any_input_user) {
        return 0;
    }
    return get_action_binding(action_code - first_action_code, slot);
}

void add_action_binding_for_user(uint32_t action_code, uint32_t code, uint32_t user) {
    const uint32_t action = action_code - first_action_code;
    // A code beyond the down set could never be down.
    if (user != any_input_user || action >= action_count || code >= input_code_limit) {
        return;
    }
    add_action_binding(bindings[action], code);
}

uint32_t parse_input_binding(const char* name, const char* value) {
    uint32_t code = find_input_code(name);
    if (code == unknown_input_code) {
        if (!starts_with_raw_key_prefix(name)) {
            return 0;
        }
        uint32_t scan_code = 0;
        if (!parse_unsigned(name + raw_key_prefix_length, &scan_code) || scan_code >= scan_code_count) {
            return 2;
        }
        code = first_raw_key_code + scan_code;
    }
    if (value == nullptr) {
        return 2;
    }
    uint32_t action = find_action(value);
    if (action == action_count && (!parse_unsigned(value, &action) || action >= action_count)) {
        return 2;
    }
    if (code >= 1 && code <= gamepad_code_last) {
        return 1;
    }
    add_action_binding(bindings[action], code);
    return 1;
}

void dump_input_bindings(StringBuffer& buffer) {
    for (uint32_t action = 0; action < action_count; ++action) {
        for (uint32_t slot = 0; slot < binding_slot_count; ++slot) {
            const uint32_t code = bindings[action][slot];
            if (code == 0) {
                continue;
            }
            const char* const name = get_input_name(code);
            if (name != nullptr) {
                buffer.append(name);
            } else if (code >= first_raw_key_code && code < first_raw_key_code + scan_code_count) {
                buffer.append_format("key_x%u", code - first_raw_key_code);
            } else {
                // No name would read back as this code (actions, unknown).
                continue;
            }
            buffer.append(" = ");
            if (const char* const action_name = get_action_name(action)) {
                buffer.append(action_name);
            } else {
                buffer.append_format("%u", action);
            }
            buffer.append_line_break();
        }
    }
}

}  // namespace zolt::core

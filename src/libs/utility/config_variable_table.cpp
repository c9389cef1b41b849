#include "libs/utility/config_variable_table.h"

#include <cstring>

#include "libs/utility/fatal_error.h"
#include "libs/utility/text_conversion.h"

namespace zolt {
namespace {

template <typename T>
T load_value(const void* address) {
    T value;
    std::memcpy(&value, address, sizeof value);
    return value;
}

// Out of range when a range applies and the value is not inside it; a NaN is
// never inside.
template <typename T>
bool is_out_of_range(const ConfigVariableInfo& info, T value) {
    const T minimum = load_value<T>(info.minimum);
    const T maximum = load_value<T>(info.maximum);
    return minimum < maximum && !(value >= minimum && value <= maximum);
}

[[noreturn]] void halt_for_missing_variable(uint32_t number) {
    ZOLT_PANIC("Attempting to set config variable %u which does not exist in current build", number);
}

}  // namespace

void ConfigVariableTable::declare_variable(uint32_t number, const ConfigVariableInfo& info) {
    if (number == 0 || number >= slot_count || slots_[number].type != ConfigVariableType::None) {
        ZOLT_PANIC("config variable %u of %s declared twice or outside the table", number,
                   info.name != nullptr ? info.name : "(none)");
    }
    if (info.name == nullptr || info.value == nullptr || info.type == ConfigVariableType::None) {
        ZOLT_PANIC("config variable %u declared without name, storage or type", number);
    }
    slots_[number] = info;
}

const ConfigVariableInfo* ConfigVariableTable::get_variable(uint32_t number) const {
    if (number == 0 || number >= slot_count || slots_[number].type == ConfigVariableType::None) {
        return nullptr;
    }
    return &slots_[number];
}

void ConfigVariableTable::set_variable(uint32_t number, const void* value) {
    const ConfigVariableInfo* info = get_variable(number);
    if (info == nullptr) {
        halt_for_missing_variable(number);
    }
    switch (info->type) {
    case ConfigVariableType::Bool:
        *static_cast<bool*>(info->value) = load_value<uint8_t>(value) != 0;
        return;
    case ConfigVariableType::Unsigned:
        if (!is_out_of_range(*info, load_value<uint32_t>(value))) {
            std::memcpy(info->value, value, sizeof(uint32_t));
        }
        return;
    case ConfigVariableType::Signed:
        if (!is_out_of_range(*info, load_value<int32_t>(value))) {
            std::memcpy(info->value, value, sizeof(int32_t));
        }
        return;
    case ConfigVariableType::Float:
        if (!is_out_of_range(*info, load_value<float>(value))) {
            std::memcpy(info->value, value, sizeof(float));
        }
        return;
    case ConfigVariableType::String:
        std::memcpy(info->value, value, sizeof(const char*));
        return;
    default:
        ZOLT_PANIC("unknown variable type %u", static_cast<uint32_t>(info->type));
    }
}

uint32_t ConfigVariableTable::find_variable(const char* name) const {
    for (uint32_t number = 1; number < slot_count; ++number) {
        if (slots_[number].name != nullptr && equals_ignoring_case(slots_[number].name, name)) {
            return number;
        }
    }
    return 0;
}

bool ConfigVariableTable::has_default_value(uint32_t number) const {
    const ConfigVariableInfo* info = get_variable(number);
    if (info == nullptr) {
        halt_for_missing_variable(number);
    }
    switch (info->type) {
    case ConfigVariableType::Bool:
        return load_value<bool>(info->value) == load_value<bool>(info->default_value);
    case ConfigVariableType::Unsigned:
    case ConfigVariableType::Signed:
        return load_value<uint32_t>(info->value) == load_value<uint32_t>(info->default_value);
    case ConfigVariableType::Float:
        return load_value<float>(info->value) == load_value<float>(info->default_value);
    case ConfigVariableType::String: {
        const char* value = load_value<const char*>(info->value);
        const char* default_value = load_value<const char*>(info->default_value);
        if (value == default_value) {
            return true;
        }
        return value != nullptr && default_value != nullptr && std::strcmp(value, default_value) == 0;
    }
    default:
        ZOLT_PANIC("unknown variable type %u of variable %s", static_cast<uint32_t>(info->type), info->name);
    }
}

const char* ConfigVariableTable::copy_string(const char* name, const char* text) {
    const size_t size = std::strlen(text) + 1;
    void* copy = size <= string_pool_size ? string_pool_.allocate(static_cast<uint32_t>(size)) : nullptr;
    if (copy == nullptr) {
        report_message(MessageKind::Warning, nullptr, nullptr, 0,
                       "config variable %s not set: the configuration string pool is full", name);
        return nullptr;
    }
    std::memcpy(copy, text, size);
    return static_cast<const char*>(copy);
}

void ConfigVariableTable::set_variable_from_text(const char* name, const char* value, bool keep_unknown_key) {
    bool handled = false;
    for_each_hook([&](ConfigHook* hook) {
        if (handled || hook->set == nullptr) {
            return;
        }
        const uint32_t result = hook->set(name, value);
        if (result == config_hook_handled || result == config_hook_handled_too) {
            handled = true;
        } else if (result != config_hook_not_handled) {
            ZOLT_PANIC("unknown config result %u", result);
        }
    });
    if (handled) {
        return;
    }
    const uint32_t number = find_variable(name);
    if (number == 0) {
        if (keep_unknown_key) {
            unknown_keys_.set(name, value);
        }
        return;
    }
    switch (slots_[number].type) {
    case ConfigVariableType::Bool:
        if (bool parsed; parse_bool(value, &parsed)) {
            set_variable(number, &parsed);
        }
        return;
    case ConfigVariableType::Unsigned:
        if (uint32_t parsed; parse_unsigned(value, &parsed)) {
            set_variable(number, &parsed);
        }
        return;
    case ConfigVariableType::Signed:
        if (int32_t parsed; parse_int(value, &parsed)) {
            set_variable(number, &parsed);
        }
        return;
    case ConfigVariableType::Float:
        if (float parsed; parse_float(value, &parsed)) {
            set_variable(number, &parsed);
        }
        return;
    case ConfigVariableType::String:
        if (const char* copy = copy_string(slots_[number].name, value); copy != nullptr) {
            set_variable(number, &copy);
        }
        return;
    default:
        ZOLT_PANIC("unknown variable type %u", static_cast<uint32_t>(slots_[number].type));
    }
}

void ConfigVariableTable::register_hook(ConfigHook* hook) {
    if (first_hook_ == nullptr) {
        hook->next = hook->previous = hook;
        first_hook_ = hook;
        return;
    }
    ConfigHook* last = first_hook_->previous;
    hook->previous = last;
    hook->next = first_hook_;
    last->next = hook;
    first_hook_->previous = hook;
}

void ConfigVariableTable::unregister_hook(ConfigHook* hook) {
    if (hook->next == nullptr) {
        return;
    }
    if (hook->next == hook) {
        first_hook_ = nullptr;
    } else {
        hook->previous->next = hook->next;
        hook->next->previous = hook->previous;
        if (first_hook_ == hook) {
            first_hook_ = hook->next;
        }
    }
    hook->next = hook->previous = nullptr;
}

ConfigVariableTable& get_config_variable_table() {
    // Never destroyed, so that code running at exit still finds it.
    static ConfigVariableTable* table = new ConfigVariableTable;
    return *table;
}

void set_config_variable(uint32_t number, const void* value) {
    get_config_variable_table().set_variable(number, value);
}

uint32_t find_config_variable(const char* name) {
    return get_config_variable_table().find_variable(name);
}

bool has_config_variable_default_value(uint32_t number) {
    return get_config_variable_table().has_default_value(number);
}

}  // namespace zolt

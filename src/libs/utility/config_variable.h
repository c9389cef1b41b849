#pragma once
// One typed configuration variable as the table keeps it, and the hooks that
// take settings the table does not hold (the key bindings).
#include <cstdint>

namespace zolt {

class StringBuffer;

enum class ConfigVariableType : uint32_t {
    None = 0,
    Bool = 1,      // one byte, 0 or 1
    Unsigned = 2,  // uint32_t
    Signed = 3,    // int32_t
    Float = 4,     // float
    String = 5,    // const char*, NUL-terminated, or null
};

// Whether the configuration file gets the variable, and whether it belongs
// to the player's profile.
enum ConfigVariableFlags : uint32_t {
    config_written_when_changed = 0,
    config_always_written = 1,
    config_never_written = 2,
    config_profile_variable = 4,
};

struct ConfigVariableInfo {
    ConfigVariableType type = ConfigVariableType::None;
    // The storage, owned by the declaring module.
    void* value = nullptr;
    // Point at values of the variable's type; a string's default points at
    // its default text pointer. A range applies only when minimum < maximum.
    const void* default_value = nullptr;
    const void* minimum = nullptr;
    const void* maximum = nullptr;
    uint32_t flags = config_written_when_changed;
    const char* name = nullptr;
};

// Answers of a hook's set: 0 leaves the setting to the table, 1 and 2 take it.
constexpr uint32_t config_hook_not_handled = 0;
constexpr uint32_t config_hook_handled = 1;
constexpr uint32_t config_hook_handled_too = 2;

// A record in the table's ring of hooks. The set hook hears every setting by
// name before the table; the dump hook adds its lines after the variables
// when the configuration file is written. Either may be null.
struct ConfigHook {
    ConfigHook* next = nullptr;
    ConfigHook* previous = nullptr;
    uint32_t (*set)(const char* name, const char* value) = nullptr;
    void (*dump)(StringBuffer& buffer) = nullptr;
};

}  // namespace zolt

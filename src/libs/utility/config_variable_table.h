#pragma once
// The table of typed configuration variables: 129 slots, slot 0 unused, a
// variable's number being its slot. Modules declare their rows during static
// initialisation (config_variable_row.h) and read their storage directly.
// Besides the rows the table keeps the string pool that texts set by name are
// copied into (never given back), the ring of hooks and the unknown keys of
// the configuration file. Main thread only, after static initialisation.
#include <cstdint>

#include "libs/utility/config_unknown_keys.h"
#include "libs/utility/config_variable.h"
#include "libs/utility/variable_memory_pool.h"

namespace zolt {

class ConfigVariableTable {
public:
    static constexpr uint32_t slot_count = 129;
    // Room for several long paths.
    static constexpr uint32_t string_pool_size = 16384;

    ConfigVariableTable() = default;
    ConfigVariableTable(const ConfigVariableTable&) = delete;
    ConfigVariableTable& operator=(const ConfigVariableTable&) = delete;

    // A number outside 1-128, a slot already taken or a row without a name or
    // type is fatal.
    void declare_variable(uint32_t number, const ConfigVariableInfo& info);
    // Null for numbers outside 1-128 and for empty slots.
    const ConfigVariableInfo* get_variable(uint32_t number) const;

    // Stores the value, which points at the variable's type; a value outside
    // the range is ignored, never clamped. An empty slot is fatal.
    void set_variable(uint32_t number, const void* value);
    // The number of the first variable of that name (letter case aside), or 0.
    uint32_t find_variable(const char* name) const;
    bool has_default_value(uint32_t number) const;

    // Offers the setting to the hooks, then parses the text by the variable's
    // type and stores it; a name nobody takes is ignored, or kept as an
    // unknown key when keep_unknown_key is set; a text that does not parse is
    // ignored.
    void set_variable_from_text(const char* name, const char* value, bool keep_unknown_key);

    // Hooks are offered settings in the order they were registered.
    void register_hook(ConfigHook* hook);
    void unregister_hook(ConfigHook* hook);
    template <typename Visit>
    void for_each_hook(Visit&& visit) const {
        if (ConfigHook* hook = first_hook_; hook != nullptr) {
            do {
                ConfigHook* next = hook->next;
                visit(hook);
                hook = next;
            } while (hook != first_hook_ && first_hook_ != nullptr);
        }
    }

    ConfigUnknownKeys& get_unknown_keys() { return unknown_keys_; }
    const ConfigUnknownKeys& get_unknown_keys() const { return unknown_keys_; }

private:
    // The text's copy in the string pool, or null with a warning when the
    // pool is full.
    const char* copy_string(const char* name, const char* text);

    ConfigVariableInfo slots_[slot_count];
    ConfigHook* first_hook_ = nullptr;
    VariableMemoryPool<string_pool_size> string_pool_;
    ConfigUnknownKeys unknown_keys_;
};

// The program's table, made on first use so that rows of every module can be
// declared during static initialisation.
ConfigVariableTable& get_config_variable_table();

void set_config_variable(uint32_t number, const void* value);
uint32_t find_config_variable(const char* name);
bool has_config_variable_default_value(uint32_t number);

}  // namespace zolt

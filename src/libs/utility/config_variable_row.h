#pragma once
// The declaration of one configuration variable by the module that owns it,
// as a namespace-scope object next to the variable's storage:
//
//     uint32_t multithreading_mode = 2;
//     const ConfigVariableRow<uint32_t> multithreading_mode_row(
//         7, "multithreading_mode", &multithreading_mode, 2, 0, 2, config_written_when_changed);
//
// The row keeps the default and the range the table points at, so it lives
// as long as the table; declaring it puts the default into the storage.
#include <cstdint>

#include "libs/utility/config_variable_table.h"

namespace zolt {

template <typename T>
struct ConfigVariableTypeOf;
template <>
struct ConfigVariableTypeOf<bool> {
    static constexpr ConfigVariableType type = ConfigVariableType::Bool;
};
template <>
struct ConfigVariableTypeOf<uint32_t> {
    static constexpr ConfigVariableType type = ConfigVariableType::Unsigned;
};
template <>
struct ConfigVariableTypeOf<int32_t> {
    static constexpr ConfigVariableType type = ConfigVariableType::Signed;
};
template <>
struct ConfigVariableTypeOf<float> {
    static constexpr ConfigVariableType type = ConfigVariableType::Float;
};
template <>
struct ConfigVariableTypeOf<const char*> {
    static constexpr ConfigVariableType type = ConfigVariableType::String;
};

template <typename T>
class ConfigVariableRow {
public:
    // A range applies only when minimum < maximum.
    ConfigVariableRow(ConfigVariableTable& table, uint32_t number, const char* name, T* value, T default_value,
                      T minimum, T maximum, uint32_t flags)
        : default_(default_value), minimum_(minimum), maximum_(maximum) {
        *value = default_value;
        ConfigVariableInfo info;
        info.type = ConfigVariableTypeOf<T>::type;
        info.value = value;
        info.default_value = &default_;
        info.minimum = &minimum_;
        info.maximum = &maximum_;
        info.flags = flags;
        info.name = name;
        table.declare_variable(number, info);
    }
    ConfigVariableRow(uint32_t number, const char* name, T* value, T default_value, T minimum, T maximum,
                      uint32_t flags)
        : ConfigVariableRow(get_config_variable_table(), number, name, value, default_value, minimum, maximum, flags) {}
    // Without a range, as strings are.
    ConfigVariableRow(ConfigVariableTable& table, uint32_t number, const char* name, T* value, T default_value,
                      uint32_t flags)
        : ConfigVariableRow(table, number, name, value, default_value, T{}, T{}, flags) {}
    ConfigVariableRow(uint32_t number, const char* name, T* value, T default_value, uint32_t flags)
        : ConfigVariableRow(get_config_variable_table(), number, name, value, default_value, T{}, T{}, flags) {}

    ConfigVariableRow(const ConfigVariableRow&) = delete;
    ConfigVariableRow& operator=(const ConfigVariableRow&) = delete;

private:
    T default_;
    T minimum_;
    T maximum_;
};

}  // namespace zolt

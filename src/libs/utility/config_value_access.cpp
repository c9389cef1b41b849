#include "libs/utility/config_value_access.h"

#include <cmath>

namespace zolt {
namespace {

// A number of any of the four numeric types, as a builtin gives or takes it.
struct Number {
    enum class Kind : uint32_t { Bool, Unsigned, Signed, Float } kind;
    uint32_t bits = 0;
    float real = 0.0f;
};

Number make_bool(bool value) {
    return {Number::Kind::Bool, value ? 1u : 0u, 0.0f};
}
Number make_unsigned(uint32_t value) {
    return {Number::Kind::Unsigned, value, 0.0f};
}
Number make_signed(int32_t value) {
    return {Number::Kind::Signed, static_cast<uint32_t>(value), 0.0f};
}
Number make_float(float value) {
    return {Number::Kind::Float, 0, value};
}

bool to_bool(const Number& number) {
    return number.kind == Number::Kind::Float ? number.real != 0.0f : number.bits != 0;
}

// False when a float's truncation lies outside [minimum, maximum].
bool to_integer_bits(const Number& number, double minimum, double maximum, uint32_t* bits) {
    if (number.kind != Number::Kind::Float) {
        *bits = number.bits;
        return true;
    }
    const double truncated = std::trunc(static_cast<double>(number.real));
    if (!(truncated >= minimum && truncated <= maximum)) {
        return false;
    }
    *bits = truncated < 0.0 ? static_cast<uint32_t>(static_cast<int32_t>(truncated)) : static_cast<uint32_t>(truncated);
    return true;
}

float to_float(const Number& number) {
    switch (number.kind) {
    case Number::Kind::Float:
        return number.real;
    case Number::Kind::Signed:
        return static_cast<float>(static_cast<int32_t>(number.bits));
    default:
        return static_cast<float>(number.bits);
    }
}

void set_from_number(ConfigVariableTable& table, uint32_t number, const Number& value) {
    const ConfigVariableInfo* info = table.get_variable(number);
    if (info == nullptr) {
        // The table gives the fatal error of an empty slot.
        table.set_variable(number, &value.bits);
        return;
    }
    switch (info->type) {
    case ConfigVariableType::Bool: {
        const bool converted = to_bool(value);
        table.set_variable(number, &converted);
        return;
    }
    case ConfigVariableType::Unsigned:
        if (uint32_t bits; to_integer_bits(value, 0.0, 4294967295.0, &bits)) {
            table.set_variable(number, &bits);
        }
        return;
    case ConfigVariableType::Signed:
        if (uint32_t bits; to_integer_bits(value, -2147483648.0, 2147483647.0, &bits)) {
            table.set_variable(number, &bits);
        }
        return;
    case ConfigVariableType::Float: {
        const float converted = to_float(value);
        table.set_variable(number, &converted);
        return;
    }
    default:
        return;
    }
}

// The variable's value as a number; a string or a missing variable as none.
bool get_number(const ConfigVariableTable& table, uint32_t number, Number* value) {
    const ConfigVariableInfo* info = table.get_variable(number);
    if (info == nullptr) {
        return false;
    }
    switch (info->type) {
    case ConfigVariableType::Bool:
        *value = make_bool(*static_cast<const bool*>(info->value));
        return true;
    case ConfigVariableType::Unsigned:
        *value = make_unsigned(*static_cast<const uint32_t*>(info->value));
        return true;
    case ConfigVariableType::Signed:
        *value = make_signed(*static_cast<const int32_t*>(info->value));
        return true;
    case ConfigVariableType::Float:
        *value = make_float(*static_cast<const float*>(info->value));
        return true;
    default:
        return false;
    }
}

}  // namespace

void set_config_variable_from_bool(ConfigVariableTable& table, uint32_t number, bool value) {
    set_from_number(table, number, make_bool(value));
}

void set_config_variable_from_unsigned(ConfigVariableTable& table, uint32_t number, uint32_t value) {
    set_from_number(table, number, make_unsigned(value));
}

void set_config_variable_from_signed(ConfigVariableTable& table, uint32_t number, int32_t value) {
    set_from_number(table, number, make_signed(value));
}

void set_config_variable_from_float(ConfigVariableTable& table, uint32_t number, float value) {
    set_from_number(table, number, make_float(value));
}

bool get_config_variable_as_bool(const ConfigVariableTable& table, uint32_t number) {
    Number value{};
    return get_number(table, number, &value) && to_bool(value);
}

uint32_t get_config_variable_as_unsigned(const ConfigVariableTable& table, uint32_t number) {
    Number value{};
    uint32_t bits = 0;
    return get_number(table, number, &value) && to_integer_bits(value, 0.0, 4294967295.0, &bits) ? bits : 0;
}

int32_t get_config_variable_as_signed(const ConfigVariableTable& table, uint32_t number) {
    Number value{};
    uint32_t bits = 0;
    if (!get_number(table, number, &value) || !to_integer_bits(value, -2147483648.0, 2147483647.0, &bits)) {
        return 0;
    }
    return static_cast<int32_t>(bits);
}

float get_config_variable_as_float(const ConfigVariableTable& table, uint32_t number) {
    Number value{};
    return get_number(table, number, &value) ? to_float(value) : 0.0f;
}

}  // namespace zolt

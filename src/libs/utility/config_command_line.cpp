#include "libs/utility/config_command_line.h"

#include <cstring>
#include <string>

namespace zolt {
namespace {

const char* skip_dashes(const char* argument) {
    for (int dash = 0; dash < 2 && *argument == '-'; ++dash) {
        ++argument;
    }
    return argument;
}

bool is_help_request(const char* name) {
    return std::strcmp(name, "h") == 0 || std::strcmp(name, "?") == 0;
}

// An argument that starts with a dash or holds '=' and names a known variable
// (or help) is a setting of its own, not a value; anything else may be one,
// such as a negative number or a path with '=' in it.
bool is_setting(const ConfigVariableTable& table, const char* argument) {
    const char* equals_sign = std::strchr(argument, '=');
    if (argument[0] != '-' && equals_sign == nullptr) {
        return false;
    }
    const char* name = skip_dashes(argument);
    if (equals_sign == nullptr) {
        return is_help_request(name) || table.find_variable(name) != 0;
    }
    return table.find_variable(std::string(name, equals_sign).c_str()) != 0;
}

}  // namespace

void parse_config_command_line(ConfigVariableTable& table, int argument_count, const char* const* arguments) {
    for (int index = 0; index < argument_count; ++index) {
        const char* name = skip_dashes(arguments[index]);
        const char* value = "";
        if (const char* equals_sign = std::strchr(name, '='); equals_sign != nullptr) {
            table.set_variable_from_text(std::string(name, equals_sign).c_str(), equals_sign + 1, false);
            continue;
        }
        if (index + 1 < argument_count && !is_setting(table, arguments[index + 1])) {
            value = arguments[++index];
        }
        if (!is_help_request(name)) {
            table.set_variable_from_text(name, value, false);
        }
    }
}

void parse_config_command_line(int argument_count, const char* const* arguments) {
    parse_config_command_line(get_config_variable_table(), argument_count, arguments);
}

}  // namespace zolt

#include <cinttypes>
#include <cstring>

#include "libs/utility/config_text.h"
#include "libs/utility/message_handler.h"

namespace zolt {
namespace {

enum class Quoting : uint32_t { Bare, DoubleQuotes, Apostrophes, Refused };

// Whether the reader gives the text back unchanged when it stands bare where
// a name (or a value, after the equals sign) is read.
bool reads_back_bare(const char* text, bool is_name) {
    const size_t length = std::strlen(text);
    if (length == 0 || text[0] == '"' || text[0] == '\'' || text[0] == '#' || text[length - 1] == ';') {
        return false;
    }
    if (std::strpbrk(text, " \t\r\n") != nullptr) {
        return false;
    }
    return !is_name || std::strchr(text, '=') == nullptr;
}

Quoting choose_quoting(const char* text, bool is_name) {
    if (std::strpbrk(text, "\r\n") != nullptr) {
        return Quoting::Refused;
    }
    const bool has_double_quote = std::strchr(text, '"') != nullptr;
    const bool has_apostrophe = std::strchr(text, '\'') != nullptr;
    if (has_double_quote) {
        if (!has_apostrophe) {
            return Quoting::Apostrophes;
        }
        return reads_back_bare(text, is_name) ? Quoting::Bare : Quoting::Refused;
    }
    if (has_apostrophe || !reads_back_bare(text, is_name)) {
        return Quoting::DoubleQuotes;
    }
    return Quoting::Bare;
}

void append_quoted(StringBuffer& buffer, const char* text, Quoting quoting) {
    const char quote = quoting == Quoting::Apostrophes ? '\'' : '"';
    if (quoting != Quoting::Bare) {
        buffer.append_char(quote);
    }
    buffer.append(text);
    if (quoting != Quoting::Bare) {
        buffer.append_char(quote);
    }
}

// One line of a text setting; false when no quoting reads it back.
bool append_text_setting(StringBuffer& buffer, const char* name, const char* value) {
    const Quoting name_quoting = choose_quoting(name, true);
    const Quoting value_quoting = choose_quoting(value, false);
    if (name_quoting == Quoting::Refused || value_quoting == Quoting::Refused) {
        report_message(MessageKind::Warning, nullptr, nullptr, 0,
                       "config setting %.64s is not written: its text holds both quote characters or a line break",
                       name);
        return false;
    }
    append_quoted(buffer, name, name_quoting);
    buffer.append(" = ");
    append_quoted(buffer, value, value_quoting);
    buffer.append_line_break();
    return true;
}

bool is_accepted(const ConfigVariableTable& table, uint32_t number, const ConfigVariableInfo& info,
                 ConfigDumpFilter filter) {
    if (filter == ConfigDumpFilter::Profile) {
        return (info.flags & config_profile_variable) != 0;
    }
    if ((info.flags & config_never_written) != 0) {
        return false;
    }
    return (info.flags & config_always_written) != 0 || !table.has_default_value(number);
}

void append_variable(StringBuffer& buffer, const ConfigVariableInfo& info) {
    if (info.type == ConfigVariableType::String) {
        // A variable without a text has nothing to write that reads back.
        if (const char* value = *static_cast<const char* const*>(info.value); value != nullptr) {
            append_text_setting(buffer, info.name, value);
        }
        return;
    }
    buffer.append(info.name);
    buffer.append(" = ");
    switch (info.type) {
    case ConfigVariableType::Bool:
        buffer.append_bool(*static_cast<const bool*>(info.value));
        break;
    case ConfigVariableType::Unsigned:
        buffer.append_format("%" PRIu32, *static_cast<const uint32_t*>(info.value));
        break;
    case ConfigVariableType::Signed:
        buffer.append_format("%" PRId32, *static_cast<const int32_t*>(info.value));
        break;
    default:
        buffer.append_format("%.10g", static_cast<double>(*static_cast<const float*>(info.value)));
        break;
    }
    buffer.append_line_break();
}

}  // namespace

void dump_config_variables_to_buffer(const ConfigVariableTable& table, StringBuffer& buffer, ConfigDumpFilter filter,
                                     bool with_hooks) {
    for (uint32_t number = 1; number < ConfigVariableTable::slot_count; ++number) {
        const ConfigVariableInfo* info = table.get_variable(number);
        if (info != nullptr && is_accepted(table, number, *info, filter)) {
            append_variable(buffer, *info);
        }
    }
    if (with_hooks) {
        table.for_each_hook([&buffer](ConfigHook* hook) {
            if (hook->dump != nullptr) {
                hook->dump(buffer);
            }
        });
    }
    if (filter == ConfigDumpFilter::File) {
        table.get_unknown_keys().for_each(
            [&buffer](const char* name, const char* value) { append_text_setting(buffer, name, value); });
    }
}

void dump_config_variables_to_buffer(StringBuffer& buffer, ConfigDumpFilter filter, bool with_hooks) {
    dump_config_variables_to_buffer(get_config_variable_table(), buffer, filter, with_hooks);
}

}  // namespace zolt

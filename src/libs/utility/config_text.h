#pragma once
// The text form of the configuration: reading settings from configuration
// text (the file, a profile) and writing the table out as such text. Main
// thread only.
//
// Reading: lines end at CR, LF or NUL; blanks and tabs separate tokens, which
// may be quoted with double quotes or apostrophes; an unquoted token starting
// with '#' ends the line. A setting is a name, an optional "=", a value and
// an optional ";", as separate tokens or spread over lines. An unquoted
// name=value token is split at its first '=', and a ';' glued to the end of
// an unquoted value ends the setting. A line that cannot continue a setting
// left open by the lines before it starts afresh, so one odd line never
// shifts the pairing of the lines after it.
//
// Writing: one line per variable, name " = " value CR LF. A text value is
// bare when it reads back bare, in apostrophes when it holds a double quote,
// else in double quotes; a value that no quoting reads back (both quote
// characters, a line break) is left out with a warning.
#include <cstdint>

#include "libs/utility/config_variable_table.h"
#include "libs/utility/string_buffer.h"

namespace zolt {

// Parses the length bytes at text (followed by a NUL), changing them in
// place. Names that nobody takes are kept as unknown keys when
// keep_unknown_keys is set (the configuration file), else ignored.
void parse_config_text(ConfigVariableTable& table, char* text, uint32_t length, bool keep_unknown_keys);
// The program's table; unknown names are ignored.
void parse_config_text(char* text);

enum class ConfigDumpFilter : uint32_t {
    // Flag 2 never, flag 1 always, any other variable when it differs from
    // its default; then the unknown keys.
    File,
    // Variables with flag 4.
    Profile,
};

// With hooks, every hook's dump adds its lines after the variables.
void dump_config_variables_to_buffer(const ConfigVariableTable& table, StringBuffer& buffer, ConfigDumpFilter filter,
                                     bool with_hooks);
void dump_config_variables_to_buffer(StringBuffer& buffer, ConfigDumpFilter filter, bool with_hooks);

}  // namespace zolt

#pragma once
// Configuration variables given on the command line: "name value",
// "name=value", each with up to two leading dashes. Names nobody takes are
// ignored. Main thread only.
#include "libs/utility/config_variable_table.h"

namespace zolt {

// The arguments without the program path. A name without '=' takes the next
// argument as its value, or the empty text when there is none; the next
// argument is not taken when it is itself a setting of a known variable
// ("-name ...", "name=..."), so a missing value never swallows it. "h" or
// "?" alone asks for help, which is read elsewhere; it and its value are
// passed over.
void parse_config_command_line(ConfigVariableTable& table, int argument_count, const char* const* arguments);
void parse_config_command_line(int argument_count, const char* const* arguments);

}  // namespace zolt

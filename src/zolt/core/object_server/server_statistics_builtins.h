#pragma once
// The server statistics builtins 204-211: a server's name, counts, object
// size and usage by server type. A type that names no registered server
// answers 0 and writes nothing. Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

void bind_server_statistics_builtins(BuiltinTable& table);

}  // namespace zolt::core

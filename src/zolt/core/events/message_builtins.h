#pragma once
// Builtin 189: destroys the messages that have no live recipient.
// Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

void bind_message_builtins(BuiltinTable& table);

}  // namespace zolt::core

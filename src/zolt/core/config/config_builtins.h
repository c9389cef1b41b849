#pragma once
// Binds the configuration builtins 135-147 (config_support_builtins.h) and
// 226, the configuration variable build_version. Main thread only.
#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

void bind_config_builtins(BuiltinTable& table);

}  // namespace zolt::core

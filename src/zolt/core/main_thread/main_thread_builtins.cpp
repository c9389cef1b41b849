#include "zolt/core/main_thread/main_thread_builtins.h"

#include "libs/system/time_base.h"
#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/main_thread/message_pump.h"

namespace zolt::core {

void bind_main_thread_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::get_time, &get_time>(table);
    bind_builtin<BuiltinId::quit, &request_quit>(table);
}

}  // namespace zolt::core

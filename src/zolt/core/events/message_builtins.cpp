#include "zolt/core/events/message_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/events/message_server.h"

namespace zolt::core {

namespace {

void destroy_unaddressed_messages() {
    if (message_server.is_registered()) {
        message_server.destroy_unaddressed_messages();
    }
}

}  // namespace

void bind_message_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::destroy_unaddressed_messages, &destroy_unaddressed_messages>(table);
}

}  // namespace zolt::core

#include "zolt/builtins/builtin_dispatch.h"

#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

void call_builtin(ScriptContext& context, uint32_t id) {
    if (id - 1 < last_builtin_id) {
        builtin_table.call(context, id);
    }
}

}  // namespace zolt::core

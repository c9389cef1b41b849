#include "zolt/builtins/builtin_table.h"

#include "libs/utility/fatal_error.h"

namespace zolt::core {

constinit BuiltinTable builtin_table;

void call_unbound_builtin(ScriptContext&) {
    ZOLT_PANIC("A builtin was called before the builtin table was bound");
}

void BuiltinTable::bind(BuiltinId id, BuiltinBody body) {
    const uint32_t index = static_cast<uint32_t>(id);
    if (is_bound(index)) {
        ZOLT_PANIC("Builtin %u (%.*s) is bound twice", index, static_cast<int>(get_builtin_row(id).name.size()),
                   get_builtin_row(id).name.data());
    }
    bodies_[index] = body;
}

bool BuiltinTable::is_bound(uint32_t id) const {
    return id - 1 < last_builtin_id && bodies_[id] != &call_unbound_builtin;
}

}  // namespace zolt::core

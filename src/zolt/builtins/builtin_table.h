#pragma once
// The dispatcher's jump table: one body per builtin id. Each family binds its
// own bodies once at start (bind_all_builtins in core/program); until then an
// id runs a body that ends the program, so a missing bind cannot pass for a
// neutral answer. Binding an id twice is fatal. Main thread only.
#include <cstdint>

#include "zolt/builtins/builtin_list.h"
#include "zolt/core/script/script_context.h"

namespace zolt::core {

using BuiltinBody = void (*)(ScriptContext& context);

// Fatal: the table was used before its families bound their bodies.
void call_unbound_builtin(ScriptContext& context);

class BuiltinTable {
public:
    constexpr BuiltinTable() {
        for (BuiltinBody& body : bodies_) {
            body = &call_unbound_builtin;
        }
    }

    // Fatal when the id is bound already.
    void bind(BuiltinId id, BuiltinBody body);
    bool is_bound(uint32_t id) const;
    // id from 1 to last_builtin_id.
    void call(ScriptContext& context, uint32_t id) const { bodies_[id](context); }

private:
    BuiltinBody bodies_[last_builtin_id + 1];
};

// The table call_builtin runs.
extern constinit BuiltinTable builtin_table;

}  // namespace zolt::core

#pragma once
// Where the builtin table is put together: the function that binds each
// family's rows (builtin_list.h). A family without bodies yet has none, and
// its rows answer their neutral result. Main thread only.
#include <span>

#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

struct BuiltinFamilyBinding {
    BuiltinFamily family;
    // Null for a family with no bodies yet.
    void (*bind)(BuiltinTable& table);
};

// One entry per family, in the order of BuiltinFamily.
std::span<const BuiltinFamilyBinding> get_builtin_family_bindings();

// Binds one family's rows: its bind function, or the neutral answers.
void bind_builtin_family(BuiltinTable& table, const BuiltinFamilyBinding& binding);
void bind_all_builtins(BuiltinTable& table);
// Binds the table call_builtin runs; once, later calls do nothing.
void bind_all_builtins();

}  // namespace zolt::core

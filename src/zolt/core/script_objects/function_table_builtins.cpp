#include "zolt/core/script_objects/function_table_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/script_objects/function_table_server.h"

namespace zolt::core {
namespace {

float evaluate_function_table_body(FunctionTableHandle table, float x) {
    return evaluate_function_table(table, x);
}

}  // namespace

void bind_function_table_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::evaluate_function_table, &evaluate_function_table_body>(table);
}

}  // namespace zolt::core

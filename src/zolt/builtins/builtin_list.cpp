#include "zolt/builtins/builtin_list.h"

namespace zolt::core {

namespace {

// The list must number its rows 1, 2, 3 ... so that builtin_rows[id - 1] is
// the row of id, and every result and argument list must parse.
constexpr bool is_numbered_in_order() {
    uint32_t expected = 1;
    for (const BuiltinRow& row : builtin_rows) {
        if (row.id != expected++ || static_cast<uint32_t>(row.result) >= builtin_kind_count ||
            !parse_builtin_arguments(row.arguments).valid) {
            return false;
        }
    }
    return expected == last_builtin_id + 1;
}
static_assert(is_numbered_in_order());

}  // namespace

const BuiltinRow* find_builtin_row_by_name(std::string_view name) {
    for (const BuiltinRow& row : builtin_rows) {
        if (row.name == name) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace zolt::core

#include "zolt/builtins/neutral_builtins.h"

#include "zolt/builtins/builtin_helpers.h"

namespace zolt::core {

namespace {

void answer_nothing(ScriptContext&) {}

void answer_zero(ScriptContext& context) {
    set_result(context, 0);
}

void answer_one(ScriptContext& context) {
    set_result(context, 1);
}

void answer_zero_vector2(ScriptContext& context) {
    context.registers[0] = 0;
    context.registers[2] = 0;
}

void answer_zero_vector3(ScriptContext& context) {
    set_vector_result(context, 0.0f, 0.0f, 0.0f);
}

void answer_zero_vector4(ScriptContext& context) {
    set_vector_result(context, 0.0f, 0.0f, 0.0f);
    context.registers[6] = 0;
}

void answer_identity_quaternion(ScriptContext& context) {
    set_vector_result(context, 0.0f, 0.0f, 0.0f);
    context.registers[6] = float_to_word(1.0f);
}

}  // namespace

void bind_neutral_builtin(BuiltinTable& table, BuiltinId id) {
    switch (get_builtin_row(id).result) {
    case BuiltinKind::none:
        table.bind(id, &answer_nothing);
        break;
    case BuiltinKind::vector2:
        table.bind(id, &answer_zero_vector2);
        break;
    case BuiltinKind::vector3:
        table.bind(id, &answer_zero_vector3);
        break;
    case BuiltinKind::vector4:
        table.bind(id, &answer_zero_vector4);
        break;
    case BuiltinKind::quaternion:
        table.bind(id, &answer_identity_quaternion);
        break;
    default:
        // Every scalar kind's neutral word is 0 (0.0 is all zero bits too).
        table.bind(id, &answer_zero);
        break;
    }
}

void bind_unbuilt_family(BuiltinTable& table, BuiltinFamily family) {
    for (const BuiltinRow& row : builtin_rows) {
        if (row.family == family && !table.is_bound(row.id)) {
            bind_neutral_builtin(table, static_cast<BuiltinId>(row.id));
        }
    }
}

void bind_stub_builtins(BuiltinTable& table) {
    for (const BuiltinId id :
         {BuiltinId::unused_118, BuiltinId::unused_119, BuiltinId::unused_120, BuiltinId::unused_124,
          BuiltinId::unused_125, BuiltinId::unused_569, BuiltinId::unused_684, BuiltinId::unused_685}) {
        table.bind(id, &answer_one);
    }
    bind_unbuilt_family(table, BuiltinFamily::stubs);
}

}  // namespace zolt::core

#pragma once
// Binds a typed body to its builtin id. A body is a plain function whose
// parameters are the row's arguments in the row's order (top of the stack
// first), optionally after a ScriptContext&, and whose return type is the
// row's result. bind_builtin<BuiltinId::name, &body>(table) checks at compile
// time that the body's types are the row's kinds, then binds an adapter that
// reads each argument in place (a vector's x uppermost) and writes the result
// registers. Main thread only.
#include <array>
#include <cstddef>
#include <type_traits>
#include <utility>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/builtins/builtin_helpers.h"
#include "zolt/builtins/builtin_table.h"
#include "zolt/builtins/builtin_values.h"

namespace zolt::core {

namespace builtin_binding {

// What each C++ type is as a kind, and how it is read from the stack and
// written to the result registers.
template <class T>
struct Value;

template <>
struct Value<uint32_t> {
    static constexpr BuiltinKind kind = BuiltinKind::u32;
    static uint32_t read(const ScriptContext& context, uint32_t depth) { return get_stack_word(context, depth); }
    static void write(ScriptContext& context, uint32_t value) { set_result(context, value); }
};

template <>
struct Value<int32_t> {
    static constexpr BuiltinKind kind = BuiltinKind::s32;
    static int32_t read(const ScriptContext& context, uint32_t depth) { return get_stack_s32(context, depth); }
    static void write(ScriptContext& context, int32_t value) { set_result(context, static_cast<uint32_t>(value)); }
};

template <>
struct Value<float> {
    static constexpr BuiltinKind kind = BuiltinKind::f32;
    static float read(const ScriptContext& context, uint32_t depth) { return get_stack_float(context, depth); }
    static void write(ScriptContext& context, float value) { set_float_result(context, value); }
};

template <>
struct Value<bool> {
    static constexpr BuiltinKind kind = BuiltinKind::boolean;
    static bool read(const ScriptContext& context, uint32_t depth) { return get_stack_word(context, depth) != 0; }
    static void write(ScriptContext& context, bool value) { set_result(context, value ? 1 : 0); }
};

template <>
struct Value<char16_t> {
    static constexpr BuiltinKind kind = BuiltinKind::unit;
    static char16_t read(const ScriptContext& context, uint32_t depth) {
        return static_cast<char16_t>(get_stack_word(context, depth));
    }
    static void write(ScriptContext& context, char16_t value) { set_result(context, value); }
};

template <>
struct Value<BuiltinColour> {
    static constexpr BuiltinKind kind = BuiltinKind::colour;
    static BuiltinColour read(const ScriptContext& context, uint32_t depth) { return {get_stack_word(context, depth)}; }
    static void write(ScriptContext& context, BuiltinColour value) { set_result(context, value.value); }
};

template <BuiltinKind handle_kind>
struct Value<BuiltinHandle<handle_kind>> {
    static constexpr BuiltinKind kind = handle_kind;
    static BuiltinHandle<handle_kind> read(const ScriptContext& context, uint32_t depth) {
        return {get_stack_word(context, depth)};
    }
    static void write(ScriptContext& context, BuiltinHandle<handle_kind> value) { set_result(context, value.value); }
};

template <>
struct Value<ScriptVector2> {
    static constexpr BuiltinKind kind = BuiltinKind::vector2;
    static ScriptVector2 read(const ScriptContext& context, uint32_t depth) {
        return {get_stack_float(context, depth), get_stack_float(context, depth + 1)};
    }
    static void write(ScriptContext& context, const ScriptVector2& value) {
        context.registers[0] = float_to_word(value.x);
        context.registers[2] = float_to_word(value.y);
    }
};

template <>
struct Value<geometry::Vector3> {
    static constexpr BuiltinKind kind = BuiltinKind::vector3;
    static geometry::Vector3 read(const ScriptContext& context, uint32_t depth) {
        return {get_stack_float(context, depth), get_stack_float(context, depth + 1),
                get_stack_float(context, depth + 2)};
    }
    static void write(ScriptContext& context, const geometry::Vector3& value) {
        set_vector_result(context, value.x, value.y, value.z);
    }
};

template <>
struct Value<geometry::Vector4> {
    static constexpr BuiltinKind kind = BuiltinKind::vector4;
    static geometry::Vector4 read(const ScriptContext& context, uint32_t depth) {
        return {get_stack_float(context, depth), get_stack_float(context, depth + 1),
                get_stack_float(context, depth + 2), get_stack_float(context, depth + 3)};
    }
    static void write(ScriptContext& context, const geometry::Vector4& value) {
        set_vector_result(context, value.x, value.y, value.z);
        context.registers[6] = float_to_word(value.w);
    }
};

template <>
struct Value<geometry::Quaternion> {
    static constexpr BuiltinKind kind = BuiltinKind::quaternion;
    static geometry::Quaternion read(const ScriptContext& context, uint32_t depth) {
        return {get_stack_float(context, depth), get_stack_float(context, depth + 1),
                get_stack_float(context, depth + 2), get_stack_float(context, depth + 3)};
    }
    static void write(ScriptContext& context, const geometry::Quaternion& value) {
        set_vector_result(context, value.x, value.y, value.z);
        context.registers[6] = float_to_word(value.w);
    }
};

template <class T>
using ValueOf = Value<std::remove_cvref_t<T>>;

template <class T>
constexpr BuiltinKind get_result_kind() {
    if constexpr (std::is_void_v<T>) {
        return BuiltinKind::none;
    } else {
        return ValueOf<T>::kind;
    }
}

template <class... Arguments>
constexpr bool are_row_arguments(std::string_view row_arguments) {
    const BuiltinSignature signature = parse_builtin_arguments(row_arguments);
    if (!signature.valid || signature.count != sizeof...(Arguments)) {
        return false;
    }
    uint32_t index = 0;
    return ((signature.kinds[index++] == ValueOf<Arguments>::kind) && ... && true);
}

// The depth of each argument's first word below the top.
template <class... Arguments>
constexpr std::array<uint32_t, sizeof...(Arguments)> get_argument_depths() {
    std::array<uint32_t, sizeof...(Arguments)> depths{};
    uint32_t depth = 0;
    uint32_t index = 0;
    ((depths[index++] = depth, depth += builtin_kinds[static_cast<uint32_t>(ValueOf<Arguments>::kind)].words), ...);
    return depths;
}

template <class Function>
struct Body;

template <class Result, class... Arguments>
struct Body<Result (*)(Arguments...)> {
    using ResultType = Result;
    static constexpr bool takes_context = false;

    static constexpr bool matches(const BuiltinRow& row) {
        return row.result == get_result_kind<Result>() && are_row_arguments<Arguments...>(row.arguments);
    }

    template <auto body, size_t... index>
    static void call(ScriptContext& context, std::index_sequence<index...>) {
        constexpr std::array<uint32_t, sizeof...(Arguments)> depths = get_argument_depths<Arguments...>();
        if constexpr (std::is_void_v<Result>) {
            body(ValueOf<Arguments>::read(context, depths[index])...);
        } else {
            ValueOf<Result>::write(context, body(ValueOf<Arguments>::read(context, depths[index])...));
        }
    }

    template <auto body>
    static void run(ScriptContext& context) {
        call<body>(context, std::index_sequence_for<Arguments...>{});
    }
};

template <class Result, class... Arguments>
struct Body<Result (*)(ScriptContext&, Arguments...)> {
    static constexpr bool matches(const BuiltinRow& row) {
        return row.result == get_result_kind<Result>() && are_row_arguments<Arguments...>(row.arguments);
    }

    template <auto body, size_t... index>
    static void call(ScriptContext& context, std::index_sequence<index...>) {
        constexpr std::array<uint32_t, sizeof...(Arguments)> depths = get_argument_depths<Arguments...>();
        if constexpr (std::is_void_v<Result>) {
            body(context, ValueOf<Arguments>::read(context, depths[index])...);
        } else {
            ValueOf<Result>::write(context, body(context, ValueOf<Arguments>::read(context, depths[index])...));
        }
    }

    template <auto body>
    static void run(ScriptContext& context) {
        call<body>(context, std::index_sequence_for<Arguments...>{});
    }
};

}  // namespace builtin_binding

// True when the body's parameter and result types are the row's kinds.
template <BuiltinId id, auto body>
constexpr bool does_body_match_row() {
    return builtin_binding::Body<decltype(body)>::matches(get_builtin_row(id));
}

template <BuiltinId id, auto body>
void bind_builtin(BuiltinTable& table) {
    static_assert(does_body_match_row<id, body>(),
                  "the body's parameters (top of the stack first) and result must be the kinds of its row");
    table.bind(id, &builtin_binding::Body<decltype(body)>::template run<body>);
}

}  // namespace zolt::core

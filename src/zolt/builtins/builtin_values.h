#pragma once
// The C++ types of the builtin kinds (builtin_list.h) that have no type of
// their own, for the bodies' parameters and results. A handle of one server
// is a distinct type, so a body that takes a placement and a string cannot
// take them swapped; it converts to a plain ObjectHandle where the body uses
// it. Plain values; any thread.
#include "zolt/builtins/builtin_list.h"
#include "zolt/core/object_server/object_handle.h"

namespace zolt::core {

template <BuiltinKind kind>
struct BuiltinHandle {
    ObjectHandle value = 0;

    constexpr operator ObjectHandle() const { return value; }
};

using AnyHandle = BuiltinHandle<BuiltinKind::any_handle>;

// A colour packed in one word: alpha in the top byte, then red, green, blue.
struct BuiltinColour {
    uint32_t value = 0;
};
using AliasHandle = BuiltinHandle<BuiltinKind::alias_handle>;
using ArrayHandle = BuiltinHandle<BuiltinKind::array_handle>;
using CodeHandle = BuiltinHandle<BuiltinKind::code_handle>;
using FunctionTableHandle = BuiltinHandle<BuiltinKind::function_table_handle>;
using PlacementHandle = BuiltinHandle<BuiltinKind::placement_handle>;
using RandomGeneratorHandle = BuiltinHandle<BuiltinKind::random_generator_handle>;
using StringHandle = BuiltinHandle<BuiltinKind::string_handle>;
using StateMachineHandle = BuiltinHandle<BuiltinKind::state_machine_handle>;
using StorageHandle = BuiltinHandle<BuiltinKind::storage_handle>;
using GameHandle = BuiltinHandle<BuiltinKind::game_handle>;

// Two floats in r0 and r2.
struct ScriptVector2 {
    float x = 0;
    float y = 0;
};

}  // namespace zolt::core

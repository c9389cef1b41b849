#pragma once
// Calls one builtin through the dispatcher with the given argument words
// (top of the stack first) and every register marked beforehand, and reads
// the result registers back.
#include <cstdint>
#include <initializer_list>

#include "zolt/builtins/builtin_dispatch.h"
#include "zolt/core/script/script_context.h"

namespace zolt::test {

constexpr uint32_t untouched_register = 0xDEADBEEF;

struct BuiltinCall {
    core::ScriptContext context;

    BuiltinCall& call(uint32_t id, std::initializer_list<uint32_t> arguments_top_first = {}) {
        context.stack_index = static_cast<uint32_t>(arguments_top_first.size());
        uint32_t depth = 0;
        for (const uint32_t word : arguments_top_first) {
            context.stack[context.stack_index - 1 - depth++] = word;
        }
        for (uint32_t& word : context.registers) {
            word = untouched_register;
        }
        core::call_builtin(context, id);
        return *this;
    }
    uint32_t word(uint32_t r = 0) const { return context.registers[r]; }
    float lane(uint32_t r = 0) const { return core::word_to_float(context.registers[r]); }
};

inline uint32_t float_word(float value) {
    return core::float_to_word(value);
}

}  // namespace zolt::test

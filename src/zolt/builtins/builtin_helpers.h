#pragma once
// Reading argument words and writing result registers for builtin bodies,
// as the calling convention of builtin_list.h has them; builtin_binding.h
// reads typed arguments through these. A word asked for below the bottom of
// the stack reads as 0. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/server_base.h"
#include "zolt/core/script/script_context.h"

namespace zolt::core {

// depth 0 is the top word.
inline uint32_t get_stack_word(const ScriptContext& context, uint32_t depth) {
    return depth < context.stack_index ? context.stack[context.stack_index - 1 - depth] : 0;
}

inline int32_t get_stack_s32(const ScriptContext& context, uint32_t depth) {
    return static_cast<int32_t>(get_stack_word(context, depth));
}

inline float get_stack_float(const ScriptContext& context, uint32_t depth) {
    return word_to_float(get_stack_word(context, depth));
}

inline void set_result(ScriptContext& context, uint32_t value) {
    context.registers[0] = value;
}

inline void set_float_result(ScriptContext& context, float value) {
    context.registers[0] = float_to_word(value);
}

inline void set_vector_result(ScriptContext& context, float x, float y, float z) {
    context.registers[0] = float_to_word(x);
    context.registers[2] = float_to_word(y);
    context.registers[4] = float_to_word(z);
}

// For builtins that fill arrays with new objects: creates an object of the
// server (creation argument 0), makes it a child of the array and stores its
// handle in the element, which must hold 0 (else the fatal panic "The array
// 0x%08x contains nonzero value at %u element").
ServerObject* create_object_at_array_element(ServerObject* array, uint32_t element_index, ServerBase* server);

}  // namespace zolt::core

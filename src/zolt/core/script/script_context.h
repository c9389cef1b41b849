#pragma once
// The one interpreter state every task shares: the running code object, the
// program counter, eight untyped registers and the operand stack. A task's
// state lives here only while it runs; it is copied to the task's byte stack
// whenever it stops. The code position is kept as an offset into the running
// code with its size, never as raw end pointers, so every range test is an
// unsigned comparison. Main thread only.
#include <cstdint>
#include <cstring>

#include "zolt/core/object_server/object_handle.h"

namespace zolt::core {

constexpr uint32_t operand_stack_size = 2048;
constexpr uint32_t register_count = 8;

struct ScriptContext {
    ObjectHandle code_object = 0;
    // The first code byte of the running code object and its size.
    const uint8_t* code_start = nullptr;
    uint32_t code_size = 0;
    // Offset from code_start of the next instruction byte.
    uint32_t program_counter = 0;
    uint32_t registers[register_count] = {};
    uint32_t stack_index = 0;
    uint32_t frame_base = 0;
    uint32_t stack[operand_stack_size] = {};
};

inline float word_to_float(uint32_t word) {
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

inline uint32_t float_to_word(float value) {
    uint32_t word;
    std::memcpy(&word, &value, sizeof word);
    return word;
}

}  // namespace zolt::core

#pragma once
// The scalar opcodes' bodies, inlined into the interpreter's switch. Words
// are read as u32, s32 or f32 as each opcode says; a binary operator takes
// A = second and B = top and leaves its result in A's place. The caller has
// checked that the operands are on the stack. All integer arithmetic wraps
// on u32, so nothing here is undefined for any input; a body answers false
// for a fault (a division by zero, the square root or logarithm of a number
// out of its domain).
//
// The unary and binary bodies take the loop's copy of the top word, `top`,
// keep it equal to the new top and write it through to the stack.
#include <bit>
#include <cmath>
#include <cstdint>

#include "zolt/core/script/script_context.h"

namespace zolt::core::scalar {

inline int32_t to_s32(uint32_t word) {
    return static_cast<int32_t>(word);
}

inline uint32_t sign_word(bool below, bool above) {
    return below ? 0xFFFFFFFFu : above ? 1u : 0u;
}

template <typename Operation>
inline void unary(uint32_t* stack, uint32_t sp, uint32_t& top, Operation operation) {
    top = operation(top);
    stack[sp - 1] = top;
}

template <typename Operation>
inline void unary_float(uint32_t* stack, uint32_t sp, uint32_t& top, Operation operation) {
    top = float_to_word(operation(word_to_float(top)));
    stack[sp - 1] = top;
}

template <typename Operation>
inline void binary(uint32_t* stack, uint32_t& sp, uint32_t& top, Operation operation) {
    top = operation(stack[sp - 2], top);
    stack[sp - 2] = top;
    --sp;
}

template <typename Operation>
inline void binary_float(uint32_t* stack, uint32_t& sp, uint32_t& top, Operation operation) {
    top = float_to_word(operation(word_to_float(stack[sp - 2]), word_to_float(top)));
    stack[sp - 2] = top;
    --sp;
}

// compare_vector2..4: P (deeper) and Q of k floats each; 0 when all components equal.
inline void compare_vectors(uint32_t* stack, uint32_t& sp, uint32_t k) {
    uint32_t different = 0;
    for (uint32_t index = 0; index < k; ++index) {
        if (!(word_to_float(stack[sp - 1 - index]) == word_to_float(stack[sp - 1 - k - index]))) {
            different = 1;
        }
    }
    sp -= 2 * k;
    stack[sp++] = different;
}

// test_vector2..4: 1 when any component is non-zero or not a number.
inline void test_vector(uint32_t* stack, uint32_t& sp, uint32_t k) {
    uint32_t any = 0;
    for (uint32_t index = 0; index < k; ++index) {
        if (word_to_float(stack[sp - 1 - index]) != 0.0f) {
            any = 1;
        }
    }
    sp -= k;
    stack[sp++] = any;
}

// float_to_unsigned: truncated through a 64-bit integer; what a 64-bit truncation cannot
// hold gives its integer-indefinite value, whose low 32 bits are 0.
inline uint32_t float_to_unsigned(uint32_t word) {
    const float value = word_to_float(word);
    if (!(value > -9.22337204e18f && value < 9.22337204e18f)) {
        return 0;
    }
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(value)));
}

// float_to_signed: NaN and values outside the s32 range give 0x80000000.
inline uint32_t float_to_signed(uint32_t word) {
    const float value = word_to_float(word);
    if (!(value >= -2147483648.0f && value < 2147483648.0f)) {
        return 0x80000000u;
    }
    return static_cast<uint32_t>(static_cast<int32_t>(value));
}

// a / b or a % b as s32; b is not 0.
inline uint32_t signed_quotient(uint32_t a, uint32_t b, bool remainder) {
    if (a == 0x80000000u && b == 0xFFFFFFFFu) {
        // The one quotient that does not fit: wrapped, remainder 0.
        return remainder ? 0 : a;
    }
    return static_cast<uint32_t>(remainder ? to_s32(a) % to_s32(b) : to_s32(a) / to_s32(b));
}

inline uint32_t absolute_signed(uint32_t word) {
    return to_s32(word) < 0 ? 0u - word : word;
}

// interpolate: P third, Q second, t top.
inline void interpolate(uint32_t* stack, uint32_t& sp) {
    const float p = word_to_float(stack[sp - 3]);
    const float q = word_to_float(stack[sp - 2]);
    const float t = word_to_float(stack[sp - 1]);
    sp -= 2;
    stack[sp - 1] = float_to_word(q + (p - q) * t);
}

// wrapped_difference: the shortest signed difference of two angles in turns.
inline float wrapped_difference(float a, float b) {
    const float d = a - b;
    const float r = d - std::floor(d);
    if (r == 1.0f) {
        return d;
    }
    return r > 0.5f ? r - 1.0f : r;
}

}  // namespace zolt::core::scalar

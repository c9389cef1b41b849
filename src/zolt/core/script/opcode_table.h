#pragma once
// The one table of the 248 bytecode opcodes: name, operand kind and stack
// effect. The interpreter, the assembler and the disassembler all read it, so
// they cannot disagree about an encoding.
//
// Instruction format: one opcode byte, then its operand, if any.
//   none        nothing
//   byte        one unsigned byte right after the opcode
//   signed byte one signed byte right after the opcode
//   words 1..4  little-endian u32 words starting at the first 4-byte boundary
//               after the opcode byte (the padding is never read); the next
//               opcode follows the last word
//   text        a u32 count n (aligned like a word), then n UTF-16LE units;
//               the next opcode follows the last unit with no alignment
// Alignment counts from the code start, which is itself 4-byte aligned.
// Code offsets (jump, local call and entry targets) count from the code start.
//
// Stack notation: top = stack[sp - 1]; "A B" in a binary operator is A =
// second, B = top. Vectors of k floats are k words with x on top. pops/pushes
// give the words taken and left by one run of the opcode; an opcode flagged
// variable_stack moves the stack by its operand (90, 91) or by r2's property
// type (34), and its pops/pushes are 0. Calls leave the caller's stack as it
// was once the callee returns, so their effect is 0 here.
// Plain data; any thread.
#include <cstdint>

namespace zolt::core {

enum class OperandKind : uint8_t { none, byte, signed_byte, word1, word2, word3, word4, text };

namespace opcode_flag {
constexpr uint8_t ends_flow = 0x01;       // no path continues to the next instruction
constexpr uint8_t code_offset = 0x02;     // the w32 operand is a code offset (jump, local call)
constexpr uint8_t code_reference = 0x04;  // the w32 operand is a code reference (or builtin id)
constexpr uint8_t conditional = 0x08;     // pops a word and may jump
constexpr uint8_t variable_stack = 0x10;  // stack effect given by the operand or by r2
constexpr uint8_t may_fault = 0x20;       // may end the task on a bad value
constexpr uint8_t may_stop = 0x40;        // may save the frame and leave the interpreter
}  // namespace opcode_flag

// X(number, name, operand kind, pops, pushes, flags)
// clang-format off
#define ZOLT_OPCODE_LIST(X)                                                                                             \
    X(0, nop, none, 0, 0, 0)                          /* no operation */                                                \
    X(1, start_task, none, 2, 0, may_stop)            /* pop code ref, pop delay; r0 = new task */                      \
    X(2, end_task, none, 0, 0, ends_flow)             /* end the task */                                                \
    X(3, wait, none, 0, 0, may_stop)                  /* re-time wake with delay r0; r0 = 1 gave way */                 \
    X(4, wait_semaphore, none, 0, 0, may_stop)        /* r0 semaphore, r2 mask; r0 = signal bits */                     \
    X(5, signal_semaphore, none, 0, 0, may_stop)      /* r0 semaphore, r2 bits, r4 count; r0 = released */              \
    X(6, post_message, none, 0, 0, 0)                 /* r0 id, r2 value, r4 delay; r0 = message */                     \
    X(7, create_object, none, 0, 0, 0)                /* r0 server type, r2 argument; r0 = handle */                    \
    X(8, destroy_object, none, 0, 0, may_stop)        /* destroy object r0 */                                           \
    X(9, shake_resources, none, 0, 0, 0)              /* compact resources; code may move */                            \
    X(10, get_element, none, 1, 0, 0)                 /* pop index; r0 = element of object r0 */                        \
    X(11, set_element, none, 2, 0, 0)                 /* pop index, pop value; r0 = result */                           \
    X(12, set_child_element, none, 2, 0, 0)           /* as 11, the value's object becomes a child */                   \
    X(13, insert_element, none, 2, 0, 0)              /* pop index, pop value; r0 = result */                           \
    X(14, remove_element, none, 1, 0, 0)              /* pop index; r0 = result */                                      \
    X(15, append_element, none, 1, 0, 0)              /* pop value; r0 = result */                                      \
    X(16, clear_string, none, 0, 0, 0)                /* string r0 := empty */                                          \
    X(17, append_text, text, 0, 0, 0)                 /* string r0 += literal */                                        \
    X(18, append_unit, none, 1, 0, 0)                 /* string r0 += low 16 bits of popped word */                     \
    X(19, append_string, none, 1, 0, 0)               /* string r0 += popped string */                                  \
    X(20, append_string_and_destroy, none, 1, 0, 0)   /* as 19, then destroy the popped string */                       \
    X(21, append_substring, none, 3, 0, 0)            /* pop source, start, count */                                    \
    X(22, append_unsigned, none, 2, 0, 0)             /* pop u32 value, pop format */                                   \
    X(23, append_signed, none, 2, 0, 0)               /* pop s32 value, pop format */                                   \
    X(24, append_float, none, 2, 0, 0)                /* pop f32 value, pop format */                                   \
    X(25, get_context, none, 0, 0, 0)                 /* r0 = task context */                                           \
    X(26, set_context, none, 0, 0, 0)                 /* task context = r0 (aliases resolved) */                        \
    X(27, push_context, none, 0, 1, 0)                /* push task context */                                           \
    X(28, pop_context, none, 1, 0, 0)                 /* task context = popped handle */                                \
    X(29, resolve_object, none, 0, 0, 0)              /* r0 = handle r0 resolves to, or 0 */                            \
    X(30, get_task, none, 0, 0, 0)                    /* r0 = own task handle */                                        \
    X(31, get_property, none, 0, 0, 0)                /* r0 object, r2 id; r0 (r2 r4 r6) = value */                     \
    X(32, get_property_type, none, 0, 0, 0)           /* r0 object, r2 id; r0 = type */                                 \
    X(33, set_property_component, none, 1, 0, may_stop) /* r0 object, r2 id, r4 index; pop float */                     \
    X(34, set_property, none, 0, 0, variable_stack | may_stop) /* r0 object, r2 id; pop by id type */                   \
    X(35, set_link_property, none, 1, 0, may_stop)    /* r0 object, r2 id; pop handle */                                \
    X(36, remove_property, none, 0, 0, may_stop)      /* r0 object, r2 id */                                            \
    X(37, call, word1, 0, 0, code_reference | may_fault | may_stop) /* call code ref or builtin imm */                  \
    X(38, call_popped, none, 1, 0, may_fault | may_stop) /* pop code ref, call it */                                    \
    X(39, call_local, word1, 0, 0, code_offset | may_fault) /* call code offset imm */                                  \
    X(40, return_to_caller, none, 0, 0, ends_flow | may_fault)  /* sp = fb; pop return frame */                         \
    X(41, jump, word1, 0, 0, ends_flow | code_offset | may_fault) /* pc = imm */                                        \
    X(42, jump_if_zero, word1, 1, 0, code_offset | conditional | may_fault)         /* pop; == 0 */                     \
    X(43, jump_if_not_zero, word1, 1, 0, code_offset | conditional | may_fault)     /* pop; != 0 */                     \
    X(44, jump_if_negative, word1, 1, 0, code_offset | conditional | may_fault)     /* pop; < 0 */                      \
    X(45, jump_if_not_positive, word1, 1, 0, code_offset | conditional | may_fault) /* pop; <= 0 */                     \
    X(46, jump_if_positive, word1, 1, 0, code_offset | conditional | may_fault)     /* pop; > 0 */                      \
    X(47, jump_if_not_negative, word1, 1, 0, code_offset | conditional | may_fault) /* pop; >= 0 */                     \
    X(48, set_r0, word1, 0, 0, 0)                     /* r0 = imm */                                                    \
    X(49, set_r1, word1, 0, 0, 0)                                                                                       \
    X(50, set_r2, word1, 0, 0, 0)                                                                                       \
    X(51, set_r3, word1, 0, 0, 0)                                                                                       \
    X(52, set_r4, word1, 0, 0, 0)                                                                                       \
    X(53, set_r5, word1, 0, 0, 0)                                                                                       \
    X(54, set_r6, word1, 0, 0, 0)                                                                                       \
    X(55, set_r7, word1, 0, 0, 0)                                                                                       \
    X(56, push_r0, none, 0, 1, 0)                     /* push rn */                                                     \
    X(57, push_r1, none, 0, 1, 0)                                                                                       \
    X(58, push_r2, none, 0, 1, 0)                                                                                       \
    X(59, push_r3, none, 0, 1, 0)                                                                                       \
    X(60, push_r4, none, 0, 1, 0)                                                                                       \
    X(61, push_r5, none, 0, 1, 0)                                                                                       \
    X(62, push_r6, none, 0, 1, 0)                                                                                       \
    X(63, push_r7, none, 0, 1, 0)                                                                                       \
    X(64, push_even, none, 0, 4, 0)                   /* push r6 r4 r2 r0 (r0 on top) */                                \
    X(65, push_odd, none, 0, 4, 0)                    /* push r7 r5 r3 r1 */                                            \
    X(66, push_all, none, 0, 8, 0)                    /* push r7 .. r0 */                                               \
    X(67, pop_r0, none, 1, 0, 0)                      /* pop into rn */                                                 \
    X(68, pop_r1, none, 1, 0, 0)                                                                                        \
    X(69, pop_r2, none, 1, 0, 0)                                                                                        \
    X(70, pop_r3, none, 1, 0, 0)                                                                                        \
    X(71, pop_r4, none, 1, 0, 0)                                                                                        \
    X(72, pop_r5, none, 1, 0, 0)                                                                                        \
    X(73, pop_r6, none, 1, 0, 0)                                                                                        \
    X(74, pop_r7, none, 1, 0, 0)                                                                                        \
    X(75, pop_even, none, 4, 0, 0)                    /* pop r0 r2 r4 r6 (r0 from the top) */                           \
    X(76, pop_odd, none, 4, 0, 0)                     /* pop r1 r3 r5 r7 */                                             \
    X(77, pop_all, none, 8, 0, 0)                     /* pop r0 .. r7 */                                                \
    X(78, push_word, word1, 0, 1, 0)                  /* push imm */                                                    \
    X(79, push_words2, word2, 0, 2, 0)                /* push imms, last on top */                                      \
    X(80, push_words3, word3, 0, 3, 0)                                                                                  \
    X(81, push_words4, word4, 0, 4, 0)                                                                                  \
    X(82, push_zero, none, 0, 1, 0)                                                                                     \
    X(83, push_one, none, 0, 1, 0)                                                                                      \
    X(84, push_byte, byte, 0, 1, 0)                   /* push zero-extended byte */                                     \
    X(85, push_signed_byte, signed_byte, 0, 1, 0)     /* push sign-extended byte */                                     \
    X(86, drop1, none, 1, 0, 0)                                                                                         \
    X(87, drop2, none, 2, 0, 0)                                                                                         \
    X(88, drop3, none, 3, 0, 0)                                                                                         \
    X(89, drop4, none, 4, 0, 0)                                                                                         \
    X(90, reserve, byte, 0, 0, variable_stack)        /* sp += n (words not cleared) */                                 \
    X(91, release, byte, 0, 0, variable_stack)        /* sp -= n */                                                     \
    X(92, dup1, none, 1, 2, 0)                        /* a -> a a */                                                    \
    X(93, dup2, none, 2, 4, 0)                        /* a b -> a b a b */                                              \
    X(94, dup3, none, 3, 6, 0)                                                                                          \
    X(95, dup4, none, 4, 8, 0)                                                                                          \
    X(96, swap1, none, 2, 2, 0)                       /* swap the top two groups of k */                                \
    X(97, swap2, none, 4, 4, 0)                                                                                         \
    X(98, swap3, none, 6, 6, 0)                                                                                         \
    X(99, swap4, none, 8, 8, 0)                                                                                         \
    X(100, pick, byte, 0, 1, 0)                       /* push stack[sp - 1 - n] */                                      \
    X(101, poke, byte, 1, 0, 0)                       /* pop, store into stack[sp - 1 - n] */                           \
    X(102, push_local1, byte, 0, 1, 0)                /* push locals n .. n + k - 1 */                                  \
    X(103, push_local2, byte, 0, 2, 0)                                                                                  \
    X(104, push_local3, byte, 0, 3, 0)                                                                                  \
    X(105, push_local4, byte, 0, 4, 0)                                                                                  \
    X(106, pop_local1, byte, 1, 0, 0)                 /* pop into locals n + k - 1 .. n */                              \
    X(107, pop_local2, byte, 2, 0, 0)                                                                                   \
    X(108, pop_local3, byte, 3, 0, 0)                                                                                   \
    X(109, pop_local4, byte, 4, 0, 0)                                                                                   \
    X(110, push_argument1, byte, 0, 1, 0)             /* push stack[fb-3-k-n] .. stack[fb-4-n] */                       \
    X(111, push_argument2, byte, 0, 2, 0)                                                                               \
    X(112, push_argument3, byte, 0, 3, 0)                                                                               \
    X(113, push_argument4, byte, 0, 4, 0)                                                                               \
    X(114, pop_argument1, byte, 1, 0, 0)              /* pop into those argument words */                               \
    X(115, pop_argument2, byte, 2, 0, 0)                                                                                \
    X(116, pop_argument3, byte, 3, 0, 0)                                                                                \
    X(117, pop_argument4, byte, 4, 0, 0)                                                                                \
    X(118, compare_unsigned, none, 2, 1, 0)           /* -1 / 0 / 1 */                                                  \
    X(119, compare_signed, none, 2, 1, 0)                                                                               \
    X(120, compare_float, none, 2, 1, 0)              /* NaN compares 0 */                                              \
    X(121, compare_vector2, none, 4, 1, 0)            /* 0 when equal, else 1 */                                        \
    X(122, compare_vector3, none, 6, 1, 0)                                                                              \
    X(123, compare_vector4, none, 8, 1, 0)                                                                              \
    X(124, sign_unsigned, none, 1, 1, 0)              /* 1 when non-zero */                                             \
    X(125, sign_signed, none, 1, 1, 0)                /* -1 / 0 / 1 */                                                  \
    X(126, sign_float, none, 1, 1, 0)                                                                                   \
    X(127, test_vector2, none, 2, 1, 0)               /* 1 when any component non-zero */                               \
    X(128, test_vector3, none, 3, 1, 0)                                                                                 \
    X(129, test_vector4, none, 4, 1, 0)                                                                                 \
    X(130, test_zero, none, 1, 1, 0)                  /* 1 when top == 0 */                                             \
    X(131, test_not_zero, none, 1, 1, 0)                                                                                \
    X(132, test_negative, none, 1, 1, 0)                                                                                \
    X(133, test_not_positive, none, 1, 1, 0)                                                                            \
    X(134, test_positive, none, 1, 1, 0)                                                                                \
    X(135, test_not_negative, none, 1, 1, 0)                                                                            \
    X(136, unsigned_to_float, none, 1, 1, 0)                                                                            \
    X(137, float_to_unsigned, none, 1, 1, 0)          /* via 64-bit truncation, low 32 bits */                          \
    X(138, signed_to_float, none, 1, 1, 0)                                                                              \
    X(139, float_to_signed, none, 1, 1, 0)            /* NaN, out of range: 0x80000000 */                               \
    X(140, bitwise_and, none, 2, 1, 0)                                                                                  \
    X(141, bitwise_or, none, 2, 1, 0)                                                                                   \
    X(142, bitwise_xor, none, 2, 1, 0)                                                                                  \
    X(143, bitwise_not, none, 1, 1, 0)                                                                                  \
    X(144, shift_left, none, 2, 1, 0)                 /* A << (B mod 32) */                                             \
    X(145, shift_right, none, 2, 1, 0)                                                                                  \
    X(146, shift_right_arithmetic, none, 2, 1, 0)                                                                       \
    X(147, rotate_left, none, 2, 1, 0)                                                                                  \
    X(148, rotate_right, none, 2, 1, 0)                                                                                 \
    X(149, logical_and, none, 2, 1, 0)                                                                                  \
    X(150, logical_or, none, 2, 1, 0)                                                                                   \
    X(151, logical_xor, none, 2, 1, 0)                                                                                  \
    X(152, logical_not, none, 1, 1, 0)                                                                                  \
    X(153, negate, none, 1, 1, 0)                                                                                       \
    X(154, negate_float, none, 1, 1, 0)                                                                                 \
    X(155, add, none, 2, 1, 0)                                                                                          \
    X(156, add_float, none, 2, 1, 0)                                                                                    \
    X(157, subtract, none, 2, 1, 0)                                                                                     \
    X(158, subtract_float, none, 2, 1, 0)                                                                               \
    X(159, increment, none, 1, 1, 0)                                                                                    \
    X(160, decrement, none, 1, 1, 0)                                                                                    \
    X(161, multiply_unsigned, none, 2, 1, 0)          /* low 32 bits */                                                 \
    X(162, multiply_signed, none, 2, 1, 0)                                                                              \
    X(163, multiply_float, none, 2, 1, 0)                                                                               \
    X(164, divide_unsigned, none, 2, 1, may_fault)    /* B = 0 faults */                                                \
    X(165, divide_signed, none, 2, 1, may_fault)                                                                        \
    X(166, divide_float, none, 2, 1, may_fault)       /* B = +-0.0 faults */                                            \
    X(167, modulo_unsigned, none, 2, 1, may_fault)                                                                      \
    X(168, modulo_signed, none, 2, 1, may_fault)                                                                        \
    X(169, modulo_float, none, 2, 1, may_fault)                                                                         \
    X(170, reciprocal, none, 1, 1, may_fault)                                                                           \
    X(171, absolute, none, 1, 1, 0)                                                                                     \
    X(172, absolute_float, none, 1, 1, 0)                                                                               \
    X(173, minimum_unsigned, none, 2, 1, 0)                                                                             \
    X(174, minimum_signed, none, 2, 1, 0)                                                                               \
    X(175, minimum_float, none, 2, 1, 0)                                                                                \
    X(176, maximum_unsigned, none, 2, 1, 0)                                                                             \
    X(177, maximum_signed, none, 2, 1, 0)                                                                               \
    X(178, maximum_float, none, 2, 1, 0)                                                                                \
    X(179, square_root, none, 1, 1, may_fault)        /* negative faults */                                             \
    X(180, sine, none, 1, 1, 0)                       /* angles in turns */                                             \
    X(181, cosine, none, 1, 1, 0)                                                                                       \
    X(182, tangent, none, 1, 1, 0)                                                                                      \
    X(183, arcsine, none, 1, 1, 0)                                                                                      \
    X(184, arccosine, none, 1, 1, 0)                                                                                    \
    X(185, arctangent, none, 1, 1, 0)                                                                                   \
    X(186, arctangent2, none, 2, 1, 0)                /* y = top, x = second */                                         \
    X(187, logarithm, none, 1, 1, may_fault)          /* top <= 0 faults */                                             \
    X(188, exponential, none, 1, 1, 0)                                                                                  \
    X(189, power, none, 2, 1, 0)                      /* base = top, exponent = second */                               \
    X(190, floor, none, 1, 1, 0)                                                                                        \
    X(191, ceiling, none, 1, 1, 0)                                                                                      \
    X(192, round, none, 1, 1, 0)                      /* floor(top + 0.5) */                                            \
    X(193, fraction, none, 1, 1, 0)                                                                                     \
    X(194, interpolate, none, 3, 1, 0)                /* P, Q, t: Q + (P - Q) t */                                      \
    X(195, wrapped_difference, none, 2, 1, 0)         /* in (-0.5, 0.5] */                                              \
    X(196, negate_vector2, none, 2, 2, 0)                                                                               \
    X(197, negate_vector3, none, 3, 3, 0)                                                                               \
    X(198, negate_vector4, none, 4, 4, 0)                                                                               \
    X(199, add_vector2, none, 4, 2, 0)                /* P + Q */                                                       \
    X(200, add_vector3, none, 6, 3, 0)                                                                                  \
    X(201, add_vector4, none, 8, 4, 0)                                                                                  \
    X(202, subtract_vector2, none, 4, 2, 0)           /* P - Q */                                                       \
    X(203, subtract_vector3, none, 6, 3, 0)                                                                             \
    X(204, subtract_vector4, none, 8, 4, 0)                                                                             \
    X(205, multiply_vector2, none, 4, 2, 0)           /* component-wise */                                              \
    X(206, multiply_vector3, none, 6, 3, 0)                                                                             \
    X(207, multiply_vector4, none, 8, 4, 0)                                                                             \
    X(208, scale_vector2, none, 3, 2, 0)              /* vector, scalar on top */                                       \
    X(209, scale_vector3, none, 4, 3, 0)                                                                                \
    X(210, scale_vector4, none, 5, 4, 0)                                                                                \
    X(211, divide_vector2, none, 3, 2, may_fault)     /* scalar 0.0 faults */                                           \
    X(212, divide_vector3, none, 4, 3, may_fault)                                                                       \
    X(213, divide_vector4, none, 5, 4, may_fault)                                                                       \
    X(214, dot_vector2, none, 4, 1, 0)                                                                                  \
    X(215, dot_vector3, none, 6, 1, 0)                                                                                  \
    X(216, dot_vector4, none, 8, 1, 0)                                                                                  \
    X(217, cross_vector3, none, 6, 3, 0)              /* Q x P */                                                       \
    X(218, length_vector2, none, 2, 1, 0)                                                                               \
    X(219, length_vector3, none, 3, 1, 0)                                                                               \
    X(220, length_vector4, none, 4, 1, 0)                                                                               \
    X(221, normalize_vector2, none, 4, 2, 0)          /* D, V: V / |V|, or D when |V| = 0 */                            \
    X(222, normalize_vector3, none, 6, 3, 0)                                                                            \
    X(223, normalize_vector4, none, 8, 4, 0)                                                                            \
    X(224, interpolate_vector2, none, 5, 2, 0)        /* P, Q, t: Q + (P - Q) t */                                      \
    X(225, interpolate_vector3, none, 7, 3, 0)                                                                          \
    X(226, interpolate_vector4, none, 9, 4, 0)                                                                          \
    X(227, conjugate_quaternion, none, 4, 4, 0)                                                                         \
    X(228, negate_quaternion_w, none, 4, 4, 0)                                                                          \
    X(229, normalize_quaternion, none, 4, 4, may_fault) /* zero length faults */                                        \
    X(230, rotate_vector3, none, 7, 3, 0)             /* V, Q on top */                                                 \
    X(231, multiply_quaternion, none, 8, 4, 0)        /* Q (x) P */                                                     \
    X(232, slerp_quaternion, none, 9, 4, 0)           /* P, Q, t: Q at 0, P at 1 */                                     \
    X(233, quaternion_difference, none, 8, 4, 0)      /* rotation from Q to P */                                        \
    X(234, angles_to_quaternion, none, 3, 4, 0)       /* qZ(a) qX(b) qY(c), a on top */                                 \
    X(235, quaternion_to_angles, none, 4, 3, 0)                                                                         \
    X(236, direction_to_quaternion, none, 3, 4, 0)                                                                      \
    X(237, quaternion_y_axis, none, 4, 3, 0)          /* (0, 1, 0) rotated */                                           \
    X(238, quaternion_x_axis, none, 4, 3, 0)          /* (1, 0, 0) rotated */                                           \
    X(239, quaternion_z_axis, none, 4, 3, 0)          /* (0, 0, 1) rotated */                                           \
    X(240, quaternion_to_axis_angle, none, 4, 4, 0)   /* axis x on top, angle fourth */                                 \
    X(241, axis_angle_to_quaternion, none, 4, 4, 0)                                                                     \
    X(242, unpack_color3, none, 1, 3, 0)              /* red on top */                                                  \
    X(243, unpack_color4, none, 1, 4, 0)                                                                                \
    X(244, pack_color3, none, 3, 1, 0)                /* alpha 255 */                                                   \
    X(245, pack_color4, none, 4, 1, 0)                                                                                  \
    X(246, save_game, none, 0, 0, 0)                  /* id r0; r0 = 1 saved, 0 failed, -1 loaded */                    \
    X(247, load_game, none, 0, 0, may_stop)           /* id r0; returns at once when loaded */
// clang-format on

enum class Opcode : uint8_t {
#define ZOLT_OPCODE_ENUM(number, name, operand, pops, pushes, flags) name = number,
    ZOLT_OPCODE_LIST(ZOLT_OPCODE_ENUM)
#undef ZOLT_OPCODE_ENUM
};

constexpr uint32_t opcode_count = 248;

struct OpcodeInfo {
    const char* name;
    OperandKind operand;
    uint8_t pops;
    uint8_t pushes;
    uint8_t flags;
};

inline constexpr OpcodeInfo opcode_table[opcode_count] = {
#define ZOLT_OPCODE_INFO(number, name, operand, pops, pushes, flags) \
    {#name, OperandKind::operand, pops, pushes, [] {                 \
         using namespace opcode_flag;                                \
         return static_cast<uint8_t>(flags);                         \
     }()},
    ZOLT_OPCODE_LIST(ZOLT_OPCODE_INFO)
#undef ZOLT_OPCODE_INFO
};

// Null above 247.
constexpr const OpcodeInfo* find_opcode_info(uint32_t opcode) {
    return opcode < opcode_count ? &opcode_table[opcode] : nullptr;
}

// The opcode with this name (as the table spells it), or -1.
int find_opcode_by_name(const char* name);

// Offset of the first operand word of an instruction at opcode_offset.
constexpr uint32_t get_operand_word_offset(uint32_t opcode_offset) {
    return (opcode_offset + 4u) & ~3u;
}

constexpr uint32_t get_operand_word_count(OperandKind kind) {
    switch (kind) {
    case OperandKind::word1:
        return 1;
    case OperandKind::word2:
        return 2;
    case OperandKind::word3:
        return 3;
    case OperandKind::word4:
        return 4;
    default:
        return 0;
    }
}

// The offset of the instruction after the one at opcode_offset in code of
// code_size bytes; false when the opcode is above 247 or its operand does not
// lie wholly inside the code.
bool find_next_instruction(const uint8_t* code, uint32_t code_size, uint32_t opcode_offset, uint32_t* next_offset);

}  // namespace zolt::core

#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "zolt/core/script/code_resource_format.h"
#include "zolt/core/script/interpreter.h"
#include "zolt/core/script/interpreter_scalar.h"
#include "zolt/core/script/interpreter_state.h"
#include "libs/geometry/script_trigonometry.h"
#include "zolt/core/script/interpreter_vector.h"
#include "zolt/core/script/opcode_table.h"
#include "zolt/core/main_thread/scheduler.h"
#include "zolt/core/script/task.h"
#include "zolt/core/script/task_server.h"

namespace zolt::core {

namespace trig = geometry::script_trig;

namespace {

// The stack index an opcode may start from: at least the words it pops, and
// room for what it pushes beyond them, as the span above that minimum.
// Opcodes that reach deeper, or whose effect is not fixed, check the rest
// themselves. A byte that is no opcode fits no stack index.
struct StackLimits {
    uint32_t minimum;
    uint32_t span;
};

constexpr std::array<StackLimits, 256> make_stack_limits() {
    std::array<StackLimits, 256> limits{};
    for (uint32_t opcode = 0; opcode < 256; ++opcode) {
        if (opcode >= opcode_count) {
            limits[opcode] = {operand_stack_size + 1, 0};
            continue;
        }
        const OpcodeInfo& info = opcode_table[opcode];
        const uint32_t growth = info.pushes > info.pops ? info.pushes - info.pops : 0;
        limits[opcode] = {info.pops, operand_stack_size - growth - info.pops};
    }
    return limits;
}

constexpr std::array<StackLimits, 256> stack_limits = make_stack_limits();

// Reading the top word through this mask stays inside the stack even when
// the stack is empty; the word read then is never used.
constexpr uint32_t stack_index_mask = operand_stack_size - 1;
static_assert((operand_stack_size & stack_index_mask) == 0);

// The caller's frame base, code object and return offset.
constexpr uint32_t call_frame_size = 3;

inline uint32_t read_word(const uint8_t* code, uint32_t offset) {
    uint32_t word;
    std::memcpy(&word, code + offset, sizeof word);
    return word;
}

void end_task(Task* task) {
    destroy_object(task);
}

}  // namespace

uint32_t execute_task(Task* task, ScriptContext& context) {
    const RunningTask running{task, task->get_handle()};
    if (!task->restore_frame(context)) {
        end_task(task);
        return 0;
    }
    const uint8_t* code = context.code_start;
    uint32_t size = context.code_size;
    uint32_t pc = context.program_counter;
    uint32_t sp = context.stack_index;
    uint32_t fb = context.frame_base;
    uint32_t* const stack = context.stack;
    uint32_t* const r = context.registers;
    // A copy of the top word, written through to the stack by every body
    // that changes it, so the stack is always whole for what is called out
    // and a body reads its top operand without waiting for a store.
    uint32_t top = 0;
    uint32_t at = pc;
    uint32_t budget = 0;
    uint32_t opcode = 0;
    StepResult step = StepResult::next;
    if (fb > operand_stack_size) {
        goto fault;
    }
    top = stack[(sp - 1) & stack_index_mask];

// Bodies kept out of line see the loop's state through the context.
#define ZOLT_CALL_OUT(body)                \
    context.program_counter = pc;          \
    context.stack_index = sp;              \
    context.frame_base = fb;               \
    step = (body);                         \
    pc = context.program_counter;          \
    sp = context.stack_index;              \
    fb = context.frame_base;               \
    code = context.code_start;             \
    size = context.code_size;              \
    if (step == StepResult::after_call) {  \
        budget = 1;                        \
    } else if (step != StepResult::next) { \
        goto stopped;                      \
    }

// Operands: words start at the first 4-byte boundary after the opcode.
#define ZOLT_READ_WORDS(count)                                                \
    const uint32_t word_offset = (at + 4) & ~3u;                              \
    if (uint64_t{word_offset} + 4 * (count) > size) {                         \
        goto fault;                                                           \
    }                                                                         \
    pc = word_offset + 4 * (count);

#define ZOLT_READ_BYTE(name)   \
    if (pc >= size) {          \
        goto fault;            \
    }                          \
    const uint32_t name = code[pc++];

#define ZOLT_JUMP(target)       \
    if ((target) >= size) {     \
        goto fault;             \
    }                           \
    pc = (target);

// One table jump per instruction, repeated at the end of every body so that
// each body has its own jump to predict. The fetch tests the code end.
#define ZOLT_DISPATCH                                                     \
    if (pc >= size) {                                                     \
        goto end_normally;                                                \
    }                                                                     \
    at = pc;                                                              \
    goto* dispatch_table[code[pc++]];

// A body shared by several opcodes reads which one it runs from the code,
// so the dispatch keeps no copy of it.
#define ZOLT_CHECK_SHARED_STACK \
    opcode = code[at];          \
    ZOLT_CHECK_STACK(opcode)

// Every body starts with its opcode's stack test, so that the limits of a
// body of its own are constants.
#define ZOLT_CHECK_STACK(number)                                              \
    if (sp - stack_limits[number].minimum > stack_limits[number].span) {      \
        goto fault;                                                           \
    }

#define ZOLT_RELOAD_TOP top = stack[(sp - 1) & stack_index_mask];

// Bodies that leave `top` right go on with ZOLT_NEXT_TOP; all others
// reload it.
#define ZOLT_NEXT_TOP        \
    if (--budget == 0) {     \
        goto slice_end;      \
    }                        \
    ZOLT_DISPATCH

#define ZOLT_NEXT    \
    ZOLT_RELOAD_TOP  \
    ZOLT_NEXT_TOP

// Conditional jumps pop a word and compare it as a signed integer with 0.
#define ZOLT_JUMP_IF(condition)                                   \
    {                                                             \
        ZOLT_READ_WORDS(1);                                       \
        const int32_t value = scalar::to_s32(top);                \
        --sp;                                                     \
        ZOLT_RELOAD_TOP                                           \
        if (condition) {                                          \
            ZOLT_JUMP(read_word(code, word_offset));              \
        }                                                         \
        ZOLT_NEXT_TOP;                                            \
    }

#define ZOLT_PUSH_REGISTER(number) \
    top = r[number];               \
    stack[sp++] = top;             \
    ZOLT_NEXT_TOP;

#define ZOLT_POP_REGISTER(number) \
    r[number] = top;              \
    --sp;                         \
    ZOLT_NEXT;

#define ZOLT_SET_REGISTER(index)                       \
    {                                                  \
        ZOLT_READ_WORDS(1);                            \
        r[index] = read_word(code, word_offset);       \
        ZOLT_NEXT_TOP;                                 \
    }

#define ZOLT_PUSH_WORDS(count)                                          \
    {                                                                   \
        ZOLT_READ_WORDS(count);                                         \
        uint32_t words[count];                                          \
        std::memcpy(words, code + word_offset, 4 * (count));            \
        std::memcpy(stack + sp, words, 4 * (count));                    \
        top = words[(count) - 1];                                       \
        sp += (count);                                                  \
        ZOLT_NEXT_TOP;                                                  \
    }

// Bodies that the compiler keeps out of line get a copy of the stack index,
// so that the loop's own can stay in a register.
#define ZOLT_WITH_STACK_INDEX(call) \
    {                               \
        uint32_t moved_sp = sp;     \
        call;                       \
        sp = moved_sp;              \
    }

// The groups of opcodes that move 1 to 4 words have one body per count, so
// that every copy moves a fixed number of words.
#define ZOLT_DUPLICATE(count)                                       \
    {                                                               \
        std::memcpy(stack + sp, stack + sp - (count), (count) * 4); \
        sp += (count);                                              \
        ZOLT_NEXT_TOP;                                              \
    }

#define ZOLT_SWAP(count)                                                         \
    {                                                                            \
        uint32_t saved[count];                                                   \
        std::memcpy(saved, stack + sp - (count), (count) * 4);                   \
        std::memmove(stack + sp - (count), stack + sp - 2 * (count), (count) * 4); \
        std::memcpy(stack + sp - 2 * (count), saved, (count) * 4);               \
        ZOLT_NEXT;                                                               \
    }

#define ZOLT_PUSH_LOCALS(count)                                        \
    {                                                                  \
        ZOLT_READ_BYTE(local);                                         \
        if (fb + local + (count) > sp) {                               \
            goto fault;                                                \
        }                                                              \
        std::memcpy(stack + sp, stack + fb + local, (count) * 4);      \
        top = stack[fb + local + (count) - 1];                         \
        sp += (count);                                                 \
        ZOLT_NEXT_TOP;                                                 \
    }

#define ZOLT_POP_LOCALS(count)                                         \
    {                                                                  \
        ZOLT_READ_BYTE(local);                                         \
        sp -= (count);                                                 \
        if (fb + local + (count) > sp) {                               \
            goto fault;                                                \
        }                                                              \
        std::memcpy(stack + fb + local, stack + sp, (count) * 4);      \
        ZOLT_NEXT;                                                     \
    }

#define ZOLT_PUSH_ARGUMENTS(count)                                                  \
    {                                                                               \
        ZOLT_READ_BYTE(argument);                                                   \
        if (fb < 3 + (count) + argument || fb - 3 - argument > sp) {                \
            goto fault;                                                             \
        }                                                                           \
        std::memcpy(stack + sp, stack + fb - 3 - (count) - argument, (count) * 4);  \
        top = stack[fb - 4 - argument];                                             \
        sp += (count);                                                              \
        ZOLT_NEXT_TOP;                                                              \
    }

#define ZOLT_POP_ARGUMENTS(count)                                                   \
    {                                                                               \
        ZOLT_READ_BYTE(argument);                                                   \
        sp -= (count);                                                              \
        if (fb < 3 + (count) + argument || fb - 3 - argument > sp) {                \
            goto fault;                                                             \
        }                                                                           \
        std::memcpy(stack + fb - 3 - (count) - argument, stack + sp, (count) * 4);  \
        ZOLT_NEXT;                                                                  \
    }

    // A byte that has no body here faults like an invalid opcode.
    static const void* const dispatch_table[256] = {
        &&op_0, &&op_1, &&op_2, &&op_3, &&no_body, &&no_body, &&op_6, &&op_7,
        &&op_8, &&op_9, &&op_10, &&op_11, &&op_12, &&op_13, &&op_14, &&op_15,
        &&op_16, &&op_17, &&op_18, &&op_19, &&op_20, &&op_21, &&op_22, &&op_23,
        &&op_24, &&op_25, &&op_26, &&op_27, &&op_28, &&op_29, &&op_30, &&op_31,
        &&op_32, &&op_33, &&op_34, &&op_35, &&op_36, &&op_37, &&op_38, &&op_39,
        &&op_40, &&op_41, &&op_42, &&op_43, &&op_44, &&op_45, &&op_46, &&op_47,
        &&op_48, &&op_49, &&op_50, &&op_51, &&op_52, &&op_53, &&op_54, &&op_55,
        &&op_56, &&op_57, &&op_58, &&op_59, &&op_60, &&op_61, &&op_62, &&op_63,
        &&op_64, &&op_65, &&op_66, &&op_67, &&op_68, &&op_69, &&op_70, &&op_71,
        &&op_72, &&op_73, &&op_74, &&op_75, &&op_76, &&op_77, &&op_78, &&op_79,
        &&op_80, &&op_81, &&op_82, &&op_83, &&op_84, &&op_85, &&op_86, &&op_87,
        &&op_88, &&op_89, &&op_90, &&op_91, &&op_92, &&op_93, &&op_94, &&op_95,
        &&op_96, &&op_97, &&op_98, &&op_99, &&op_100, &&op_101, &&op_102, &&op_103,
        &&op_104, &&op_105, &&op_106, &&op_107, &&op_108, &&op_109, &&op_110, &&op_111,
        &&op_112, &&op_113, &&op_114, &&op_115, &&op_116, &&op_117, &&op_118, &&op_119,
        &&op_120, &&op_121, &&op_122, &&op_123, &&op_124, &&op_125, &&op_126, &&op_127,
        &&op_128, &&op_129, &&op_130, &&op_131, &&op_132, &&op_133, &&op_134, &&op_135,
        &&op_136, &&op_137, &&op_138, &&op_139, &&op_140, &&op_141, &&op_142, &&op_143,
        &&op_144, &&op_145, &&op_146, &&op_147, &&op_148, &&op_149, &&op_150, &&op_151,
        &&op_152, &&op_153, &&op_154, &&op_155, &&op_156, &&op_157, &&op_158, &&op_159,
        &&op_160, &&op_161, &&op_162, &&op_163, &&op_164, &&op_165, &&op_166, &&op_167,
        &&op_168, &&op_169, &&op_170, &&op_171, &&op_172, &&op_173, &&op_174, &&op_175,
        &&op_176, &&op_177, &&op_178, &&op_179, &&op_180, &&op_181, &&op_182, &&op_183,
        &&op_184, &&op_185, &&op_186, &&op_187, &&op_188, &&op_189, &&op_190, &&op_191,
        &&op_192, &&op_193, &&op_194, &&op_195, &&op_196, &&op_197, &&op_198, &&op_199,
        &&op_200, &&op_201, &&op_202, &&op_203, &&op_204, &&op_205, &&op_206, &&op_207,
        &&op_208, &&op_209, &&op_210, &&op_211, &&op_212, &&op_213, &&op_214, &&op_215,
        &&op_216, &&op_217, &&op_218, &&op_219, &&op_220, &&op_221, &&op_222, &&op_223,
        &&op_224, &&op_225, &&op_226, &&op_227, &&op_228, &&op_229, &&op_230, &&op_231,
        &&op_232, &&op_233, &&op_234, &&op_235, &&op_236, &&op_237, &&op_238, &&op_239,
        &&op_240, &&op_241, &&op_242, &&op_243, &&op_244, &&op_245, &&no_body, &&no_body,
        &&no_body, &&no_body, &&no_body, &&no_body, &&no_body, &&no_body, &&no_body, &&no_body,
    };

    budget = instructions_per_slice;
    ZOLT_DISPATCH;

slice_end:
    if (is_other_thread_due()) {
        context.program_counter = pc;
        context.stack_index = sp;
        context.frame_base = fb;
        task->save_frame(context);
        return 1;
    }
    budget = instructions_per_slice;
    ZOLT_DISPATCH;

    op_0:
        ZOLT_CHECK_STACK(0);
        ZOLT_NEXT_TOP;
    op_1:
        ZOLT_CHECK_STACK(1);
        ZOLT_CALL_OUT(start_task_opcode(context, running));
        ZOLT_NEXT;
    op_2:
        ZOLT_CHECK_STACK(2);
        goto end_normally;
    op_3:
        ZOLT_CHECK_STACK(3);
        ZOLT_CALL_OUT(wait_opcode(context, running));
        ZOLT_NEXT;
    op_6:
        ZOLT_CHECK_STACK(6);
        post_message_opcode(context, running);
        ZOLT_NEXT;
    op_7:
        ZOLT_CHECK_STACK(7);
        ZOLT_CALL_OUT(create_object_opcode(context, running));
        ZOLT_NEXT;
    op_8:
        ZOLT_CHECK_STACK(8);
        ZOLT_CALL_OUT(destroy_object_opcode(context, running));
        ZOLT_NEXT;
    op_9:
        ZOLT_CHECK_STACK(9);
        ZOLT_CALL_OUT(shake_resources_opcode(context, running));
        ZOLT_NEXT;
    op_10:
    op_11:
    op_12:
    op_13:
    op_14:
    op_15:
        ZOLT_CHECK_SHARED_STACK;
        ZOLT_CALL_OUT(element_opcode(context, opcode));
        ZOLT_NEXT;
    op_17: {
        ZOLT_CHECK_STACK(17);
        ZOLT_READ_WORDS(1);
        const uint32_t length = read_word(code, word_offset);
        if (uint64_t{pc} + uint64_t{length} * 2 > size) {
            goto fault;
        }
        const uint8_t* const literal = code + pc;
        pc += length * 2;
        ZOLT_CALL_OUT(string_opcode(context, running, 17, literal, length));
        ZOLT_NEXT;
    }
    op_16:
    op_18:
    op_19:
    op_20:
    op_21:
    op_22:
    op_23:
    op_24:
        ZOLT_CHECK_SHARED_STACK;
        ZOLT_CALL_OUT(string_opcode(context, running, opcode, nullptr, 0));
        ZOLT_NEXT;
    op_25:
        ZOLT_CHECK_STACK(25);
        r[0] = task->get_context_handle();
        ZOLT_NEXT;
    op_26:
        ZOLT_CHECK_STACK(26);
        set_context_opcode(running, r[0]);
        ZOLT_NEXT;
    op_27:
        ZOLT_CHECK_STACK(27);
        stack[sp++] = task->get_context_handle();
        ZOLT_NEXT;
    op_28:
        ZOLT_CHECK_STACK(28);
        set_context_opcode(running, stack[--sp]);
        ZOLT_NEXT;
    op_29:
        ZOLT_CHECK_STACK(29);
        r[0] = resolve_object_opcode(r[0]);
        ZOLT_NEXT;
    op_30:
        ZOLT_CHECK_STACK(30);
        r[0] = running.handle;
        ZOLT_NEXT;
    op_31:
    op_32:
    op_33:
    op_34:
    op_35:
    op_36:
        ZOLT_CHECK_SHARED_STACK;
        ZOLT_CALL_OUT(property_opcode(context, running, opcode));
        ZOLT_NEXT;
    op_37: {
        ZOLT_CHECK_STACK(37);
        ZOLT_READ_WORDS(1);
        const uint32_t reference = read_word(code, word_offset);
        if (get_code_chain_index(reference) == builtin_chain_index) {
            ZOLT_CALL_OUT(call_builtin_opcode(context, running, get_code_entry_index(reference)));
        } else {
            ZOLT_CALL_OUT(call_code_reference(context, running, reference));
        }
        ZOLT_NEXT;
    }
    op_38: {
        ZOLT_CHECK_STACK(38);
        const uint32_t reference = stack[--sp];
        ZOLT_CALL_OUT(call_code_reference(context, running, reference));
        ZOLT_NEXT;
    }
    op_39: {
        ZOLT_CHECK_STACK(39);
        ZOLT_READ_WORDS(1);
        const uint32_t target = read_word(code, word_offset);
        if (target >= size || sp > operand_stack_size - call_frame_size) {
            goto fault;
        }
        stack[sp] = fb;
        stack[sp + 1] = context.code_object;
        stack[sp + 2] = pc;
        top = pc;
        sp += call_frame_size;
        fb = sp;
        pc = target;
        ZOLT_NEXT_TOP;
    }
    op_40: {
        ZOLT_CHECK_STACK(40);
        // A return within the running code object stays here;
        // the rest, and every frame that does not add up, goes
        // out of line.
        if (fb >= call_frame_size) {
            const uint32_t* const frame = stack + fb - call_frame_size;
            if (frame[1] == context.code_object && frame[0] <= fb - call_frame_size) {
                sp = fb - call_frame_size;
                fb = frame[0];
                pc = frame[2];
                if (pc >= size) {
                    goto fault;
                }
                ZOLT_NEXT;
            }
        }
        ZOLT_CALL_OUT(return_from_call(context, running));
        ZOLT_NEXT;
    }
    op_41: {
        ZOLT_CHECK_STACK(41);
        ZOLT_READ_WORDS(1);
        ZOLT_JUMP(read_word(code, word_offset));
        ZOLT_NEXT;
    }
    op_42:
        ZOLT_CHECK_STACK(42);
        ZOLT_JUMP_IF(value == 0);
    op_43:
        ZOLT_CHECK_STACK(43);
        ZOLT_JUMP_IF(value != 0);
    op_44:
        ZOLT_CHECK_STACK(44);
        ZOLT_JUMP_IF(value < 0);
    op_45:
        ZOLT_CHECK_STACK(45);
        ZOLT_JUMP_IF(value <= 0);
    op_46:
        ZOLT_CHECK_STACK(46);
        ZOLT_JUMP_IF(value > 0);
    op_47:
        ZOLT_CHECK_STACK(47);
        ZOLT_JUMP_IF(value >= 0);
    op_48:
        ZOLT_CHECK_STACK(48);
        ZOLT_SET_REGISTER(0);
    op_49:
        ZOLT_CHECK_STACK(49);
        ZOLT_SET_REGISTER(1);
    op_50:
        ZOLT_CHECK_STACK(50);
        ZOLT_SET_REGISTER(2);
    op_51:
        ZOLT_CHECK_STACK(51);
        ZOLT_SET_REGISTER(3);
    op_52:
        ZOLT_CHECK_STACK(52);
        ZOLT_SET_REGISTER(4);
    op_53:
        ZOLT_CHECK_STACK(53);
        ZOLT_SET_REGISTER(5);
    op_54:
        ZOLT_CHECK_STACK(54);
        ZOLT_SET_REGISTER(6);
    op_55:
        ZOLT_CHECK_STACK(55);
        ZOLT_SET_REGISTER(7);
    op_56:
        ZOLT_CHECK_STACK(56);
        ZOLT_PUSH_REGISTER(0);
    op_57:
        ZOLT_CHECK_STACK(57);
        ZOLT_PUSH_REGISTER(1);
    op_58:
        ZOLT_CHECK_STACK(58);
        ZOLT_PUSH_REGISTER(2);
    op_59:
        ZOLT_CHECK_STACK(59);
        ZOLT_PUSH_REGISTER(3);
    op_60:
        ZOLT_CHECK_STACK(60);
        ZOLT_PUSH_REGISTER(4);
    op_61:
        ZOLT_CHECK_STACK(61);
        ZOLT_PUSH_REGISTER(5);
    op_62:
        ZOLT_CHECK_STACK(62);
        ZOLT_PUSH_REGISTER(6);
    op_63:
        ZOLT_CHECK_STACK(63);
        ZOLT_PUSH_REGISTER(7);
    op_64:
    op_65:
        ZOLT_CHECK_SHARED_STACK;
        for (uint32_t n = 4; n > 0; --n) {
            stack[sp++] = r[2 * (n - 1) + (opcode - 64)];
        }
        ZOLT_NEXT;
    op_66:
        ZOLT_CHECK_STACK(66);
        for (uint32_t n = 8; n > 0; --n) {
            stack[sp++] = r[n - 1];
        }
        ZOLT_NEXT;
    op_67:
        ZOLT_CHECK_STACK(67);
        ZOLT_POP_REGISTER(0);
    op_68:
        ZOLT_CHECK_STACK(68);
        ZOLT_POP_REGISTER(1);
    op_69:
        ZOLT_CHECK_STACK(69);
        ZOLT_POP_REGISTER(2);
    op_70:
        ZOLT_CHECK_STACK(70);
        ZOLT_POP_REGISTER(3);
    op_71:
        ZOLT_CHECK_STACK(71);
        ZOLT_POP_REGISTER(4);
    op_72:
        ZOLT_CHECK_STACK(72);
        ZOLT_POP_REGISTER(5);
    op_73:
        ZOLT_CHECK_STACK(73);
        ZOLT_POP_REGISTER(6);
    op_74:
        ZOLT_CHECK_STACK(74);
        ZOLT_POP_REGISTER(7);
    op_75:
    op_76:
        ZOLT_CHECK_SHARED_STACK;
        for (uint32_t n = 0; n < 4; ++n) {
            r[2 * n + (opcode - 75)] = stack[--sp];
        }
        ZOLT_NEXT;
    op_77:
        ZOLT_CHECK_STACK(77);
        for (uint32_t n = 0; n < 8; ++n) {
            r[n] = stack[--sp];
        }
        ZOLT_NEXT;
    op_78: {
        ZOLT_CHECK_STACK(78);
        ZOLT_READ_WORDS(1);
        const uint32_t word = read_word(code, word_offset);
        stack[sp] = word;
        // A constant pushed only to be the second operand of the float
        // addition, subtraction or product that follows: both run at
        // once, each counted against the slice, with the same result.
        if (pc < size && budget > 1 && sp > 0) {
            const uint8_t next = code[pc];
            if (next == 156 || next == 158 || next == 163) {
                --budget;
                at = pc++;
                const float a = word_to_float(top);
                const float b = word_to_float(word);
                top = float_to_word(next == 156 ? a + b : next == 158 ? a - b : a * b);
                stack[sp - 1] = top;
                ZOLT_NEXT_TOP;
            }
        }
        top = word;
        ++sp;
        ZOLT_NEXT_TOP;
    }
    op_79:
        ZOLT_CHECK_STACK(79);
        ZOLT_PUSH_WORDS(2);
    op_80:
        ZOLT_CHECK_STACK(80);
        ZOLT_PUSH_WORDS(3);
    op_81:
        ZOLT_CHECK_STACK(81);
        ZOLT_PUSH_WORDS(4);
    op_82:
        ZOLT_CHECK_STACK(82);
        top = 0;
        stack[sp++] = top;
        ZOLT_NEXT_TOP;
    op_83:
        ZOLT_CHECK_STACK(83);
        top = 1;
        stack[sp++] = top;
        ZOLT_NEXT_TOP;
    op_84: {
        ZOLT_CHECK_STACK(84);
        ZOLT_READ_BYTE(value);
        top = value;
        stack[sp++] = top;
        ZOLT_NEXT_TOP;
    }
    op_85: {
        ZOLT_CHECK_STACK(85);
        ZOLT_READ_BYTE(value);
        top = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(value)));
        stack[sp++] = top;
        ZOLT_NEXT_TOP;
    }
    op_86:
        ZOLT_CHECK_STACK(86);
        sp -= 1;
        ZOLT_NEXT;
    op_87:
        ZOLT_CHECK_STACK(87);
        sp -= 2;
        ZOLT_NEXT;
    op_88:
        ZOLT_CHECK_STACK(88);
        sp -= 3;
        ZOLT_NEXT;
    op_89:
        ZOLT_CHECK_STACK(89);
        sp -= 4;
        ZOLT_NEXT;
    op_90: {
        ZOLT_CHECK_STACK(90);
        ZOLT_READ_BYTE(count);
        if (sp + count > operand_stack_size) {
            goto fault;
        }
        sp += count;
        ZOLT_NEXT;
    }
    op_91: {
        ZOLT_CHECK_STACK(91);
        ZOLT_READ_BYTE(count);
        if (count > sp) {
            goto fault;
        }
        sp -= count;
        ZOLT_NEXT;
    }
    op_92:
        ZOLT_CHECK_STACK(92);
        stack[sp++] = top;
        ZOLT_NEXT_TOP;
    op_93:
        ZOLT_CHECK_STACK(93);
        ZOLT_DUPLICATE(2);
    op_94:
        ZOLT_CHECK_STACK(94);
        ZOLT_DUPLICATE(3);
    op_95:
        ZOLT_CHECK_STACK(95);
        ZOLT_DUPLICATE(4);
    op_96:
        ZOLT_CHECK_STACK(96);
        ZOLT_SWAP(1);
    op_97:
        ZOLT_CHECK_STACK(97);
        ZOLT_SWAP(2);
    op_98:
        ZOLT_CHECK_STACK(98);
        ZOLT_SWAP(3);
    op_99:
        ZOLT_CHECK_STACK(99);
        ZOLT_SWAP(4);
    op_100: {
        ZOLT_CHECK_STACK(100);
        ZOLT_READ_BYTE(depth);
        if (depth >= sp) {
            goto fault;
        }
        top = stack[sp - 1 - depth];
        stack[sp] = top;
        ++sp;
        ZOLT_NEXT_TOP;
    }
    op_101: {
        ZOLT_CHECK_STACK(101);
        ZOLT_READ_BYTE(depth);
        const uint32_t value = stack[--sp];
        if (depth >= sp) {
            goto fault;
        }
        stack[sp - 1 - depth] = value;
        ZOLT_NEXT;
    }
    op_102:
        ZOLT_CHECK_STACK(102);
        ZOLT_PUSH_LOCALS(1);
    op_103:
        ZOLT_CHECK_STACK(103);
        ZOLT_PUSH_LOCALS(2);
    op_104:
        ZOLT_CHECK_STACK(104);
        ZOLT_PUSH_LOCALS(3);
    op_105:
        ZOLT_CHECK_STACK(105);
        ZOLT_PUSH_LOCALS(4);
    op_106:
        ZOLT_CHECK_STACK(106);
        ZOLT_POP_LOCALS(1);
    op_107:
        ZOLT_CHECK_STACK(107);
        ZOLT_POP_LOCALS(2);
    op_108:
        ZOLT_CHECK_STACK(108);
        ZOLT_POP_LOCALS(3);
    op_109:
        ZOLT_CHECK_STACK(109);
        ZOLT_POP_LOCALS(4);
    op_110:
        ZOLT_CHECK_STACK(110);
        ZOLT_PUSH_ARGUMENTS(1);
    op_111:
        ZOLT_CHECK_STACK(111);
        ZOLT_PUSH_ARGUMENTS(2);
    op_112:
        ZOLT_CHECK_STACK(112);
        ZOLT_PUSH_ARGUMENTS(3);
    op_113:
        ZOLT_CHECK_STACK(113);
        ZOLT_PUSH_ARGUMENTS(4);
    op_114:
        ZOLT_CHECK_STACK(114);
        ZOLT_POP_ARGUMENTS(1);
    op_115:
        ZOLT_CHECK_STACK(115);
        ZOLT_POP_ARGUMENTS(2);
    op_116:
        ZOLT_CHECK_STACK(116);
        ZOLT_POP_ARGUMENTS(3);
    op_117:
        ZOLT_CHECK_STACK(117);
        ZOLT_POP_ARGUMENTS(4);
    op_118:
        ZOLT_CHECK_STACK(118);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return scalar::sign_word(a < b, a > b); });
        ZOLT_NEXT_TOP;
    op_119:
        ZOLT_CHECK_STACK(119);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) {
            return scalar::sign_word(scalar::to_s32(a) < scalar::to_s32(b),
                                     scalar::to_s32(a) > scalar::to_s32(b));
        });
        ZOLT_NEXT_TOP;
    op_120:
        ZOLT_CHECK_STACK(120);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) {
            return scalar::sign_word(word_to_float(a) < word_to_float(b),
                                     word_to_float(a) > word_to_float(b));
        });
        ZOLT_NEXT_TOP;
    op_121:
    op_122:
    op_123:
        ZOLT_CHECK_SHARED_STACK;
        scalar::compare_vectors(stack, sp, opcode - 119);
        ZOLT_NEXT;
    op_124:
        ZOLT_CHECK_STACK(124);
        scalar::unary(stack, sp, top, [](uint32_t a) { return a != 0 ? 1u : 0u; });
        ZOLT_NEXT_TOP;
    op_125:
        ZOLT_CHECK_STACK(125);
        scalar::unary(stack, sp, top, [](uint32_t a) { return scalar::sign_word(scalar::to_s32(a) < 0, scalar::to_s32(a) > 0); });
        ZOLT_NEXT_TOP;
    op_126:
        ZOLT_CHECK_STACK(126);
        scalar::unary(stack, sp, top, [](uint32_t a) { return scalar::sign_word(word_to_float(a) < 0.0f, word_to_float(a) > 0.0f); });
        ZOLT_NEXT_TOP;
    op_127:
    op_128:
    op_129:
        ZOLT_CHECK_SHARED_STACK;
        scalar::test_vector(stack, sp, opcode - 125);
        ZOLT_NEXT;
    op_130:
    op_131:
    op_132:
    op_133:
    op_134:
    op_135: {
        ZOLT_CHECK_SHARED_STACK;
        const int32_t value = scalar::to_s32(stack[sp - 1]);
        const bool holds = opcode == 130   ? value == 0
                           : opcode == 131 ? value != 0
                           : opcode == 132 ? value < 0
                           : opcode == 133 ? value <= 0
                           : opcode == 134 ? value > 0
                                           : value >= 0;
        stack[sp - 1] = holds ? 1 : 0;
        ZOLT_NEXT;
    }
    op_136:
        ZOLT_CHECK_STACK(136);
        scalar::unary(stack, sp, top, [](uint32_t a) { return float_to_word(static_cast<float>(a)); });
        ZOLT_NEXT_TOP;
    op_137:
        ZOLT_CHECK_STACK(137);
        scalar::unary(stack, sp, top, scalar::float_to_unsigned);
        ZOLT_NEXT_TOP;
    op_138:
        ZOLT_CHECK_STACK(138);
        scalar::unary(stack, sp, top, [](uint32_t a) { return float_to_word(static_cast<float>(scalar::to_s32(a))); });
        ZOLT_NEXT_TOP;
    op_139:
        ZOLT_CHECK_STACK(139);
        scalar::unary(stack, sp, top, scalar::float_to_signed);
        ZOLT_NEXT_TOP;
    op_140:
        ZOLT_CHECK_STACK(140);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a & b; });
        ZOLT_NEXT_TOP;
    op_141:
        ZOLT_CHECK_STACK(141);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a | b; });
        ZOLT_NEXT_TOP;
    op_142:
        ZOLT_CHECK_STACK(142);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a ^ b; });
        ZOLT_NEXT_TOP;
    op_143:
        ZOLT_CHECK_STACK(143);
        scalar::unary(stack, sp, top, [](uint32_t a) { return ~a; });
        ZOLT_NEXT_TOP;
    op_144:
        ZOLT_CHECK_STACK(144);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a << (b & 31); });
        ZOLT_NEXT_TOP;
    op_145:
        ZOLT_CHECK_STACK(145);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a >> (b & 31); });
        ZOLT_NEXT_TOP;
    op_146:
        ZOLT_CHECK_STACK(146);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return static_cast<uint32_t>(scalar::to_s32(a) >> (b & 31)); });
        ZOLT_NEXT_TOP;
    op_147:
        ZOLT_CHECK_STACK(147);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return std::rotl(a, static_cast<int>(b & 31)); });
        ZOLT_NEXT_TOP;
    op_148:
        ZOLT_CHECK_STACK(148);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return std::rotr(a, static_cast<int>(b & 31)); });
        ZOLT_NEXT_TOP;
    op_149:
        ZOLT_CHECK_STACK(149);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a != 0 && b != 0 ? 1u : 0u; });
        ZOLT_NEXT_TOP;
    op_150:
        ZOLT_CHECK_STACK(150);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a != 0 || b != 0 ? 1u : 0u; });
        ZOLT_NEXT_TOP;
    op_151:
        ZOLT_CHECK_STACK(151);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return (a != 0) != (b != 0) ? 1u : 0u; });
        ZOLT_NEXT_TOP;
    op_152:
        ZOLT_CHECK_STACK(152);
        scalar::unary(stack, sp, top, [](uint32_t a) { return a == 0 ? 1u : 0u; });
        ZOLT_NEXT_TOP;
    op_153:
        ZOLT_CHECK_STACK(153);
        scalar::unary(stack, sp, top, [](uint32_t a) { return 0u - a; });
        ZOLT_NEXT_TOP;
    op_154:
        ZOLT_CHECK_STACK(154);
        scalar::unary_float(stack, sp, top, [](float a) { return -0.0f - a; });
        ZOLT_NEXT_TOP;
    op_155:
        ZOLT_CHECK_STACK(155);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a + b; });
        ZOLT_NEXT_TOP;
    op_156:
        ZOLT_CHECK_STACK(156);
        scalar::binary_float(stack, sp, top, [](float a, float b) { return a + b; });
        ZOLT_NEXT_TOP;
    op_157:
        ZOLT_CHECK_STACK(157);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a - b; });
        ZOLT_NEXT_TOP;
    op_158:
        ZOLT_CHECK_STACK(158);
        scalar::binary_float(stack, sp, top, [](float a, float b) { return a - b; });
        ZOLT_NEXT_TOP;
    op_159:
        ZOLT_CHECK_STACK(159);
        ++top;
        stack[sp - 1] = top;
        ZOLT_NEXT_TOP;
    op_160:
        ZOLT_CHECK_STACK(160);
        --top;
        stack[sp - 1] = top;
        ZOLT_NEXT_TOP;
    op_161:
    op_162:
        ZOLT_CHECK_SHARED_STACK;
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a * b; });
        ZOLT_NEXT_TOP;
    op_163:
        ZOLT_CHECK_STACK(163);
        scalar::binary_float(stack, sp, top, [](float a, float b) { return a * b; });
        ZOLT_NEXT_TOP;
    op_164:
    op_167:
        ZOLT_CHECK_SHARED_STACK;
        if (!scalar::divide_unsigned(stack, sp, opcode == 167)) {
            goto fault;
        }
        ZOLT_NEXT;
    op_165:
    op_168:
        ZOLT_CHECK_SHARED_STACK;
        if (!scalar::divide_signed(stack, sp, opcode == 168)) {
            goto fault;
        }
        ZOLT_NEXT;
    op_166:
        ZOLT_CHECK_STACK(166);
        if (word_to_float(stack[sp - 1]) == 0.0f) {
            goto fault;
        }
        scalar::binary_float(stack, sp, top, [](float a, float b) { return a / b; });
        ZOLT_NEXT_TOP;
    op_169:
        ZOLT_CHECK_STACK(169);
        if (word_to_float(stack[sp - 1]) == 0.0f) {
            goto fault;
        }
        scalar::binary_float(stack, sp, top, [](float a, float b) { return std::fmod(a, b); });
        ZOLT_NEXT_TOP;
    op_170:
        ZOLT_CHECK_STACK(170);
        if (word_to_float(stack[sp - 1]) == 0.0f) {
            goto fault;
        }
        scalar::unary_float(stack, sp, top, [](float a) { return 1.0f / a; });
        ZOLT_NEXT_TOP;
    op_171:
        ZOLT_CHECK_STACK(171);
        scalar::unary(stack, sp, top, scalar::absolute_signed);
        ZOLT_NEXT_TOP;
    op_172:
        ZOLT_CHECK_STACK(172);
        scalar::unary(stack, sp, top, [](uint32_t a) { return a & 0x7FFFFFFFu; });
        ZOLT_NEXT_TOP;
    op_173:
        ZOLT_CHECK_STACK(173);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a < b ? a : b; });
        ZOLT_NEXT_TOP;
    op_174:
        ZOLT_CHECK_STACK(174);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return scalar::to_s32(a) < scalar::to_s32(b) ? a : b; });
        ZOLT_NEXT_TOP;
    op_175:
        ZOLT_CHECK_STACK(175);
        scalar::binary_float(stack, sp, top, [](float a, float b) { return a > b ? b : a; });
        ZOLT_NEXT_TOP;
    op_176:
        ZOLT_CHECK_STACK(176);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a > b ? a : b; });
        ZOLT_NEXT_TOP;
    op_177:
        ZOLT_CHECK_STACK(177);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return scalar::to_s32(a) > scalar::to_s32(b) ? a : b; });
        ZOLT_NEXT_TOP;
    op_178:
        ZOLT_CHECK_STACK(178);
        scalar::binary_float(stack, sp, top, [](float a, float b) { return a > b ? a : b; });
        ZOLT_NEXT_TOP;
    op_179:
        ZOLT_CHECK_STACK(179);
        if (word_to_float(stack[sp - 1]) < 0.0f) {
            goto fault;
        }
        scalar::unary_float(stack, sp, top, [](float a) { return std::sqrt(a); });
        ZOLT_NEXT_TOP;
    op_180:
        ZOLT_CHECK_STACK(180);
        scalar::unary_float(stack, sp, top, trig::sine);
        ZOLT_NEXT_TOP;
    op_181:
        ZOLT_CHECK_STACK(181);
        scalar::unary_float(stack, sp, top, trig::cosine);
        ZOLT_NEXT_TOP;
    op_182:
        ZOLT_CHECK_STACK(182);
        scalar::unary_float(stack, sp, top, trig::tangent);
        ZOLT_NEXT_TOP;
    op_183:
        ZOLT_CHECK_STACK(183);
        scalar::unary_float(stack, sp, top, trig::arcsine);
        ZOLT_NEXT_TOP;
    op_184:
        ZOLT_CHECK_STACK(184);
        scalar::unary_float(stack, sp, top, trig::arccosine);
        ZOLT_NEXT_TOP;
    op_185:
        ZOLT_CHECK_STACK(185);
        scalar::unary_float(stack, sp, top, trig::arctangent);
        ZOLT_NEXT_TOP;
    op_186:
        ZOLT_CHECK_STACK(186);
        scalar::binary_float(stack, sp, top, [](float x, float y) { return trig::arctangent2(y, x); });
        ZOLT_NEXT_TOP;
    op_187:
        ZOLT_CHECK_STACK(187);
        if (word_to_float(stack[sp - 1]) <= 0.0f) {
            goto fault;
        }
        scalar::unary_float(stack, sp, top, [](float a) { return std::log(a); });
        ZOLT_NEXT_TOP;
    op_188:
        ZOLT_CHECK_STACK(188);
        scalar::unary_float(stack, sp, top, [](float a) { return std::exp(a); });
        ZOLT_NEXT_TOP;
    op_189:
        ZOLT_CHECK_STACK(189);
        scalar::binary_float(stack, sp, top, [](float exponent, float base) { return std::pow(base, exponent); });
        ZOLT_NEXT_TOP;
    op_190:
        ZOLT_CHECK_STACK(190);
        scalar::unary_float(stack, sp, top, [](float a) { return std::floor(a); });
        ZOLT_NEXT_TOP;
    op_191:
        ZOLT_CHECK_STACK(191);
        scalar::unary_float(stack, sp, top, [](float a) { return std::ceil(a); });
        ZOLT_NEXT_TOP;
    op_192:
        ZOLT_CHECK_STACK(192);
        scalar::unary_float(stack, sp, top, [](float a) { return std::floor(a + 0.5f); });
        ZOLT_NEXT_TOP;
    op_193:
        ZOLT_CHECK_STACK(193);
        scalar::unary_float(stack, sp, top, [](float a) { return a - std::floor(a); });
        ZOLT_NEXT_TOP;
    op_194:
        ZOLT_CHECK_STACK(194);
        scalar::interpolate(stack, sp);
        ZOLT_NEXT;
    op_195:
        ZOLT_CHECK_STACK(195);
        scalar::binary_float(stack, sp, top, scalar::wrapped_difference);
        ZOLT_NEXT_TOP;
    op_196:
    op_197:
    op_198:
        ZOLT_CHECK_SHARED_STACK;
        vector::negate_in_place(stack, sp, opcode - 194);
        ZOLT_NEXT;
    op_199:
    op_200:
    op_201:
        ZOLT_CHECK_SHARED_STACK;
        vector::combine(stack, sp, opcode - 197, [](float a, float b) { return a + b; });
        ZOLT_NEXT;
    op_202:
    op_203:
    op_204:
        ZOLT_CHECK_SHARED_STACK;
        vector::combine(stack, sp, opcode - 200, [](float a, float b) { return a - b; });
        ZOLT_NEXT;
    op_205:
    op_206:
    op_207:
        ZOLT_CHECK_SHARED_STACK;
        vector::combine(stack, sp, opcode - 203, [](float a, float b) { return a * b; });
        ZOLT_NEXT;
    op_208:
    op_209:
    op_210:
        ZOLT_CHECK_SHARED_STACK;
        vector::scale(stack, sp, opcode - 206, false);
        ZOLT_NEXT;
    op_211:
    op_212:
    op_213:
        ZOLT_CHECK_SHARED_STACK;
        if (!vector::scale(stack, sp, opcode - 209, true)) {
            goto fault;
        }
        ZOLT_NEXT;
    op_214:
    op_215:
    op_216:
        ZOLT_CHECK_SHARED_STACK;
        vector::dot_product(stack, sp, opcode - 212);
        ZOLT_NEXT;
    op_217:
        ZOLT_CHECK_STACK(217);
        vector::cross(stack, sp);
        ZOLT_NEXT;
    op_218:
    op_219:
    op_220:
        ZOLT_CHECK_SHARED_STACK;
        vector::length(stack, sp, opcode - 216);
        ZOLT_NEXT;
    op_221:
    op_222:
    op_223:
        ZOLT_CHECK_SHARED_STACK;
        vector::normalize_or_default(stack, sp, opcode - 219);
        ZOLT_NEXT;
    op_224:
    op_225:
    op_226:
        ZOLT_CHECK_SHARED_STACK;
        vector::interpolate(stack, sp, opcode - 222);
        ZOLT_NEXT;
    op_227:
        ZOLT_CHECK_STACK(227);
        vector::negate_in_place(stack, sp, 3);
        ZOLT_NEXT;
    op_228:
        ZOLT_CHECK_STACK(228);
        stack[sp - 4] ^= 0x80000000u;
        ZOLT_NEXT;
    op_229:
        ZOLT_CHECK_STACK(229);
        if (!vector::normalize_quaternion(stack, sp)) {
            goto fault;
        }
        ZOLT_NEXT;
    op_230:
        ZOLT_CHECK_STACK(230);
        vector::rotate_vector(stack, sp);
        ZOLT_NEXT;
    op_231:
        ZOLT_CHECK_STACK(231);
        ZOLT_WITH_STACK_INDEX(vector::multiply_quaternions(stack, moved_sp));
        ZOLT_NEXT;
    op_233:
        ZOLT_CHECK_STACK(233);
        ZOLT_WITH_STACK_INDEX(vector::quaternion_difference(stack, moved_sp));
        ZOLT_NEXT;
    op_232:
        ZOLT_CHECK_STACK(232);
        ZOLT_WITH_STACK_INDEX(vector::slerp_quaternions(stack, moved_sp));
        ZOLT_NEXT;
    op_234:
        ZOLT_CHECK_STACK(234);
        vector::push_angles_quaternion(stack, sp);
        ZOLT_NEXT;
    op_235:
        ZOLT_CHECK_STACK(235);
        vector::quaternion_to_angles(stack, sp);
        ZOLT_NEXT;
    op_236:
        ZOLT_CHECK_STACK(236);
        vector::direction_to_quaternion(stack, sp);
        ZOLT_NEXT;
    op_240:
        ZOLT_CHECK_STACK(240);
        vector::quaternion_to_axis_angle(stack, sp);
        ZOLT_NEXT;
    op_241:
        ZOLT_CHECK_STACK(241);
        vector::axis_angle_to_quaternion(stack, sp);
        ZOLT_NEXT;
    op_237:
        ZOLT_CHECK_STACK(237);
        ZOLT_WITH_STACK_INDEX(vector::rotate_axis(stack, moved_sp, 1));
        ZOLT_NEXT;
    op_238:
        ZOLT_CHECK_STACK(238);
        ZOLT_WITH_STACK_INDEX(vector::rotate_axis(stack, moved_sp, 0));
        ZOLT_NEXT;
    op_239:
        ZOLT_CHECK_STACK(239);
        ZOLT_WITH_STACK_INDEX(vector::rotate_axis(stack, moved_sp, 2));
        ZOLT_NEXT;
    op_242:
    op_243:
        ZOLT_CHECK_SHARED_STACK;
        vector::unpack_color(stack, sp, opcode - 239);
        ZOLT_NEXT;
    op_244:
    op_245:
        ZOLT_CHECK_SHARED_STACK;
        vector::pack_color(stack, sp, opcode - 241);
        ZOLT_NEXT;
no_body:
    goto fault;

stopped:
    switch (step) {
    case StepResult::fault:
        goto fault;
    case StepResult::end:
        goto end_normally;
    case StepResult::suspend:
        task->save_frame(context);
        return 0;
    case StepResult::leave:
        return 1;
    default:
        return 0;
    }

fault:
    context.program_counter = at;
    context.stack_index = sp;
    context.frame_base = fb;
    end_task(task);
    return 0;

end_normally:
    context.program_counter = pc;
    context.stack_index = sp;
    context.frame_base = fb;
    end_task(task);
    return 0;
}

#undef ZOLT_CALL_OUT
#undef ZOLT_READ_WORDS
#undef ZOLT_READ_BYTE
#undef ZOLT_JUMP
#undef ZOLT_DISPATCH
#undef ZOLT_NEXT
#undef ZOLT_NEXT_TOP
#undef ZOLT_RELOAD_TOP
#undef ZOLT_CHECK_STACK
#undef ZOLT_WITH_STACK_INDEX
#undef ZOLT_JUMP_IF
#undef ZOLT_SET_REGISTER
#undef ZOLT_PUSH_REGISTER
#undef ZOLT_POP_REGISTER
#undef ZOLT_CHECK_SHARED_STACK
#undef ZOLT_PUSH_WORDS
#undef ZOLT_DUPLICATE
#undef ZOLT_SWAP
#undef ZOLT_PUSH_LOCALS
#undef ZOLT_POP_LOCALS
#undef ZOLT_PUSH_ARGUMENTS
#undef ZOLT_POP_ARGUMENTS

}  // namespace zolt::core

#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "zolt/core/interpreter.h"
#include "zolt/core/interpreter_scalar.h"
#include "zolt/core/interpreter_state.h"
#include "zolt/core/interpreter_trigonometry.h"
#include "zolt/core/interpreter_vector.h"
#include "zolt/core/opcode_table.h"
#include "zolt/core/scheduler.h"
#include "zolt/core/task.h"
#include "zolt/core/task_server.h"

namespace zolt::core {

namespace {

// The stack index an opcode may start from: at least the words it pops, and
// room for what it pushes beyond them. Opcodes that reach deeper, or whose
// effect is not fixed, check the rest themselves.
struct StackLimits {
    uint16_t minimum;
    uint16_t maximum;
};

constexpr std::array<StackLimits, opcode_count> make_stack_limits() {
    std::array<StackLimits, opcode_count> limits{};
    for (uint32_t opcode = 0; opcode < opcode_count; ++opcode) {
        const OpcodeInfo& info = opcode_table[opcode];
        const uint32_t growth = info.pushes > info.pops ? info.pushes - info.pops : 0;
        limits[opcode] = {info.pops, static_cast<uint16_t>(operand_stack_size - growth)};
    }
    return limits;
}

constexpr std::array<StackLimits, opcode_count> stack_limits = make_stack_limits();

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
    uint32_t at = pc;
    uint32_t budget = 0;
    StepResult step = StepResult::next;
    if (fb > operand_stack_size) {
        goto fault;
    }

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

    for (;;) {
        budget = instructions_per_slice;
        for (;;) {
            if (pc >= size) {
                goto end_normally;
            }
            at = pc;
            {
                const uint32_t opcode = code[pc++];
                if (opcode >= opcode_count || sp < stack_limits[opcode].minimum ||
                    sp > stack_limits[opcode].maximum) {
                    goto fault;
                }
                switch (opcode) {
                case 0:
                    break;
                case 1:
                    ZOLT_CALL_OUT(start_task_opcode(context, running));
                    break;
                case 2:
                    goto end_normally;
                case 3:
                    ZOLT_CALL_OUT(wait_opcode(context, running));
                    break;
                case 6:
                    post_message_opcode(context, running);
                    break;
                case 7:
                    ZOLT_CALL_OUT(create_object_opcode(context, running));
                    break;
                case 8:
                    ZOLT_CALL_OUT(destroy_object_opcode(context, running));
                    break;
                case 9:
                    ZOLT_CALL_OUT(shake_resources_opcode(context, running));
                    break;
                case 10:
                case 11:
                case 12:
                case 13:
                case 14:
                case 15:
                    ZOLT_CALL_OUT(element_opcode(context, opcode));
                    break;
                case 17: {
                    ZOLT_READ_WORDS(1);
                    const uint32_t length = read_word(code, word_offset);
                    if (uint64_t{pc} + uint64_t{length} * 2 > size) {
                        goto fault;
                    }
                    const uint8_t* const literal = code + pc;
                    pc += length * 2;
                    ZOLT_CALL_OUT(string_opcode(context, running, opcode, literal, length));
                    break;
                }
                case 16:
                case 18:
                case 19:
                case 20:
                case 21:
                case 22:
                case 23:
                case 24:
                    ZOLT_CALL_OUT(string_opcode(context, running, opcode, nullptr, 0));
                    break;
                case 25:
                    r[0] = task->get_context_handle();
                    break;
                case 26:
                    set_context_opcode(running, r[0]);
                    break;
                case 27:
                    stack[sp++] = task->get_context_handle();
                    break;
                case 28:
                    set_context_opcode(running, stack[--sp]);
                    break;
                case 29:
                    r[0] = resolve_object_opcode(r[0]);
                    break;
                case 30:
                    r[0] = running.handle;
                    break;
                case 31:
                case 32:
                case 33:
                case 34:
                case 35:
                case 36:
                    ZOLT_CALL_OUT(property_opcode(context, running, opcode));
                    break;
                case 37: {
                    ZOLT_READ_WORDS(1);
                    ZOLT_CALL_OUT(call_code_reference(context, running, read_word(code, word_offset)));
                    break;
                }
                case 38: {
                    const uint32_t reference = stack[--sp];
                    ZOLT_CALL_OUT(call_code_reference(context, running, reference));
                    break;
                }
                case 39: {
                    ZOLT_READ_WORDS(1);
                    ZOLT_CALL_OUT(call_local(context, read_word(code, word_offset)));
                    break;
                }
                case 40:
                    ZOLT_CALL_OUT(return_from_call(context, running));
                    break;
                case 41: {
                    ZOLT_READ_WORDS(1);
                    ZOLT_JUMP(read_word(code, word_offset));
                    break;
                }
                case 42:
                case 43:
                case 44:
                case 45:
                case 46:
                case 47: {
                    ZOLT_READ_WORDS(1);
                    const int32_t value = scalar::to_s32(stack[--sp]);
                    const bool taken = opcode == 42   ? value == 0
                                       : opcode == 43 ? value != 0
                                       : opcode == 44 ? value < 0
                                       : opcode == 45 ? value <= 0
                                       : opcode == 46 ? value > 0
                                                      : value >= 0;
                    if (taken) {
                        ZOLT_JUMP(read_word(code, word_offset));
                    }
                    break;
                }
                case 48:
                case 49:
                case 50:
                case 51:
                case 52:
                case 53:
                case 54:
                case 55: {
                    ZOLT_READ_WORDS(1);
                    r[opcode - 48] = read_word(code, word_offset);
                    break;
                }
                case 56:
                case 57:
                case 58:
                case 59:
                case 60:
                case 61:
                case 62:
                case 63:
                    stack[sp++] = r[opcode - 56];
                    break;
                case 64:
                case 65:
                    for (uint32_t n = 4; n > 0; --n) {
                        stack[sp++] = r[2 * (n - 1) + (opcode - 64)];
                    }
                    break;
                case 66:
                    for (uint32_t n = 8; n > 0; --n) {
                        stack[sp++] = r[n - 1];
                    }
                    break;
                case 67:
                case 68:
                case 69:
                case 70:
                case 71:
                case 72:
                case 73:
                case 74:
                    r[opcode - 67] = stack[--sp];
                    break;
                case 75:
                case 76:
                    for (uint32_t n = 0; n < 4; ++n) {
                        r[2 * n + (opcode - 75)] = stack[--sp];
                    }
                    break;
                case 77:
                    for (uint32_t n = 0; n < 8; ++n) {
                        r[n] = stack[--sp];
                    }
                    break;
                case 78:
                case 79:
                case 80:
                case 81: {
                    const uint32_t count = opcode - 77;
                    ZOLT_READ_WORDS(count);
                    for (uint32_t n = 0; n < count; ++n) {
                        stack[sp++] = read_word(code, word_offset + 4 * n);
                    }
                    break;
                }
                case 82:
                case 83:
                    stack[sp++] = opcode - 82;
                    break;
                case 84: {
                    ZOLT_READ_BYTE(value);
                    stack[sp++] = value;
                    break;
                }
                case 85: {
                    ZOLT_READ_BYTE(value);
                    stack[sp++] = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(value)));
                    break;
                }
                case 86:
                case 87:
                case 88:
                case 89:
                    sp -= opcode - 85;
                    break;
                case 90: {
                    ZOLT_READ_BYTE(count);
                    if (sp + count > operand_stack_size) {
                        goto fault;
                    }
                    sp += count;
                    break;
                }
                case 91: {
                    ZOLT_READ_BYTE(count);
                    if (count > sp) {
                        goto fault;
                    }
                    sp -= count;
                    break;
                }
                case 92:
                case 93:
                case 94:
                case 95: {
                    const uint32_t count = opcode - 91;
                    std::memcpy(stack + sp, stack + sp - count, count * 4);
                    sp += count;
                    break;
                }
                case 96:
                case 97:
                case 98:
                case 99: {
                    const uint32_t count = opcode - 95;
                    uint32_t saved[4];
                    std::memcpy(saved, stack + sp - count, count * 4);
                    std::memmove(stack + sp - count, stack + sp - 2 * count, count * 4);
                    std::memcpy(stack + sp - 2 * count, saved, count * 4);
                    break;
                }
                case 100: {
                    ZOLT_READ_BYTE(depth);
                    if (depth >= sp) {
                        goto fault;
                    }
                    stack[sp] = stack[sp - 1 - depth];
                    ++sp;
                    break;
                }
                case 101: {
                    ZOLT_READ_BYTE(depth);
                    const uint32_t value = stack[--sp];
                    if (depth >= sp) {
                        goto fault;
                    }
                    stack[sp - 1 - depth] = value;
                    break;
                }
                case 102:
                case 103:
                case 104:
                case 105: {
                    ZOLT_READ_BYTE(local);
                    const uint32_t count = opcode - 101;
                    if (fb + local + count > sp) {
                        goto fault;
                    }
                    std::memcpy(stack + sp, stack + fb + local, count * 4);
                    sp += count;
                    break;
                }
                case 106:
                case 107:
                case 108:
                case 109: {
                    ZOLT_READ_BYTE(local);
                    const uint32_t count = opcode - 105;
                    sp -= count;
                    if (fb + local + count > sp) {
                        goto fault;
                    }
                    std::memcpy(stack + fb + local, stack + sp, count * 4);
                    break;
                }
                case 110:
                case 111:
                case 112:
                case 113: {
                    ZOLT_READ_BYTE(argument);
                    const uint32_t count = opcode - 109;
                    if (fb < 3 + count + argument || fb - 3 - argument > sp) {
                        goto fault;
                    }
                    std::memcpy(stack + sp, stack + fb - 3 - count - argument, count * 4);
                    sp += count;
                    break;
                }
                case 114:
                case 115:
                case 116:
                case 117: {
                    ZOLT_READ_BYTE(argument);
                    const uint32_t count = opcode - 113;
                    sp -= count;
                    if (fb < 3 + count + argument || fb - 3 - argument > sp) {
                        goto fault;
                    }
                    std::memcpy(stack + fb - 3 - count - argument, stack + sp, count * 4);
                    break;
                }
                case 118:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return scalar::sign_word(a < b, a > b); });
                    break;
                case 119:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) {
                        return scalar::sign_word(scalar::to_s32(a) < scalar::to_s32(b),
                                                 scalar::to_s32(a) > scalar::to_s32(b));
                    });
                    break;
                case 120:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) {
                        return scalar::sign_word(word_to_float(a) < word_to_float(b),
                                                 word_to_float(a) > word_to_float(b));
                    });
                    break;
                case 121:
                case 122:
                case 123:
                    scalar::compare_vectors(stack, sp, opcode - 119);
                    break;
                case 124:
                    scalar::unary(stack, sp, [](uint32_t a) { return a != 0 ? 1u : 0u; });
                    break;
                case 125:
                    scalar::unary(stack, sp, [](uint32_t a) { return scalar::sign_word(scalar::to_s32(a) < 0, scalar::to_s32(a) > 0); });
                    break;
                case 126:
                    scalar::unary(stack, sp, [](uint32_t a) { return scalar::sign_word(word_to_float(a) < 0.0f, word_to_float(a) > 0.0f); });
                    break;
                case 127:
                case 128:
                case 129:
                    scalar::test_vector(stack, sp, opcode - 125);
                    break;
                case 130:
                case 131:
                case 132:
                case 133:
                case 134:
                case 135: {
                    const int32_t value = scalar::to_s32(stack[sp - 1]);
                    const bool holds = opcode == 130   ? value == 0
                                       : opcode == 131 ? value != 0
                                       : opcode == 132 ? value < 0
                                       : opcode == 133 ? value <= 0
                                       : opcode == 134 ? value > 0
                                                       : value >= 0;
                    stack[sp - 1] = holds ? 1 : 0;
                    break;
                }
                case 136:
                    scalar::unary(stack, sp, [](uint32_t a) { return float_to_word(static_cast<float>(a)); });
                    break;
                case 137:
                    scalar::unary(stack, sp, scalar::float_to_unsigned);
                    break;
                case 138:
                    scalar::unary(stack, sp, [](uint32_t a) { return float_to_word(static_cast<float>(scalar::to_s32(a))); });
                    break;
                case 139:
                    scalar::unary(stack, sp, scalar::float_to_signed);
                    break;
                case 140:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return a & b; });
                    break;
                case 141:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return a | b; });
                    break;
                case 142:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return a ^ b; });
                    break;
                case 143:
                    scalar::unary(stack, sp, [](uint32_t a) { return ~a; });
                    break;
                case 144:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return a << (b & 31); });
                    break;
                case 145:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return a >> (b & 31); });
                    break;
                case 146:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return static_cast<uint32_t>(scalar::to_s32(a) >> (b & 31)); });
                    break;
                case 147:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return std::rotl(a, static_cast<int>(b & 31)); });
                    break;
                case 148:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return std::rotr(a, static_cast<int>(b & 31)); });
                    break;
                case 149:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return a != 0 && b != 0 ? 1u : 0u; });
                    break;
                case 150:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return a != 0 || b != 0 ? 1u : 0u; });
                    break;
                case 151:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return (a != 0) != (b != 0) ? 1u : 0u; });
                    break;
                case 152:
                    scalar::unary(stack, sp, [](uint32_t a) { return a == 0 ? 1u : 0u; });
                    break;
                case 153:
                    scalar::unary(stack, sp, [](uint32_t a) { return 0u - a; });
                    break;
                case 154:
                    scalar::unary_float(stack, sp, [](float a) { return -0.0f - a; });
                    break;
                case 155:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return a + b; });
                    break;
                case 156:
                    scalar::binary_float(stack, sp, [](float a, float b) { return a + b; });
                    break;
                case 157:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return a - b; });
                    break;
                case 158:
                    scalar::binary_float(stack, sp, [](float a, float b) { return a - b; });
                    break;
                case 159:
                    ++stack[sp - 1];
                    break;
                case 160:
                    --stack[sp - 1];
                    break;
                case 161:
                case 162:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return a * b; });
                    break;
                case 163:
                    scalar::binary_float(stack, sp, [](float a, float b) { return a * b; });
                    break;
                case 164:
                case 167:
                    if (!scalar::divide_unsigned(stack, sp, opcode == 167)) {
                        goto fault;
                    }
                    break;
                case 165:
                case 168:
                    if (!scalar::divide_signed(stack, sp, opcode == 168)) {
                        goto fault;
                    }
                    break;
                case 166:
                    if (word_to_float(stack[sp - 1]) == 0.0f) {
                        goto fault;
                    }
                    scalar::binary_float(stack, sp, [](float a, float b) { return a / b; });
                    break;
                case 169:
                    if (word_to_float(stack[sp - 1]) == 0.0f) {
                        goto fault;
                    }
                    scalar::binary_float(stack, sp, [](float a, float b) { return std::fmod(a, b); });
                    break;
                case 170:
                    if (word_to_float(stack[sp - 1]) == 0.0f) {
                        goto fault;
                    }
                    scalar::unary_float(stack, sp, [](float a) { return 1.0f / a; });
                    break;
                case 171:
                    scalar::unary(stack, sp, scalar::absolute_signed);
                    break;
                case 172:
                    scalar::unary(stack, sp, [](uint32_t a) { return a & 0x7FFFFFFFu; });
                    break;
                case 173:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return a < b ? a : b; });
                    break;
                case 174:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return scalar::to_s32(a) < scalar::to_s32(b) ? a : b; });
                    break;
                case 175:
                    scalar::binary_float(stack, sp, [](float a, float b) { return a > b ? b : a; });
                    break;
                case 176:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return a > b ? a : b; });
                    break;
                case 177:
                    scalar::binary(stack, sp, [](uint32_t a, uint32_t b) { return scalar::to_s32(a) > scalar::to_s32(b) ? a : b; });
                    break;
                case 178:
                    scalar::binary_float(stack, sp, [](float a, float b) { return a > b ? a : b; });
                    break;
                case 179:
                    if (word_to_float(stack[sp - 1]) < 0.0f) {
                        goto fault;
                    }
                    scalar::unary_float(stack, sp, [](float a) { return std::sqrt(a); });
                    break;
                case 180:
                    scalar::unary_float(stack, sp, trig::sine);
                    break;
                case 181:
                    scalar::unary_float(stack, sp, trig::cosine);
                    break;
                case 182:
                    scalar::unary_float(stack, sp, trig::tangent);
                    break;
                case 183:
                    scalar::unary_float(stack, sp, trig::arcsine);
                    break;
                case 184:
                    scalar::unary_float(stack, sp, trig::arccosine);
                    break;
                case 185:
                    scalar::unary_float(stack, sp, trig::arctangent);
                    break;
                case 186:
                    scalar::binary_float(stack, sp, [](float x, float y) { return trig::arctangent2(y, x); });
                    break;
                case 187:
                    if (word_to_float(stack[sp - 1]) <= 0.0f) {
                        goto fault;
                    }
                    scalar::unary_float(stack, sp, [](float a) { return std::log(a); });
                    break;
                case 188:
                    scalar::unary_float(stack, sp, [](float a) { return std::exp(a); });
                    break;
                case 189:
                    scalar::binary_float(stack, sp, [](float exponent, float base) { return std::pow(base, exponent); });
                    break;
                case 190:
                    scalar::unary_float(stack, sp, [](float a) { return std::floor(a); });
                    break;
                case 191:
                    scalar::unary_float(stack, sp, [](float a) { return std::ceil(a); });
                    break;
                case 192:
                    scalar::unary_float(stack, sp, [](float a) { return std::floor(a + 0.5f); });
                    break;
                case 193:
                    scalar::unary_float(stack, sp, [](float a) { return a - std::floor(a); });
                    break;
                case 194:
                    scalar::interpolate(stack, sp);
                    break;
                case 195:
                    scalar::binary_float(stack, sp, scalar::wrapped_difference);
                    break;
                case 196:
                case 197:
                case 198:
                    vector::negate_in_place(stack, sp, opcode - 194);
                    break;
                case 199:
                case 200:
                case 201:
                    vector::combine(stack, sp, opcode - 197, [](float a, float b) { return a + b; });
                    break;
                case 202:
                case 203:
                case 204:
                    vector::combine(stack, sp, opcode - 200, [](float a, float b) { return a - b; });
                    break;
                case 205:
                case 206:
                case 207:
                    vector::combine(stack, sp, opcode - 203, [](float a, float b) { return a * b; });
                    break;
                case 208:
                case 209:
                case 210:
                    vector::scale(stack, sp, opcode - 206, false);
                    break;
                case 211:
                case 212:
                case 213:
                    if (!vector::scale(stack, sp, opcode - 209, true)) {
                        goto fault;
                    }
                    break;
                case 214:
                case 215:
                case 216:
                    vector::dot_product(stack, sp, opcode - 212);
                    break;
                case 217:
                    vector::cross(stack, sp);
                    break;
                case 218:
                case 219:
                case 220:
                    vector::length(stack, sp, opcode - 216);
                    break;
                case 221:
                case 222:
                case 223:
                    vector::normalize_or_default(stack, sp, opcode - 219);
                    break;
                case 224:
                case 225:
                case 226:
                    vector::interpolate(stack, sp, opcode - 222);
                    break;
                case 227:
                    vector::negate_in_place(stack, sp, 3);
                    break;
                case 228:
                    stack[sp - 4] ^= 0x80000000u;
                    break;
                case 229:
                    if (!vector::normalize_quaternion(stack, sp)) {
                        goto fault;
                    }
                    break;
                case 230:
                    vector::rotate_vector(stack, sp);
                    break;
                case 231:
                    vector::multiply_quaternions(stack, sp);
                    break;
                case 233:
                    vector::quaternion_difference(stack, sp);
                    break;
                case 232:
                    vector::slerp_quaternions(stack, sp);
                    break;
                case 234:
                    vector::push_angles_quaternion(stack, sp);
                    break;
                case 235:
                    vector::quaternion_to_angles(stack, sp);
                    break;
                case 236:
                    vector::direction_to_quaternion(stack, sp);
                    break;
                case 240:
                    vector::quaternion_to_axis_angle(stack, sp);
                    break;
                case 241:
                    vector::axis_angle_to_quaternion(stack, sp);
                    break;
                case 237:
                    vector::rotate_axis(stack, sp, 1);
                    break;
                case 238:
                    vector::rotate_axis(stack, sp, 0);
                    break;
                case 239:
                    vector::rotate_axis(stack, sp, 2);
                    break;
                case 242:
                case 243:
                    vector::unpack_color(stack, sp, opcode - 239);
                    break;
                case 244:
                case 245:
                    vector::pack_color(stack, sp, opcode - 241);
                    break;
                default:
                    goto fault;
                }
            }
            if (--budget == 0) {
                break;
            }
        }
        if (is_other_thread_due()) {
            context.program_counter = pc;
            context.stack_index = sp;
            context.frame_base = fb;
            task->save_frame(context);
            return 1;
        }
    }

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

}  // namespace zolt::core

#include <array>
#include <bit>
#include <cmath>
#include <cstring>

#include "libs/geometry/script_trigonometry.h"
#include "zolt/core/main_thread/scheduler.h"
#include "zolt/core/script/code_resource_format.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/script/interpreter.h"
#include "zolt/core/script/interpreter_scalar.h"
#include "zolt/core/script/interpreter_state.h"
#include "zolt/core/script/interpreter_vector.h"
#include "zolt/core/script/opcode_table.h"
#include "zolt/core/script/task.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script_objects/array_object.h"

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

// A builtin's reference: never one the loop enters itself.
constexpr uint32_t no_known_reference = 0xFFFFFFFF;

// The caller's frame base, code object and return offset.
constexpr uint32_t call_frame_size = 3;

constexpr uint32_t number_of(Opcode opcode) {
    return static_cast<uint32_t>(opcode);
}

inline uint32_t read_word(const uint8_t* code, uint32_t offset) {
    uint32_t word;
    std::memcpy(&word, code + offset, sizeof word);
    return word;
}

void end_task(Task* task) {
    destroy_object(task);
}

}  // namespace

// The labels and body macros of the dispatch are laid out by hand.
// clang-format off
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
    // The reference last entered in the running code object, and its entry
    // offset. Which code a reference names changes only in a call out,
    // and every call out forgets it.
    uint32_t known_reference = no_known_reference;
    uint32_t known_entry_offset = 0;
    StepResult step = StepResult::next;
    if (fb > operand_stack_size) {
        goto fault;
    }
    top = stack[(sp - 1) & stack_index_mask];

// Bodies kept out of line see the loop's state through the context.
#define ZOLT_CALL_OUT(body)                \
    known_reference = no_known_reference;  \
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
#define ZOLT_CHECK_SHARED_STACK                                          \
    opcode = code[at];                                                   \
    if (sp - stack_limits[opcode].minimum > stack_limits[opcode].span) { \
        goto fault;                                                      \
    }

// Every body starts with its opcode's stack test, so that the limits of a
// body of its own are constants.
#define ZOLT_CHECK_STACK(name)                                                                          \
    if (sp - stack_limits[number_of(Opcode::name)].minimum > stack_limits[number_of(Opcode::name)].span) { \
        goto fault;                                                                                         \
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

// `c = a + 1` as compiled code states it, with a on the stack: the one
// pushed, the addition and the pop into a local run at once when the three
// fit in the slice and the pop would not fault; otherwise each runs on its
// own. The words left above the stack are those the three would leave.
#define ZOLT_INCREMENT_STATEMENT                                                                         \
    if (budget > 2 && pc + 3 <= size && code[pc] == number_of(Opcode::add) &&                           \
        code[pc + 1] == number_of(Opcode::pop_local1) && fb + code[pc + 2] + 1 < sp) {                  \
        stack[sp] = 1;                                                                                   \
        stack[sp - 1] = top + 1;                                                                         \
        stack[fb + code[pc + 2]] = top + 1;                                                              \
        --sp;                                                                                            \
        at = pc + 1;                                                                                     \
        pc += 3;                                                                                         \
        budget -= 2;                                                                                     \
        ZOLT_NEXT;                                                                                       \
    }

// Pushes the call frame and goes on at target, a code offset inside the
// running code object.
#define ZOLT_ENTER_CALL(target)                          \
    {                                                    \
        if (sp > operand_stack_size - call_frame_size) { \
            goto fault;                                  \
        }                                                \
        stack[sp] = fb;                                  \
        stack[sp + 1] = context.code_object;             \
        stack[sp + 2] = pc;                              \
        top = pc;                                        \
        sp += call_frame_size;                           \
        fb = sp;                                         \
        pc = (target);                                   \
        ZOLT_NEXT_TOP;                                   \
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

    // The labels come from the opcode list, so the table cannot drift from
    // the numbering; bytes above the list fault like an invalid opcode.
#define ZOLT_BODY_ADDRESS(number, name, operand, pops, pushes, flags) &&op_##name,
    static const void* const dispatch_table[256] = {
        ZOLT_OPCODE_LIST(ZOLT_BODY_ADDRESS)
        &&no_body, &&no_body, &&no_body, &&no_body, &&no_body, &&no_body, &&no_body, &&no_body,
    };
#undef ZOLT_BODY_ADDRESS
    static_assert(opcode_count + 8 == 256);

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

    op_nop:
        ZOLT_CHECK_STACK(nop);
        ZOLT_NEXT_TOP;
    op_start_task:
        ZOLT_CHECK_STACK(start_task);
        ZOLT_CALL_OUT(start_task_opcode(context, running));
        ZOLT_NEXT;
    op_end_task:
        ZOLT_CHECK_STACK(end_task);
        goto end_normally;
    op_wait:
        ZOLT_CHECK_STACK(wait);
        ZOLT_CALL_OUT(wait_opcode(context, running));
        ZOLT_NEXT;
    op_wait_semaphore:
        ZOLT_CHECK_STACK(wait_semaphore);
        ZOLT_CALL_OUT(wait_semaphore_opcode(context, running));
        ZOLT_NEXT;
    op_signal_semaphore:
        ZOLT_CHECK_STACK(signal_semaphore);
        ZOLT_CALL_OUT(signal_semaphore_opcode(context, running));
        ZOLT_NEXT;
    op_post_message:
        ZOLT_CHECK_STACK(post_message);
        post_message_opcode(context, running);
        ZOLT_NEXT;
    op_create_object:
        ZOLT_CHECK_STACK(create_object);
        ZOLT_CALL_OUT(create_object_opcode(context, running));
        ZOLT_NEXT;
    op_destroy_object:
        ZOLT_CHECK_STACK(destroy_object);
        ZOLT_CALL_OUT(destroy_object_opcode(context, running));
        ZOLT_NEXT;
    op_shake_resources:
        ZOLT_CHECK_STACK(shake_resources);
        ZOLT_CALL_OUT(shake_resources_opcode(context, running));
        ZOLT_NEXT;
    // Reading or appending a word of an array runs no script and moves no
    // code, so it stays in the loop; other objects take the general path.
    op_get_element:
        ZOLT_CHECK_STACK(get_element);
        if (get_handle_server_type(r[0]) == server_type::array) {
            const auto* const array = static_cast<const ArrayObject*>(get_object(r[0]));
            const uint32_t index = top;
            --sp;
            r[0] = array != nullptr ? array->ArrayObject::get_element(index) : 0;
            ZOLT_NEXT;
        }
        goto element_opcodes;
    op_append_element:
        ZOLT_CHECK_STACK(append_element);
        if (get_handle_server_type(r[0]) == server_type::array) {
            auto* const array = static_cast<ArrayObject*>(get_object(r[0]));
            const uint32_t value = top;
            --sp;
            r[0] = array != nullptr ? array->ArrayObject::append_element(value) : 0;
            ZOLT_NEXT;
        }
        goto element_opcodes;
    op_set_element:
    op_set_child_element:
    op_insert_element:
    op_remove_element:
    element_opcodes:
        ZOLT_CHECK_SHARED_STACK;
        ZOLT_CALL_OUT(element_opcode(context, static_cast<Opcode>(opcode)));
        ZOLT_NEXT;
    op_append_text: {
        ZOLT_CHECK_STACK(append_text);
        ZOLT_READ_WORDS(1);
        const uint32_t length = read_word(code, word_offset);
        if (uint64_t{pc} + uint64_t{length} * 2 > size) {
            goto fault;
        }
        const uint8_t* const literal = code + pc;
        pc += length * 2;
        ZOLT_CALL_OUT(string_opcode(context, running, Opcode::append_text, literal, length));
        ZOLT_NEXT;
    }
    op_clear_string:
    op_append_unit:
    op_append_string:
    op_append_string_and_destroy:
    op_append_substring:
    op_append_unsigned:
    op_append_signed:
    op_append_float:
        ZOLT_CHECK_SHARED_STACK;
        ZOLT_CALL_OUT(string_opcode(context, running, static_cast<Opcode>(opcode), nullptr, 0));
        ZOLT_NEXT;
    op_get_context:
        ZOLT_CHECK_STACK(get_context);
        r[0] = task->get_context_handle();
        ZOLT_NEXT;
    op_set_context:
        ZOLT_CHECK_STACK(set_context);
        set_context_opcode(running, r[0]);
        ZOLT_NEXT;
    op_push_context:
        ZOLT_CHECK_STACK(push_context);
        stack[sp++] = task->get_context_handle();
        ZOLT_NEXT;
    op_pop_context:
        ZOLT_CHECK_STACK(pop_context);
        set_context_opcode(running, stack[--sp]);
        ZOLT_NEXT;
    op_resolve_object:
        ZOLT_CHECK_STACK(resolve_object);
        r[0] = resolve_object_opcode(r[0]);
        ZOLT_NEXT;
    op_get_task:
        ZOLT_CHECK_STACK(get_task);
        r[0] = running.handle;
        ZOLT_NEXT;
    op_get_property:
    op_get_property_type:
    op_set_property_component:
    op_set_property:
    op_set_link_property:
    op_remove_property:
        ZOLT_CHECK_SHARED_STACK;
        ZOLT_CALL_OUT(property_opcode(context, running, static_cast<Opcode>(opcode)));
        ZOLT_NEXT;
    op_call: {
        ZOLT_CHECK_STACK(call);
        ZOLT_READ_WORDS(1);
        const uint32_t reference = read_word(code, word_offset);
        if (get_code_chain_index(reference) == builtin_chain_index) {
            ZOLT_CALL_OUT(call_builtin_opcode(context, running, get_code_entry_index(reference)));
            ZOLT_NEXT;
        }
        // A call into the running code object, already loaded, moves no
        // code and holds nothing: it is a local call to the entry. A missing
        // entry (-1) or one past the code end takes the general path, which
        // skips the call or faults.
        if (reference == known_reference) {
            ZOLT_ENTER_CALL(known_entry_offset);
        }
        const CodeObject* const target =
            code_server.find_loaded_code_object(get_code_key(reference), get_code_chain_index(reference));
        if (target != nullptr && target->get_handle() == context.code_object) {
            const uint32_t entry_offset = target->get_entry_offset(get_code_entry_index(reference));
            if (entry_offset < size) {
                known_reference = reference;
                known_entry_offset = entry_offset;
                ZOLT_ENTER_CALL(entry_offset);
            }
        }
        ZOLT_CALL_OUT(call_code_reference(context, running, reference));
        ZOLT_NEXT;
    }
    op_call_popped: {
        ZOLT_CHECK_STACK(call_popped);
        const uint32_t reference = stack[--sp];
        ZOLT_CALL_OUT(call_code_reference(context, running, reference));
        ZOLT_NEXT;
    }
    op_call_local: {
        ZOLT_CHECK_STACK(call_local);
        ZOLT_READ_WORDS(1);
        const uint32_t target = read_word(code, word_offset);
        if (target >= size) {
            goto fault;
        }
        ZOLT_ENTER_CALL(target);
    }
    op_return_to_caller: {
        ZOLT_CHECK_STACK(return_to_caller);
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
    op_jump: {
        ZOLT_CHECK_STACK(jump);
        ZOLT_READ_WORDS(1);
        ZOLT_JUMP(read_word(code, word_offset));
        ZOLT_NEXT;
    }
    op_jump_if_zero:
        ZOLT_CHECK_STACK(jump_if_zero);
        ZOLT_JUMP_IF(value == 0);
    op_jump_if_not_zero:
        ZOLT_CHECK_STACK(jump_if_not_zero);
        ZOLT_JUMP_IF(value != 0);
    op_jump_if_negative:
        ZOLT_CHECK_STACK(jump_if_negative);
        ZOLT_JUMP_IF(value < 0);
    op_jump_if_not_positive:
        ZOLT_CHECK_STACK(jump_if_not_positive);
        ZOLT_JUMP_IF(value <= 0);
    op_jump_if_positive:
        ZOLT_CHECK_STACK(jump_if_positive);
        ZOLT_JUMP_IF(value > 0);
    op_jump_if_not_negative:
        ZOLT_CHECK_STACK(jump_if_not_negative);
        ZOLT_JUMP_IF(value >= 0);
    op_set_r0:
        ZOLT_CHECK_STACK(set_r0);
        ZOLT_SET_REGISTER(0);
    op_set_r1:
        ZOLT_CHECK_STACK(set_r1);
        ZOLT_SET_REGISTER(1);
    op_set_r2:
        ZOLT_CHECK_STACK(set_r2);
        ZOLT_SET_REGISTER(2);
    op_set_r3:
        ZOLT_CHECK_STACK(set_r3);
        ZOLT_SET_REGISTER(3);
    op_set_r4:
        ZOLT_CHECK_STACK(set_r4);
        ZOLT_SET_REGISTER(4);
    op_set_r5:
        ZOLT_CHECK_STACK(set_r5);
        ZOLT_SET_REGISTER(5);
    op_set_r6:
        ZOLT_CHECK_STACK(set_r6);
        ZOLT_SET_REGISTER(6);
    op_set_r7:
        ZOLT_CHECK_STACK(set_r7);
        ZOLT_SET_REGISTER(7);
    op_push_r0:
        ZOLT_CHECK_STACK(push_r0);
        ZOLT_PUSH_REGISTER(0);
    op_push_r1:
        ZOLT_CHECK_STACK(push_r1);
        ZOLT_PUSH_REGISTER(1);
    op_push_r2:
        ZOLT_CHECK_STACK(push_r2);
        ZOLT_PUSH_REGISTER(2);
    op_push_r3:
        ZOLT_CHECK_STACK(push_r3);
        ZOLT_PUSH_REGISTER(3);
    op_push_r4:
        ZOLT_CHECK_STACK(push_r4);
        ZOLT_PUSH_REGISTER(4);
    op_push_r5:
        ZOLT_CHECK_STACK(push_r5);
        ZOLT_PUSH_REGISTER(5);
    op_push_r6:
        ZOLT_CHECK_STACK(push_r6);
        ZOLT_PUSH_REGISTER(6);
    op_push_r7:
        ZOLT_CHECK_STACK(push_r7);
        ZOLT_PUSH_REGISTER(7);
    op_push_even:
    op_push_odd:
        ZOLT_CHECK_SHARED_STACK;
        for (uint32_t n = 4; n > 0; --n) {
            stack[sp++] = r[2 * (n - 1) + (opcode - number_of(Opcode::push_even))];
        }
        ZOLT_NEXT;
    op_push_all:
        ZOLT_CHECK_STACK(push_all);
        for (uint32_t n = 8; n > 0; --n) {
            stack[sp++] = r[n - 1];
        }
        ZOLT_NEXT;
    op_pop_r0:
        ZOLT_CHECK_STACK(pop_r0);
        ZOLT_POP_REGISTER(0);
    op_pop_r1:
        ZOLT_CHECK_STACK(pop_r1);
        ZOLT_POP_REGISTER(1);
    op_pop_r2:
        ZOLT_CHECK_STACK(pop_r2);
        ZOLT_POP_REGISTER(2);
    op_pop_r3:
        ZOLT_CHECK_STACK(pop_r3);
        ZOLT_POP_REGISTER(3);
    op_pop_r4:
        ZOLT_CHECK_STACK(pop_r4);
        ZOLT_POP_REGISTER(4);
    op_pop_r5:
        ZOLT_CHECK_STACK(pop_r5);
        ZOLT_POP_REGISTER(5);
    op_pop_r6:
        ZOLT_CHECK_STACK(pop_r6);
        ZOLT_POP_REGISTER(6);
    op_pop_r7:
        ZOLT_CHECK_STACK(pop_r7);
        ZOLT_POP_REGISTER(7);
    op_pop_even:
    op_pop_odd:
        ZOLT_CHECK_SHARED_STACK;
        for (uint32_t n = 0; n < 4; ++n) {
            r[2 * n + (opcode - number_of(Opcode::pop_even))] = stack[--sp];
        }
        ZOLT_NEXT;
    op_pop_all:
        ZOLT_CHECK_STACK(pop_all);
        for (uint32_t n = 0; n < 8; ++n) {
            r[n] = stack[--sp];
        }
        ZOLT_NEXT;
    op_push_word: {
        ZOLT_CHECK_STACK(push_word);
        ZOLT_READ_WORDS(1);
        const uint32_t word = read_word(code, word_offset);
        stack[sp] = word;
        // A constant pushed only to be the second operand of the float
        // addition, subtraction or product that follows: both run at
        // once, each counted against the slice, with the same result.
        if (pc < size && budget > 1 && sp > 0) {
            const uint8_t next = code[pc];
            if (next == number_of(Opcode::add_float) || next == number_of(Opcode::subtract_float) ||
                next == number_of(Opcode::multiply_float)) {
                --budget;
                at = pc++;
                const float a = word_to_float(top);
                const float b = word_to_float(word);
                top = float_to_word(next == number_of(Opcode::add_float)        ? a + b
                                    : next == number_of(Opcode::subtract_float) ? a - b
                                                                                : a * b);
                stack[sp - 1] = top;
                ZOLT_NEXT_TOP;
            }
        }
        top = word;
        ++sp;
        ZOLT_NEXT_TOP;
    }
    op_push_words2:
        ZOLT_CHECK_STACK(push_words2);
        ZOLT_PUSH_WORDS(2);
    op_push_words3:
        ZOLT_CHECK_STACK(push_words3);
        ZOLT_PUSH_WORDS(3);
    op_push_words4:
        ZOLT_CHECK_STACK(push_words4);
        ZOLT_PUSH_WORDS(4);
    op_push_zero:
        ZOLT_CHECK_STACK(push_zero);
        top = 0;
        stack[sp++] = top;
        ZOLT_NEXT_TOP;
    op_push_one:
        ZOLT_CHECK_STACK(push_one);
        ZOLT_INCREMENT_STATEMENT;
        top = 1;
        stack[sp++] = top;
        ZOLT_NEXT_TOP;
    op_push_byte: {
        ZOLT_CHECK_STACK(push_byte);
        ZOLT_READ_BYTE(value);
        top = value;
        stack[sp++] = top;
        ZOLT_NEXT_TOP;
    }
    op_push_signed_byte: {
        ZOLT_CHECK_STACK(push_signed_byte);
        ZOLT_READ_BYTE(value);
        top = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(value)));
        stack[sp++] = top;
        ZOLT_NEXT_TOP;
    }
    op_drop1:
        ZOLT_CHECK_STACK(drop1);
        sp -= 1;
        ZOLT_NEXT;
    op_drop2:
        ZOLT_CHECK_STACK(drop2);
        sp -= 2;
        ZOLT_NEXT;
    op_drop3:
        ZOLT_CHECK_STACK(drop3);
        sp -= 3;
        ZOLT_NEXT;
    op_drop4:
        ZOLT_CHECK_STACK(drop4);
        sp -= 4;
        ZOLT_NEXT;
    op_reserve: {
        ZOLT_CHECK_STACK(reserve);
        ZOLT_READ_BYTE(count);
        if (sp + count > operand_stack_size) {
            goto fault;
        }
        sp += count;
        ZOLT_NEXT;
    }
    op_release: {
        ZOLT_CHECK_STACK(release);
        ZOLT_READ_BYTE(count);
        if (count > sp) {
            goto fault;
        }
        sp -= count;
        ZOLT_NEXT;
    }
    op_dup1:
        ZOLT_CHECK_STACK(dup1);
        stack[sp++] = top;
        ZOLT_NEXT_TOP;
    op_dup2:
        ZOLT_CHECK_STACK(dup2);
        ZOLT_DUPLICATE(2);
    op_dup3:
        ZOLT_CHECK_STACK(dup3);
        ZOLT_DUPLICATE(3);
    op_dup4:
        ZOLT_CHECK_STACK(dup4);
        ZOLT_DUPLICATE(4);
    op_swap1:
        ZOLT_CHECK_STACK(swap1);
        ZOLT_SWAP(1);
    op_swap2:
        ZOLT_CHECK_STACK(swap2);
        ZOLT_SWAP(2);
    op_swap3:
        ZOLT_CHECK_STACK(swap3);
        ZOLT_SWAP(3);
    op_swap4:
        ZOLT_CHECK_STACK(swap4);
        ZOLT_SWAP(4);
    op_pick: {
        ZOLT_CHECK_STACK(pick);
        ZOLT_READ_BYTE(depth);
        if (depth >= sp) {
            goto fault;
        }
        top = stack[sp - 1 - depth];
        stack[sp] = top;
        ++sp;
        ZOLT_NEXT_TOP;
    }
    op_poke: {
        ZOLT_CHECK_STACK(poke);
        ZOLT_READ_BYTE(depth);
        const uint32_t value = stack[--sp];
        if (depth >= sp) {
            goto fault;
        }
        stack[sp - 1 - depth] = value;
        ZOLT_NEXT;
    }
    op_push_local1:
        ZOLT_CHECK_STACK(push_local1);
        ZOLT_PUSH_LOCALS(1);
    op_push_local2:
        ZOLT_CHECK_STACK(push_local2);
        ZOLT_PUSH_LOCALS(2);
    op_push_local3:
        ZOLT_CHECK_STACK(push_local3);
        ZOLT_PUSH_LOCALS(3);
    op_push_local4:
        ZOLT_CHECK_STACK(push_local4);
        ZOLT_PUSH_LOCALS(4);
    op_pop_local1:
        ZOLT_CHECK_STACK(pop_local1);
        ZOLT_POP_LOCALS(1);
    op_pop_local2:
        ZOLT_CHECK_STACK(pop_local2);
        ZOLT_POP_LOCALS(2);
    op_pop_local3:
        ZOLT_CHECK_STACK(pop_local3);
        ZOLT_POP_LOCALS(3);
    op_pop_local4:
        ZOLT_CHECK_STACK(pop_local4);
        ZOLT_POP_LOCALS(4);
    op_push_argument1:
        ZOLT_CHECK_STACK(push_argument1);
        ZOLT_PUSH_ARGUMENTS(1);
    op_push_argument2:
        ZOLT_CHECK_STACK(push_argument2);
        ZOLT_PUSH_ARGUMENTS(2);
    op_push_argument3:
        ZOLT_CHECK_STACK(push_argument3);
        ZOLT_PUSH_ARGUMENTS(3);
    op_push_argument4:
        ZOLT_CHECK_STACK(push_argument4);
        ZOLT_PUSH_ARGUMENTS(4);
    op_pop_argument1:
        ZOLT_CHECK_STACK(pop_argument1);
        ZOLT_POP_ARGUMENTS(1);
    op_pop_argument2:
        ZOLT_CHECK_STACK(pop_argument2);
        ZOLT_POP_ARGUMENTS(2);
    op_pop_argument3:
        ZOLT_CHECK_STACK(pop_argument3);
        ZOLT_POP_ARGUMENTS(3);
    op_pop_argument4:
        ZOLT_CHECK_STACK(pop_argument4);
        ZOLT_POP_ARGUMENTS(4);
    op_compare_unsigned:
        ZOLT_CHECK_STACK(compare_unsigned);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return scalar::sign_word(a < b, a > b); });
        ZOLT_NEXT_TOP;
    op_compare_signed:
        ZOLT_CHECK_STACK(compare_signed);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) {
            return scalar::sign_word(scalar::to_s32(a) < scalar::to_s32(b),
                                     scalar::to_s32(a) > scalar::to_s32(b));
        });
        ZOLT_NEXT_TOP;
    op_compare_float:
        ZOLT_CHECK_STACK(compare_float);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) {
            return scalar::sign_word(word_to_float(a) < word_to_float(b),
                                     word_to_float(a) > word_to_float(b));
        });
        ZOLT_NEXT_TOP;
    op_compare_vector2:
        ZOLT_CHECK_STACK(compare_vector2);
        scalar::compare_vectors(stack, sp, 2);
        ZOLT_NEXT;
    op_compare_vector3:
        ZOLT_CHECK_STACK(compare_vector3);
        scalar::compare_vectors(stack, sp, 3);
        ZOLT_NEXT;
    op_compare_vector4:
        ZOLT_CHECK_STACK(compare_vector4);
        scalar::compare_vectors(stack, sp, 4);
        ZOLT_NEXT;
    op_sign_unsigned:
        ZOLT_CHECK_STACK(sign_unsigned);
        scalar::unary(stack, sp, top, [](uint32_t a) { return a != 0 ? 1u : 0u; });
        ZOLT_NEXT_TOP;
    op_sign_signed:
        ZOLT_CHECK_STACK(sign_signed);
        scalar::unary(stack, sp, top, [](uint32_t a) { return scalar::sign_word(scalar::to_s32(a) < 0, scalar::to_s32(a) > 0); });
        ZOLT_NEXT_TOP;
    op_sign_float:
        ZOLT_CHECK_STACK(sign_float);
        scalar::unary(stack, sp, top, [](uint32_t a) { return scalar::sign_word(word_to_float(a) < 0.0f, word_to_float(a) > 0.0f); });
        ZOLT_NEXT_TOP;
    op_test_vector2:
        ZOLT_CHECK_STACK(test_vector2);
        scalar::test_vector(stack, sp, 2);
        ZOLT_NEXT;
    op_test_vector3:
        ZOLT_CHECK_STACK(test_vector3);
        scalar::test_vector(stack, sp, 3);
        ZOLT_NEXT;
    op_test_vector4:
        ZOLT_CHECK_STACK(test_vector4);
        scalar::test_vector(stack, sp, 4);
        ZOLT_NEXT;
    op_test_zero:
    op_test_not_zero:
    op_test_negative:
    op_test_not_positive:
    op_test_positive:
    op_test_not_negative: {
        ZOLT_CHECK_SHARED_STACK;
        const int32_t value = scalar::to_s32(stack[sp - 1]);
        const bool holds = opcode == number_of(Opcode::test_zero)           ? value == 0
                           : opcode == number_of(Opcode::test_not_zero)     ? value != 0
                           : opcode == number_of(Opcode::test_negative)     ? value < 0
                           : opcode == number_of(Opcode::test_not_positive) ? value <= 0
                           : opcode == number_of(Opcode::test_positive)     ? value > 0
                                           : value >= 0;
        stack[sp - 1] = holds ? 1 : 0;
        ZOLT_NEXT;
    }
    op_unsigned_to_float:
        ZOLT_CHECK_STACK(unsigned_to_float);
        scalar::unary(stack, sp, top, [](uint32_t a) { return float_to_word(static_cast<float>(a)); });
        ZOLT_NEXT_TOP;
    op_float_to_unsigned:
        ZOLT_CHECK_STACK(float_to_unsigned);
        scalar::unary(stack, sp, top, scalar::float_to_unsigned);
        ZOLT_NEXT_TOP;
    op_signed_to_float:
        ZOLT_CHECK_STACK(signed_to_float);
        scalar::unary(stack, sp, top, [](uint32_t a) { return float_to_word(static_cast<float>(scalar::to_s32(a))); });
        ZOLT_NEXT_TOP;
    op_float_to_signed:
        ZOLT_CHECK_STACK(float_to_signed);
        scalar::unary(stack, sp, top, scalar::float_to_signed);
        ZOLT_NEXT_TOP;
    op_bitwise_and:
        ZOLT_CHECK_STACK(bitwise_and);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a & b; });
        ZOLT_NEXT_TOP;
    op_bitwise_or:
        ZOLT_CHECK_STACK(bitwise_or);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a | b; });
        ZOLT_NEXT_TOP;
    op_bitwise_xor:
        ZOLT_CHECK_STACK(bitwise_xor);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a ^ b; });
        ZOLT_NEXT_TOP;
    op_bitwise_not:
        ZOLT_CHECK_STACK(bitwise_not);
        scalar::unary(stack, sp, top, [](uint32_t a) { return ~a; });
        ZOLT_NEXT_TOP;
    op_shift_left:
        ZOLT_CHECK_STACK(shift_left);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a << (b & 31); });
        ZOLT_NEXT_TOP;
    op_shift_right:
        ZOLT_CHECK_STACK(shift_right);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a >> (b & 31); });
        ZOLT_NEXT_TOP;
    op_shift_right_arithmetic:
        ZOLT_CHECK_STACK(shift_right_arithmetic);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return static_cast<uint32_t>(scalar::to_s32(a) >> (b & 31)); });
        ZOLT_NEXT_TOP;
    op_rotate_left:
        ZOLT_CHECK_STACK(rotate_left);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return std::rotl(a, static_cast<int>(b & 31)); });
        ZOLT_NEXT_TOP;
    op_rotate_right:
        ZOLT_CHECK_STACK(rotate_right);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return std::rotr(a, static_cast<int>(b & 31)); });
        ZOLT_NEXT_TOP;
    op_logical_and:
        ZOLT_CHECK_STACK(logical_and);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a != 0 && b != 0 ? 1u : 0u; });
        ZOLT_NEXT_TOP;
    op_logical_or:
        ZOLT_CHECK_STACK(logical_or);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a != 0 || b != 0 ? 1u : 0u; });
        ZOLT_NEXT_TOP;
    op_logical_xor:
        ZOLT_CHECK_STACK(logical_xor);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return (a != 0) != (b != 0) ? 1u : 0u; });
        ZOLT_NEXT_TOP;
    op_logical_not:
        ZOLT_CHECK_STACK(logical_not);
        scalar::unary(stack, sp, top, [](uint32_t a) { return a == 0 ? 1u : 0u; });
        ZOLT_NEXT_TOP;
    op_negate:
        ZOLT_CHECK_STACK(negate);
        scalar::unary(stack, sp, top, [](uint32_t a) { return 0u - a; });
        ZOLT_NEXT_TOP;
    op_negate_float:
        ZOLT_CHECK_STACK(negate_float);
        scalar::unary_float(stack, sp, top, [](float a) { return -0.0f - a; });
        ZOLT_NEXT_TOP;
    op_add:
        ZOLT_CHECK_STACK(add);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a + b; });
        ZOLT_NEXT_TOP;
    op_add_float:
        ZOLT_CHECK_STACK(add_float);
        scalar::binary_float(stack, sp, top, [](float a, float b) { return a + b; });
        ZOLT_NEXT_TOP;
    op_subtract:
        ZOLT_CHECK_STACK(subtract);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a - b; });
        ZOLT_NEXT_TOP;
    op_subtract_float:
        ZOLT_CHECK_STACK(subtract_float);
        scalar::binary_float(stack, sp, top, [](float a, float b) { return a - b; });
        ZOLT_NEXT_TOP;
    op_increment:
        ZOLT_CHECK_STACK(increment);
        ++top;
        stack[sp - 1] = top;
        ZOLT_NEXT_TOP;
    op_decrement:
        ZOLT_CHECK_STACK(decrement);
        --top;
        stack[sp - 1] = top;
        ZOLT_NEXT_TOP;
    op_multiply_unsigned:
        ZOLT_CHECK_STACK(multiply_unsigned);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a * b; });
        ZOLT_NEXT_TOP;
    op_multiply_signed:
        ZOLT_CHECK_STACK(multiply_signed);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a * b; });
        ZOLT_NEXT_TOP;
    op_multiply_float:
        ZOLT_CHECK_STACK(multiply_float);
        scalar::binary_float(stack, sp, top, [](float a, float b) { return a * b; });
        ZOLT_NEXT_TOP;
    op_divide_unsigned:
        ZOLT_CHECK_STACK(divide_unsigned);
        if (top == 0) {
            goto fault;
        }
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a / b; });
        ZOLT_NEXT_TOP;
    op_modulo_unsigned:
        ZOLT_CHECK_STACK(modulo_unsigned);
        if (top == 0) {
            goto fault;
        }
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a % b; });
        ZOLT_NEXT_TOP;
    op_divide_signed:
        ZOLT_CHECK_STACK(divide_signed);
        if (top == 0) {
            goto fault;
        }
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return scalar::signed_quotient(a, b, false); });
        ZOLT_NEXT_TOP;
    op_modulo_signed:
        ZOLT_CHECK_STACK(modulo_signed);
        if (top == 0) {
            goto fault;
        }
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return scalar::signed_quotient(a, b, true); });
        ZOLT_NEXT_TOP;
    op_divide_float:
        ZOLT_CHECK_STACK(divide_float);
        if (word_to_float(stack[sp - 1]) == 0.0f) {
            goto fault;
        }
        scalar::binary_float(stack, sp, top, [](float a, float b) { return a / b; });
        ZOLT_NEXT_TOP;
    op_modulo_float:
        ZOLT_CHECK_STACK(modulo_float);
        if (word_to_float(stack[sp - 1]) == 0.0f) {
            goto fault;
        }
        scalar::binary_float(stack, sp, top, [](float a, float b) { return std::fmod(a, b); });
        ZOLT_NEXT_TOP;
    op_reciprocal:
        ZOLT_CHECK_STACK(reciprocal);
        if (word_to_float(stack[sp - 1]) == 0.0f) {
            goto fault;
        }
        scalar::unary_float(stack, sp, top, [](float a) { return 1.0f / a; });
        ZOLT_NEXT_TOP;
    op_absolute:
        ZOLT_CHECK_STACK(absolute);
        scalar::unary(stack, sp, top, scalar::absolute_signed);
        ZOLT_NEXT_TOP;
    op_absolute_float:
        ZOLT_CHECK_STACK(absolute_float);
        scalar::unary(stack, sp, top, [](uint32_t a) { return a & 0x7FFFFFFFu; });
        ZOLT_NEXT_TOP;
    op_minimum_unsigned:
        ZOLT_CHECK_STACK(minimum_unsigned);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a < b ? a : b; });
        ZOLT_NEXT_TOP;
    op_minimum_signed:
        ZOLT_CHECK_STACK(minimum_signed);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return scalar::to_s32(a) < scalar::to_s32(b) ? a : b; });
        ZOLT_NEXT_TOP;
    op_minimum_float:
        ZOLT_CHECK_STACK(minimum_float);
        scalar::binary_float(stack, sp, top, [](float a, float b) { return a > b ? b : a; });
        ZOLT_NEXT_TOP;
    op_maximum_unsigned:
        ZOLT_CHECK_STACK(maximum_unsigned);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return a > b ? a : b; });
        ZOLT_NEXT_TOP;
    op_maximum_signed:
        ZOLT_CHECK_STACK(maximum_signed);
        scalar::binary(stack, sp, top, [](uint32_t a, uint32_t b) { return scalar::to_s32(a) > scalar::to_s32(b) ? a : b; });
        ZOLT_NEXT_TOP;
    op_maximum_float:
        ZOLT_CHECK_STACK(maximum_float);
        scalar::binary_float(stack, sp, top, [](float a, float b) { return a > b ? a : b; });
        ZOLT_NEXT_TOP;
    op_square_root:
        ZOLT_CHECK_STACK(square_root);
        if (word_to_float(stack[sp - 1]) < 0.0f) {
            goto fault;
        }
        scalar::unary_float(stack, sp, top, [](float a) { return std::sqrt(a); });
        ZOLT_NEXT_TOP;
    op_sine:
        ZOLT_CHECK_STACK(sine);
        scalar::unary_float(stack, sp, top, trig::sine);
        ZOLT_NEXT_TOP;
    op_cosine:
        ZOLT_CHECK_STACK(cosine);
        scalar::unary_float(stack, sp, top, trig::cosine);
        ZOLT_NEXT_TOP;
    op_tangent:
        ZOLT_CHECK_STACK(tangent);
        scalar::unary_float(stack, sp, top, trig::tangent);
        ZOLT_NEXT_TOP;
    op_arcsine:
        ZOLT_CHECK_STACK(arcsine);
        scalar::unary_float(stack, sp, top, trig::arcsine);
        ZOLT_NEXT_TOP;
    op_arccosine:
        ZOLT_CHECK_STACK(arccosine);
        scalar::unary_float(stack, sp, top, trig::arccosine);
        ZOLT_NEXT_TOP;
    op_arctangent:
        ZOLT_CHECK_STACK(arctangent);
        scalar::unary_float(stack, sp, top, trig::arctangent);
        ZOLT_NEXT_TOP;
    op_arctangent2:
        ZOLT_CHECK_STACK(arctangent2);
        scalar::binary_float(stack, sp, top, [](float x, float y) { return trig::arctangent2(y, x); });
        ZOLT_NEXT_TOP;
    op_logarithm:
        ZOLT_CHECK_STACK(logarithm);
        if (word_to_float(stack[sp - 1]) <= 0.0f) {
            goto fault;
        }
        scalar::unary_float(stack, sp, top, [](float a) { return std::log(a); });
        ZOLT_NEXT_TOP;
    op_exponential:
        ZOLT_CHECK_STACK(exponential);
        scalar::unary_float(stack, sp, top, [](float a) { return std::exp(a); });
        ZOLT_NEXT_TOP;
    op_power:
        ZOLT_CHECK_STACK(power);
        scalar::binary_float(stack, sp, top, [](float exponent, float base) { return std::pow(base, exponent); });
        ZOLT_NEXT_TOP;
    op_floor:
        ZOLT_CHECK_STACK(floor);
        scalar::unary_float(stack, sp, top, [](float a) { return std::floor(a); });
        ZOLT_NEXT_TOP;
    op_ceiling:
        ZOLT_CHECK_STACK(ceiling);
        scalar::unary_float(stack, sp, top, [](float a) { return std::ceil(a); });
        ZOLT_NEXT_TOP;
    op_round:
        ZOLT_CHECK_STACK(round);
        scalar::unary_float(stack, sp, top, [](float a) { return std::floor(a + 0.5f); });
        ZOLT_NEXT_TOP;
    op_fraction:
        ZOLT_CHECK_STACK(fraction);
        scalar::unary_float(stack, sp, top, [](float a) { return a - std::floor(a); });
        ZOLT_NEXT_TOP;
    op_interpolate:
        ZOLT_CHECK_STACK(interpolate);
        scalar::interpolate(stack, sp);
        ZOLT_NEXT;
    op_wrapped_difference:
        ZOLT_CHECK_STACK(wrapped_difference);
        scalar::binary_float(stack, sp, top, scalar::wrapped_difference);
        ZOLT_NEXT_TOP;
    op_negate_vector2:
        ZOLT_CHECK_STACK(negate_vector2);
        vector::negate_in_place(stack, sp, 2);
        ZOLT_NEXT;
    op_negate_vector3:
        ZOLT_CHECK_STACK(negate_vector3);
        vector::negate_in_place(stack, sp, 3);
        ZOLT_NEXT;
    op_negate_vector4:
        ZOLT_CHECK_STACK(negate_vector4);
        vector::negate_in_place(stack, sp, 4);
        ZOLT_NEXT;
    op_add_vector2:
        ZOLT_CHECK_STACK(add_vector2);
        vector::combine(stack, sp, 2, [](float a, float b) { return a + b; });
        ZOLT_NEXT;
    op_add_vector3:
        ZOLT_CHECK_STACK(add_vector3);
        vector::combine(stack, sp, 3, [](float a, float b) { return a + b; });
        ZOLT_NEXT;
    op_add_vector4:
        ZOLT_CHECK_STACK(add_vector4);
        vector::combine(stack, sp, 4, [](float a, float b) { return a + b; });
        ZOLT_NEXT;
    op_subtract_vector2:
        ZOLT_CHECK_STACK(subtract_vector2);
        vector::combine(stack, sp, 2, [](float a, float b) { return a - b; });
        ZOLT_NEXT;
    op_subtract_vector3:
        ZOLT_CHECK_STACK(subtract_vector3);
        vector::combine(stack, sp, 3, [](float a, float b) { return a - b; });
        ZOLT_NEXT;
    op_subtract_vector4:
        ZOLT_CHECK_STACK(subtract_vector4);
        vector::combine(stack, sp, 4, [](float a, float b) { return a - b; });
        ZOLT_NEXT;
    op_multiply_vector2:
        ZOLT_CHECK_STACK(multiply_vector2);
        vector::combine(stack, sp, 2, [](float a, float b) { return a * b; });
        ZOLT_NEXT;
    op_multiply_vector3:
        ZOLT_CHECK_STACK(multiply_vector3);
        vector::combine(stack, sp, 3, [](float a, float b) { return a * b; });
        ZOLT_NEXT;
    op_multiply_vector4:
        ZOLT_CHECK_STACK(multiply_vector4);
        vector::combine(stack, sp, 4, [](float a, float b) { return a * b; });
        ZOLT_NEXT;
    op_scale_vector2:
        ZOLT_CHECK_STACK(scale_vector2);
        vector::scale(stack, sp, 2, false);
        ZOLT_NEXT;
    op_scale_vector3:
        ZOLT_CHECK_STACK(scale_vector3);
        vector::scale(stack, sp, 3, false);
        ZOLT_NEXT;
    op_scale_vector4:
        ZOLT_CHECK_STACK(scale_vector4);
        vector::scale(stack, sp, 4, false);
        ZOLT_NEXT;
    op_divide_vector2:
        ZOLT_CHECK_STACK(divide_vector2);
        if (!vector::scale(stack, sp, 2, true)) {
            goto fault;
        }
        ZOLT_NEXT;
    op_divide_vector3:
        ZOLT_CHECK_STACK(divide_vector3);
        if (!vector::scale(stack, sp, 3, true)) {
            goto fault;
        }
        ZOLT_NEXT;
    op_divide_vector4:
        ZOLT_CHECK_STACK(divide_vector4);
        if (!vector::scale(stack, sp, 4, true)) {
            goto fault;
        }
        ZOLT_NEXT;
    op_dot_vector2:
        ZOLT_CHECK_STACK(dot_vector2);
        vector::dot_product(stack, sp, 2);
        ZOLT_NEXT;
    op_dot_vector3:
        ZOLT_CHECK_STACK(dot_vector3);
        vector::dot_product(stack, sp, 3);
        ZOLT_NEXT;
    op_dot_vector4:
        ZOLT_CHECK_STACK(dot_vector4);
        vector::dot_product(stack, sp, 4);
        ZOLT_NEXT;
    op_cross_vector3:
        ZOLT_CHECK_STACK(cross_vector3);
        vector::cross(stack, sp);
        ZOLT_NEXT;
    op_length_vector2:
        ZOLT_CHECK_STACK(length_vector2);
        vector::length(stack, sp, 2);
        ZOLT_NEXT;
    op_length_vector3:
        ZOLT_CHECK_STACK(length_vector3);
        vector::length(stack, sp, 3);
        ZOLT_NEXT;
    op_length_vector4:
        ZOLT_CHECK_STACK(length_vector4);
        vector::length(stack, sp, 4);
        ZOLT_NEXT;
    op_normalize_vector2:
        ZOLT_CHECK_STACK(normalize_vector2);
        vector::normalize_or_default(stack, sp, 2);
        ZOLT_NEXT;
    op_normalize_vector3:
        ZOLT_CHECK_STACK(normalize_vector3);
        vector::normalize_or_default(stack, sp, 3);
        ZOLT_NEXT;
    op_normalize_vector4:
        ZOLT_CHECK_STACK(normalize_vector4);
        vector::normalize_or_default(stack, sp, 4);
        ZOLT_NEXT;
    op_interpolate_vector2:
        ZOLT_CHECK_STACK(interpolate_vector2);
        vector::interpolate(stack, sp, 2);
        ZOLT_NEXT;
    op_interpolate_vector3:
        ZOLT_CHECK_STACK(interpolate_vector3);
        vector::interpolate(stack, sp, 3);
        ZOLT_NEXT;
    op_interpolate_vector4:
        ZOLT_CHECK_STACK(interpolate_vector4);
        vector::interpolate(stack, sp, 4);
        ZOLT_NEXT;
    op_conjugate_quaternion:
        ZOLT_CHECK_STACK(conjugate_quaternion);
        vector::negate_in_place(stack, sp, 3);
        ZOLT_NEXT;
    op_negate_quaternion_w:
        ZOLT_CHECK_STACK(negate_quaternion_w);
        stack[sp - 4] ^= 0x80000000u;
        ZOLT_NEXT;
    op_normalize_quaternion:
        ZOLT_CHECK_STACK(normalize_quaternion);
        if (!vector::normalize_quaternion(stack, sp)) {
            goto fault;
        }
        ZOLT_NEXT;
    op_rotate_vector3:
        ZOLT_CHECK_STACK(rotate_vector3);
        vector::rotate_vector(stack, sp);
        ZOLT_NEXT;
    op_multiply_quaternion:
        ZOLT_CHECK_STACK(multiply_quaternion);
        ZOLT_WITH_STACK_INDEX(vector::multiply_quaternions(stack, moved_sp));
        ZOLT_NEXT;
    op_quaternion_difference:
        ZOLT_CHECK_STACK(quaternion_difference);
        ZOLT_WITH_STACK_INDEX(vector::quaternion_difference(stack, moved_sp));
        ZOLT_NEXT;
    op_slerp_quaternion:
        ZOLT_CHECK_STACK(slerp_quaternion);
        ZOLT_WITH_STACK_INDEX(vector::slerp_quaternions(stack, moved_sp));
        ZOLT_NEXT;
    op_angles_to_quaternion:
        ZOLT_CHECK_STACK(angles_to_quaternion);
        vector::push_angles_quaternion(stack, sp);
        ZOLT_NEXT;
    op_quaternion_to_angles:
        ZOLT_CHECK_STACK(quaternion_to_angles);
        vector::quaternion_to_angles(stack, sp);
        ZOLT_NEXT;
    op_direction_to_quaternion:
        ZOLT_CHECK_STACK(direction_to_quaternion);
        vector::direction_to_quaternion(stack, sp);
        ZOLT_NEXT;
    op_quaternion_to_axis_angle:
        ZOLT_CHECK_STACK(quaternion_to_axis_angle);
        vector::quaternion_to_axis_angle(stack, sp);
        ZOLT_NEXT;
    op_axis_angle_to_quaternion:
        ZOLT_CHECK_STACK(axis_angle_to_quaternion);
        vector::axis_angle_to_quaternion(stack, sp);
        ZOLT_NEXT;
    op_quaternion_y_axis:
        ZOLT_CHECK_STACK(quaternion_y_axis);
        ZOLT_WITH_STACK_INDEX(vector::rotate_axis(stack, moved_sp, 1));
        ZOLT_NEXT;
    op_quaternion_x_axis:
        ZOLT_CHECK_STACK(quaternion_x_axis);
        ZOLT_WITH_STACK_INDEX(vector::rotate_axis(stack, moved_sp, 0));
        ZOLT_NEXT;
    op_quaternion_z_axis:
        ZOLT_CHECK_STACK(quaternion_z_axis);
        ZOLT_WITH_STACK_INDEX(vector::rotate_axis(stack, moved_sp, 2));
        ZOLT_NEXT;
    op_unpack_color3:
    op_unpack_color4:
        ZOLT_CHECK_SHARED_STACK;
        vector::unpack_color(stack, sp, opcode - number_of(Opcode::unpack_color3) + 3);
        ZOLT_NEXT;
    op_pack_color3:
    op_pack_color4:
        ZOLT_CHECK_SHARED_STACK;
        vector::pack_color(stack, sp, opcode - number_of(Opcode::pack_color3) + 3);
        ZOLT_NEXT;
    op_save_game:
        ZOLT_CHECK_STACK(save_game);
        ZOLT_CALL_OUT(save_game_opcode(context, running));
        ZOLT_NEXT;
    op_load_game:
        ZOLT_CHECK_STACK(load_game);
        ZOLT_CALL_OUT(load_game_opcode(context, running));
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
// clang-format on

#undef ZOLT_CALL_OUT
#undef ZOLT_INCREMENT_STATEMENT
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
#undef ZOLT_ENTER_CALL

}  // namespace zolt::core

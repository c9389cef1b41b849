#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "libs/system/time_base.h"
#include "support/child_process.h"
#include "support/game_folder.h"
#include "zolt/core/main_thread/scheduler.h"
#include "zolt/core/program/engine.h"
#include "zolt/core/resources/language.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/script/opcode_table.h"
#include "zolt/core/script/task_test_support.h"
#include "zolt/core/script_objects/string_object.h"

namespace zolt::core {
namespace {

using test::ScriptWorld;

// Appends the word on top of the stack to the report array named by r1.
const char* const report = "    push_r1\n    pop_r0\n    append_element\n";

std::string reporting(uint32_t value) {
    return "    push_word " + std::to_string(value) + "\n" + report;
}

// A task that counts to five, giving way to every task due now after each
// step, and then reports its count.
const char* const counting_task =
    "counter:\n"
    "    set_r2 0\n"
    "count:\n"
    "    set_r0 0\n"
    "    wait\n"
    "    push_r2\n"
    "    increment\n"
    "    pop_r2\n"
    "    push_r2\n"
    "    push_word 5\n"
    "    compare_signed\n"
    "    jump_if_negative count\n"
    "    push_r2\n"
    "    push_r1\n"
    "    pop_r0\n"
    "    append_element\n"
    "    end_task\n";

struct FaultCase {
    const char* name;
    const char* code;
};

// Each program gives way once, then faults; nothing after the fault runs.
const FaultCase fault_cases[] = {
    {"invalid opcode", "    .byte 250\n"},
    {"highest invalid opcode", "    .byte 255\n"},
    {"jump outside the code", "    jump 100000\n"},
    {"jump to exactly the code end", "    jump code_end\n"},
    {"conditional jump outside", "    push_zero\n    jump_if_zero 100000\n"},
    {"local call outside", "    call_local 100000\n"},
    {"return offset outside", "    call_local bad_return\n"},
    {"forged caller code object", "    call_local bad_caller\n"},
    {"operand stack overflow", "overflow:\n    push_zero\n    jump overflow\n"},
    {"endless recursion", "recursion:\n    call_local recursion\n"},
    {"endless recursion through a code reference", "recursion_by_reference:\n    call code(recursion_by_reference)\n"},
    {"operand stack underflow", "    drop1\n"},
    {"pop into registers from an empty stack", "    pop_all\n"},
    {"pick below the stack", "    push_zero\n    pick 1\n"},
    {"poke below the stack", "    push_zero\n    push_zero\n    poke 1\n"},
    {"local above the stack", "    push_local1 0\n"},
    {"argument below the entry frame", "    push_argument1 0\n"},
    {"release below the stack", "    release 1\n"},
    {"reserve past the stack",
     "    reserve 255\n    reserve 255\n    reserve 255\n    reserve 255\n    reserve 255\n"
     "    reserve 255\n    reserve 255\n    reserve 255\n    reserve 255\n"},
    {"unsigned division by zero", "    push_one\n    push_zero\n    divide_unsigned\n"},
    {"signed division by zero", "    push_one\n    push_zero\n    divide_signed\n"},
    {"unsigned remainder by zero", "    push_one\n    push_zero\n    modulo_unsigned\n"},
    {"signed remainder by zero", "    push_one\n    push_zero\n    modulo_signed\n"},
    {"float division by zero", "    push_word 1.0\n    push_word 0.0\n    divide_float\n"},
    {"float division by minus zero", "    push_word 1.0\n    push_word 0x80000000\n    divide_float\n"},
    {"float remainder by zero", "    push_word 1.0\n    push_word 0.0\n    modulo_float\n"},
    {"reciprocal of zero", "    push_word 0.0\n    reciprocal\n"},
    {"square root of a negative number", "    push_word -1.0\n    square_root\n"},
    {"logarithm of zero", "    push_word 0.0\n    logarithm\n"},
    {"vector division by zero", "    push_words3 1.0, 2.0, 0.0\n    divide_vector2\n"},
    {"normalising a zero quaternion", "    push_words4 0.0, 0.0, 0.0, 0.0\n    normalize_quaternion\n"},
};

std::string make_fault_source() {
    std::string source = ".code 0 1\n.entry counter\n";
    for (size_t index = 0; index < std::size(fault_cases); ++index) {
        source += ".entry fault" + std::to_string(index) + "\n";
    }
    source += ".entry recursion_by_reference\n";
    source += counting_task;
    for (size_t index = 0; index < std::size(fault_cases); ++index) {
        source += "fault" + std::to_string(index) + ":\n" + reporting(1) + "    set_r0 0\n    wait\n" +
                  fault_cases[index].code + reporting(999) + "    end_task\n";
    }
    source +=
        "bad_return:\n"
        "    push_word 100000\n"
        "    poke 0\n"
        "    return_to_caller\n"
        "bad_caller:\n"
        "    push_word 0x04412345\n"
        "    poke 1\n"
        "    return_to_caller\n"
        "code_end:\n";
    return source;
}

TEST(Interpreter, AFaultEndsOnlyItsTaskWhileAnotherGoesOn) {
    ScriptWorld world({make_fault_source()});
    for (size_t index = 0; index < std::size(fault_cases); ++index) {
        SCOPED_TRACE(fault_cases[index].name);
        ArrayObject* const reports = test::make_report_array();
        Task* const counter = world.start(0x4000);
        Task* const faulty = world.start(0x4000 + 1 + static_cast<uint32_t>(index));
        ASSERT_NE(counter, nullptr);
        ASSERT_NE(faulty, nullptr);
        const ObjectHandle faulty_handle = faulty->get_handle();
        counter->set_argument(1, reports->get_handle());
        faulty->set_argument(1, reports->get_handle());
        world.run();
        EXPECT_FALSE(test::is_alive(faulty_handle));
        EXPECT_EQ(test::read_array(reports), (std::vector<uint32_t>{1, 5}));
        EXPECT_EQ(task_server.get_live_count(), 0u);
        destroy_object(reports);
    }
}

// Programs whose last instruction's operand would lie past the code end.
TEST(Interpreter, AnOperandPastTheCodeEndIsAFault) {
    const auto opcode_byte = [](Opcode opcode) { return ".byte " + std::to_string(static_cast<int>(opcode)); };
    const std::string endings[] = {opcode_byte(Opcode::push_word), opcode_byte(Opcode::push_byte),
                                   opcode_byte(Opcode::poke),
                                   opcode_byte(Opcode::push_words2) + "\n    .byte 0, 0, 0, 1, 0, 0, 0",
                                   opcode_byte(Opcode::append_text) + "\n    .byte 0, 0\n    .word 1000"};
    for (const std::string& ending : endings) {
        SCOPED_TRACE(ending);
        ScriptWorld world({std::string(".code 0 1\n.entry start\nstart:\n    push_zero\n    ") + ending + "\n"});
        Task* const task = world.start(0x4000);
        ASSERT_NE(task, nullptr);
        const ObjectHandle handle = task->get_handle();
        EXPECT_EQ(ScriptWorld::execute(task), 0u);
        EXPECT_FALSE(test::is_alive(handle));
        // The program counter is left on the faulting opcode.
        EXPECT_EQ(ScriptWorld::context().program_counter, 1u);
    }
}

TEST(Interpreter, TasksForMissingCodeAreNotCreatedAndEntriesPastTheCodeEndAtOnce) {
    ScriptWorld world({".code 0 1\n.entry start\n.entry 5000\nstart:\n    end_task\n"});
    EXPECT_EQ(world.start(0x4000 + 2), nullptr);
    EXPECT_EQ(world.start(make_code_reference(0, 9, 0)), nullptr);
    Task* const past_end = world.start(0x4001);
    ASSERT_NE(past_end, nullptr);
    const ObjectHandle handle = past_end->get_handle();
    EXPECT_EQ(ScriptWorld::execute(past_end), 0u);
    EXPECT_FALSE(test::is_alive(handle));
    EXPECT_EQ(task_server.get_live_count(), 0u);
}

TEST(Interpreter, ComputesWithLocalsAndArgumentsAcrossCodeObjects) {
    ScriptWorld world(
        {".code 0 1\n"
         ".entry start\n"
         "start:\n"
         "    reserve 2\n"
         "    push_word 6\n"
         "    pop_local1 0\n"
         "    push_word 7\n"
         "    pop_local1 1\n"
         "    push_local2 0\n"
         "    call code(0, 2, 0)\n"
         "    drop2\n"
         "    push_r0\n"
         "    call_local add_ten\n"
         "    drop1\n"
         "    end_task\n"
         "add_ten:\n"
         "    push_argument1 0\n"
         "    push_word 10\n"
         "    add\n"
         "    pop_r0\n"
         "    return_to_caller\n",
         ".code 0 2\n"
         ".entry multiply\n"
         "multiply:\n"
         "    set_r0 0\n"
         "    wait\n"
         "    push_argument2 0\n"
         "    multiply_signed\n"
         "    pop_r0\n"
         "    return_to_caller\n"});
    Task* const task = world.start(0x4000);
    ASSERT_NE(task, nullptr);
    // The callee gives way once: while it waits its code object is held.
    world.start(0x4000);
    EXPECT_EQ(world.run(), 0u);
    const CodeObject* const callee = code_server.find_code_object(2, 0);
    const CodeObject* const caller = code_server.find_code_object(1, 0);
    ASSERT_NE(callee, nullptr);
    EXPECT_EQ(ScriptWorld::context().registers[0], 52u);
    EXPECT_EQ(callee->get_reference_count(), 0u);
    EXPECT_EQ(caller->get_reference_count(), 0u);
    EXPECT_EQ(task_server.get_live_count(), 0u);
}

TEST(Interpreter, ACallIntoAnotherCodeObjectHoldsItUntilTheReturn) {
    ScriptWorld world(
        {".code 0 1\n.entry start\nstart:\n    call code(0, 2, 0)\n    set_r0 0\n    wait\n    end_task\n",
         ".code 0 2\n.entry callee\ncallee:\n    set_r0 0\n    wait\n    return_to_caller\n"});
    Task* const task = world.start(0x4000);
    Task* const other = world.start(0x4000);
    ASSERT_NE(other, nullptr);
    CodeObject* const caller = code_server.find_code_object(1, 0);
    EXPECT_EQ(task->get_held_code_count(), 1u);
    EXPECT_EQ(caller->get_reference_count(), 2u);
    // Both tasks stop in the callee, then both in the caller.
    EXPECT_EQ(ScriptWorld::execute(task), 0u);
    CodeObject* const callee = code_server.find_code_object(2, 0);
    EXPECT_EQ(task->get_held_code_count(), 2u);
    EXPECT_EQ(callee->get_reference_count(), 1u);
    EXPECT_EQ(ScriptWorld::execute(task), 0u);
    EXPECT_EQ(task->get_held_code_count(), 1u);
    EXPECT_EQ(callee->get_reference_count(), 0u);
    EXPECT_EQ(caller->get_reference_count(), 2u);
    world.run();
    EXPECT_EQ(caller->get_reference_count(), 0u);
}

TEST(Interpreter, CallsThatFindNothingAreSkippedAndPushNothing) {
    ScriptWorld world(
        {".code 0 1\n"
         ".entry start\n"
         "start:\n"
         "    push_one\n"
         "    call code(0, 1, 500)\n"
         "    call code(0, 99, 0)\n"
         "    push_word code(3, 1, 0)\n"
         "    call_popped\n"
         "    end_task\n"});
    world.start(0x4000);
    world.run();
    EXPECT_EQ(ScriptWorld::context().stack_index, 1u);
    EXPECT_EQ(task_server.get_live_count(), 0u);
}

// Calls through a reference into the running code object take a shorter
// path than other calls; what they leave must not differ.
TEST(Interpreter, ACallThroughAReferenceIntoTheRunningCodeIsALocalCallToTheEntry) {
    ScriptWorld world(
        {".code 0 1\n"
         ".entry start\n"
         ".entry sum\n"
         ".entry frame\n"
         "start:\n"
         "    push_byte 10\n"
         "    call code(sum)\n"
         "    drop1\n"
         "    push_r0\n"
         "    pop_r1\n"
         "    call_local frame\n"
         "    push_r2\n    pop_r5\n    push_r3\n    pop_r6\n    push_r4\n    pop_r7\n"
         "    call code(frame)\n"
         "    end_task\n"
         // sum(n) = n + sum(n - 1), with n kept in a local.
         "sum:\n"
         "    reserve 1\n"
         "    push_argument1 0\n    pop_local1 0\n"
         "    push_local1 0\n    jump_if_not_zero sum_recurse\n"
         "    set_r0 0\n    return_to_caller\n"
         "sum_recurse:\n"
         "    push_local1 0\n    decrement\n    call code(0, 1, 1)\n    drop1\n"
         "    push_r0\n    push_local1 0\n    add\n    pop_r0\n    return_to_caller\n"
         // r2, r3, r4 = return offset, code object, caller frame base.
         "frame:\n"
         "    pick 0\n    pop_r2\n    pick 1\n    pop_r3\n    pick 2\n    pop_r4\n    return_to_caller\n"});
    Task* const task = world.start(0x4000);
    ASSERT_NE(task, nullptr);
    const ObjectHandle code_object = code_server.get_code_object_handle(0, 1);
    world.run();
    const uint32_t* const r = ScriptWorld::context().registers;
    EXPECT_EQ(r[1], 55u);
    EXPECT_EQ(r[6], code_object);
    EXPECT_EQ(r[3], code_object);
    EXPECT_EQ(r[7], 0u);
    EXPECT_EQ(r[4], 0u);
    // Both return just past their call: six one-byte instructions, then the
    // second call's opcode, padding and operand.
    EXPECT_EQ(r[2], r[5] + 12);
    EXPECT_EQ(ScriptWorld::context().stack_index, 0u);
}

// The loop remembers the last reference it entered; selecting another code
// object of the chain in between must send a key-0 call there.
TEST(Interpreter, AKeyZeroCallFollowsASelectionMadeBetweenTwoCalls) {
    ScriptWorld world(
        {".code 0 1\n"
         ".entry start\n"
         ".entry mark\n"
         "start:\n"
         "    call code(0, 0, 1)\n"
         "    push_r5\n    pop_r0\n    set_r2 0x0300001C\n    push_one\n    set_property\n"
         "    call code(0, 0, 1)\n"
         "    end_task\n"
         "mark:\n"
         "    push_r3\n    increment\n    pop_r3\n    return_to_caller\n",
         ".code 0 2\n"
         ".entry other\n"
         ".entry mark\n"
         "other:\n"
         "    end_task\n"
         "mark:\n"
         "    push_r4\n    increment\n    pop_r4\n    return_to_caller\n"});
    Task* const task = world.start(0x4000);
    ASSERT_NE(task, nullptr);
    const CodeObject* const other = code_server.find_code_object(2, 0);
    ASSERT_NE(other, nullptr);
    ASSERT_FALSE(other->is_selected());
    task->set_argument(5, other->get_handle());
    world.run();
    EXPECT_TRUE(other->is_selected());
    EXPECT_EQ(ScriptWorld::context().registers[3], 1u);
    EXPECT_EQ(ScriptWorld::context().registers[4], 1u);
}

TEST(Interpreter, ACallThroughAReferenceToAnEntryPastTheCodeEndFaultsWithItsFramePushed) {
    ScriptWorld world(
        {".code 0 1\n.entry start\n.entry 5000\nstart:\n    push_one\n    call code(0, 1, 1)\n"
         "    end_task\n"});
    Task* const task = world.start(0x4000);
    ASSERT_NE(task, nullptr);
    const ObjectHandle handle = task->get_handle();
    EXPECT_EQ(ScriptWorld::execute(task), 0u);
    EXPECT_FALSE(test::is_alive(handle));
    EXPECT_EQ(ScriptWorld::context().program_counter, 1u);
    EXPECT_EQ(ScriptWorld::context().stack_index, 4u);
    EXPECT_EQ(ScriptWorld::context().frame_base, 4u);
}

TEST(Interpreter, ReturningFromTheEntryFrameEndsTheTaskWhateverIsOnTheStack) {
    ScriptWorld world(
        {".code 0 1\n.entry start\nstart:\n    push_zero\n    push_zero\n    return_to_caller\n"
         "    push_zero\n    end_task\n"});
    Task* const task = world.start(0x4000);
    const ObjectHandle handle = task->get_handle();
    EXPECT_EQ(ScriptWorld::execute(task), 0u);
    EXPECT_FALSE(test::is_alive(handle));
    EXPECT_EQ(ScriptWorld::context().stack_index, 0u);
}

TEST(Interpreter, ATaskThatDestroysItselfStopsAtOnce) {
    ScriptWorld world({std::string(".code 0 1\n.entry start\nstart:\n") + reporting(1) +
                       "    get_task\n    destroy_object\n" + reporting(2) + "    end_task\n"});
    ArrayObject* const reports = test::make_report_array();
    Task* const task = world.start(0x4000);
    task->set_argument(1, reports->get_handle());
    const ObjectHandle handle = task->get_handle();
    EXPECT_EQ(ScriptWorld::execute(task), 0u);
    EXPECT_FALSE(test::is_alive(handle));
    EXPECT_EQ(test::read_array(reports), (std::vector<uint32_t>{1}));
}

TEST(Interpreter, StackOpcodesMoveWordsAsGroups) {
    ScriptWorld world(
        {".code 0 1\n"
         ".entry start\n"
         "start:\n"
         "    push_words3 10, 20, 30\n"
         "    poke 0\n"  // 10 30
         "    push_words2 40, 50\n"
         "    swap2\n"   // 40 50 10 30
         "    dup1\n"    // 40 50 10 30 30
         "    pick 4\n"  // ... 30 40
         "    push_byte 200\n"
         "    push_signed_byte -2\n"
         "    pop_even\n"  // r0 = -2, r2 = 200, r4 = 40, r6 = 30
         "    pop_r1\n"    // 30
         "    end_task\n"});
    world.start(0x4000);
    world.run();
    const ScriptContext& context = ScriptWorld::context();
    EXPECT_EQ(context.registers[0], 0xFFFFFFFEu);
    EXPECT_EQ(context.registers[2], 200u);
    EXPECT_EQ(context.registers[4], 40u);
    EXPECT_EQ(context.registers[6], 30u);
    EXPECT_EQ(context.registers[1], 30u);
    ASSERT_EQ(context.stack_index, 3u);
    EXPECT_EQ(context.stack[0], 40u);
    EXPECT_EQ(context.stack[1], 50u);
    EXPECT_EQ(context.stack[2], 10u);
}

TEST(Interpreter, ANewTaskStartsWithItsCreatorsRegistersAndRunsFirstWhenDueNow) {
    const std::string source = std::string(".code 0 1\n.entry first\n.entry later\n.entry started\n") + "first:\n" +
                               reporting(1) +
                               "    set_r3 77\n"
                               "    push_word -11111\n"
                               "    push_word code(started)\n"
                               "    start_task\n" +
                               reporting(3) + "    end_task\n" + "later:\n" + reporting(1) +
                               "    set_r3 78\n"
                               "    push_zero\n"
                               "    push_word code(started)\n"
                               "    start_task\n" +
                               reporting(3) + "    set_r0 0\n    wait\n    end_task\n" + "started:\n" +
                               "    push_r3\n" + report + "    end_task\n";
    ScriptWorld world({source});
    for (const auto& [entry, expected] :
         {std::pair{0x4000u, std::vector<uint32_t>{1, 77, 3}}, std::pair{0x4001u, std::vector<uint32_t>{1, 3, 78}}}) {
        ArrayObject* const reports = test::make_report_array();
        Task* const task = world.start(entry);
        for (uint32_t n = 0; n < register_count; ++n) {
            EXPECT_EQ(task->get_argument(n), 0u);
        }
        task->set_argument(1, reports->get_handle());
        world.run();
        EXPECT_EQ(test::read_array(reports), expected);
        EXPECT_EQ(task_server.get_live_count(), 0u);
    }
}

TEST(Interpreter, WaitingWithNoDelayGivesWayToEveryTaskDueNow) {
    ScriptWorld world({std::string(".code 0 1\n.entry a\n.entry b\n.entry c\n") + "a:\n" + reporting(1) +
                       "    set_r0 0\n    wait\n    push_r0\n" + report + reporting(4) + "    end_task\n" + "b:\n" +
                       reporting(2) + "    end_task\n" + "c:\n" + reporting(3) + "    end_task\n"});
    ArrayObject* const reports = test::make_report_array();
    for (uint32_t entry = 0; entry < 3; ++entry) {
        world.start(0x4000 + entry)->set_argument(1, reports->get_handle());
    }
    world.run();
    // The waiting task reads 1: it gave way.
    EXPECT_EQ(test::read_array(reports), (std::vector<uint32_t>{1, 2, 3, 1, 4}));
}

// A cooperative thread of the scheduler that is due for as long as it lives.
class DueThread {
public:
    DueThread() { schedule_thread(&thread_, get_time() - 1); }
    ~DueThread() { unlink_thread(&thread_); }

private:
    static void step(Thread*) {}
    Thread thread_{step};
};

TEST(Interpreter, ASliceEndsAfter3500InstructionsOnlyWhenAnotherThreadIsDue) {
    ScriptWorld world(
        {".code 0 1\n"
         ".entry start\n"
         "start:\n"
         "    set_r0 0\n"
         "loop:\n"
         "    push_r0\n"
         "    increment\n"
         "    pop_r0\n"
         "    push_r0\n"
         "    push_word 10000\n"
         "    compare_signed\n"
         "    jump_if_negative loop\n"
         "    end_task\n"});
    Task* const task = world.start(0x4000);
    const ObjectHandle handle = task->get_handle();
    {
        DueThread due;
        EXPECT_EQ(ScriptWorld::execute(task), 1u);
        // 1 + 7 x 499 + 6 instructions.
        EXPECT_EQ(task->get_argument(0), 500u);
        EXPECT_EQ(task->get_stack_byte_count(), 4u + saved_frame_minimum_size);
    }
    EXPECT_EQ(ScriptWorld::execute(task), 0u);
    EXPECT_FALSE(test::is_alive(handle));
    EXPECT_EQ(ScriptWorld::context().registers[0], 10000u);
}

// A constant pushed right before a float addition, subtraction or product
// runs with it at once; the result must be the one the two instructions
// give apart (a nop between them keeps them apart).
TEST(Interpreter, AConstantAndTheFloatOperationAfterItGiveTheResultTheyGiveApart) {
    const char* const operands[][2] = {
        {"1.5", "2.25"},       {"0x7FC00000", "1.0"},   {"1.0", "0x7FC00000"},        {"-0.0", "0.0"},
        {"0.0", "-0.0"},       {"-0.0", "-0.0"},        {"0x7F800000", "0xFF800000"}, {"3.4e38", "3.4e38"},
        {"0x00000001", "0.5"}, {"-7.25", "0x80000000"},
    };
    const char* const operations[] = {"add_float", "subtract_float", "multiply_float"};
    std::string source = ".code 0 1\n";
    std::string bodies;
    uint32_t entry = 0;
    for (const auto& pair : operands) {
        for (const char* operation : operations) {
            for (const char* between : {"", "    nop\n"}) {
                source += ".entry case" + std::to_string(entry) + "\n";
                bodies += "case" + std::to_string(entry++) + ":\n    push_word " + pair[0] + "\n    push_word " +
                          pair[1] + "\n" + between + "    " + operation + "\n    pop_r0\n    end_task\n";
            }
        }
    }
    ScriptWorld world({source + bodies});
    for (uint32_t index = 0; index < entry; index += 2) {
        SCOPED_TRACE(index);
        uint32_t results[2];
        for (uint32_t apart = 0; apart < 2; ++apart) {
            Task* const task = world.start(0x4000 + index + apart);
            ASSERT_EQ(ScriptWorld::execute(task), 0u);
            EXPECT_EQ(ScriptWorld::context().stack_index, 0u);
            results[apart] = ScriptWorld::context().registers[0];
        }
        EXPECT_EQ(results[0], results[1]);
    }
}

// The slice's last instruction is such a constant: the slice ends after
// it, before the float operation, with the constant on the stack.
TEST(Interpreter, ASliceCanEndBetweenAConstantAndItsFloatOperation) {
    std::string source = ".code 0 1\n.entry start\nstart:\n    set_r0 0.0\n    set_r1 0\n";
    for (int nop = 0; nop < 9; ++nop) {
        source += "    nop\n";
    }
    source +=
        "loop:\n"
        "    push_r0\n    push_word 1.0\n    add_float\n    pop_r0\n"
        "    push_r1\n    increment\n    pop_r1\n"
        "    push_r1\n    push_word 1000\n    compare_signed\n    jump_if_negative loop\n"
        "    end_task\n";
    ScriptWorld world({source});
    Task* const task = world.start(0x4000);
    {
        DueThread due;
        // 11 + 11 x 317 + 2 instructions.
        EXPECT_EQ(ScriptWorld::execute(task), 1u);
        EXPECT_EQ(task->get_argument(1), 317u);
        EXPECT_EQ(task->get_stack_byte_count(), 8u + saved_frame_minimum_size);
    }
    EXPECT_EQ(ScriptWorld::execute(task), 0u);
    EXPECT_EQ(ScriptWorld::context().registers[0], 0x447A0000u);  // 1000.0
}

// `push_one; add; pop_local1 c` runs at once; a nop moved from before the
// statement to between the one and the addition keeps the three apart at
// the same code offsets, so both versions must end alike, faults included.
TEST(Interpreter, AnIncrementIntoALocalEndsAsTheThreeInstructionsApart) {
    struct Row {
        const char* label;
        const char* locals;  // pushed first, local 0 lowest
        int from;
        int into;
        const char* after;
    };
    const Row rows[] = {
        {"into another local", "push_word 5\n    push_word 9\n", 0, 1, "    end_task\n"},
        {"into itself, wrapping", "push_word 0xFFFFFFFF\n", 0, 0, "    end_task\n"},
        {"into the word it pushed", "push_word 5\n", 0, 1, "    end_task\n"},
        {"past the stack", "push_word 5\n", 0, 200, "    end_task\n"},
        {"as the code's last bytes", "push_word 5\n    push_word 9\n", 1, 0, ""},
    };
    // Each version is a code object of its own, so the last row can end
    // the code with the statement.
    const auto program = [](const Row& row, bool at_once) {
        return std::string(".code 0 1\n.entry start\nstart:\n    ") + row.locals + (at_once ? "    nop\n" : "") +
               "    push_local1 " + std::to_string(row.from) + "\n    push_one\n" + (at_once ? "" : "    nop\n") +
               "    add\n    pop_local1 " + std::to_string(row.into) + "\n" + row.after;
    };
    struct Outcome {
        uint32_t result;
        bool alive;
        uint32_t program_counter;
        uint32_t stack_index;
        std::vector<uint32_t> words;  // up to two above the stack
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Outcome outcomes[2];
        for (int apart = 0; apart < 2; ++apart) {
            ScriptWorld world({program(row, apart == 0)});
            Task* const task = world.start(0x4000);
            const ObjectHandle handle = task->get_handle();
            Outcome& outcome = outcomes[apart];
            outcome.result = ScriptWorld::execute(task);
            outcome.alive = test::is_alive(handle);
            const ScriptContext& context = ScriptWorld::context();
            outcome.program_counter = context.program_counter;
            outcome.stack_index = context.stack_index;
            outcome.words.assign(context.stack, context.stack + context.stack_index + 2);
        }
        EXPECT_EQ(outcomes[0].result, outcomes[1].result);
        EXPECT_EQ(outcomes[0].alive, outcomes[1].alive);
        EXPECT_EQ(outcomes[0].program_counter, outcomes[1].program_counter);
        EXPECT_EQ(outcomes[0].stack_index, outcomes[1].stack_index);
        EXPECT_EQ(outcomes[0].words, outcomes[1].words);
    }
}

// The slice's last instruction is the one pushed, the addition or the pop:
// the slice ends right after it, with what it left on the stack.
TEST(Interpreter, ASliceCanEndInsideAnIncrementIntoALocal) {
    struct Row {
        int nops;
        uint32_t words;  // on the stack when the slice ends
    };
    // 1 + nops + 1 instructions come before the one pushed.
    const Row rows[] = {{3497, 3}, {3496, 2}, {3495, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.nops);
        std::string source = ".code 0 1\n.entry start\nstart:\n    push_word 41\n";
        for (int nop = 0; nop < row.nops; ++nop) {
            source += "    nop\n";
        }
        source += "    push_local1 0\n    push_one\n    add\n    pop_local1 0\n    pop_r0\n    end_task\n";
        ScriptWorld world({source});
        Task* const task = world.start(0x4000);
        {
            DueThread due;
            EXPECT_EQ(ScriptWorld::execute(task), 1u);
            EXPECT_EQ(task->get_stack_byte_count(), 4u * row.words + saved_frame_minimum_size);
        }
        EXPECT_EQ(ScriptWorld::execute(task), 0u);
        EXPECT_EQ(ScriptWorld::context().registers[0], 42u);
    }
}

TEST(Interpreter, ABuiltinCallRunsTheSliceTestBeforeTheNextInstruction) {
    ScriptWorld world({".code 0 1\n.entry start\nstart:\n    call builtin(230)\n    set_r0 5\n    end_task\n"});
    Task* const task = world.start(0x4000);
    const ObjectHandle handle = task->get_handle();
    {
        DueThread due;
        EXPECT_EQ(ScriptWorld::execute(task), 1u);
        EXPECT_EQ(task->get_argument(0), 0xFFFFFFFFu);
    }
    // With no other thread due it goes on at the next instruction.
    EXPECT_EQ(ScriptWorld::execute(task), 0u);
    EXPECT_EQ(ScriptWorld::context().registers[0], 5u);
    EXPECT_FALSE(test::is_alive(handle));
}

TEST(Interpreter, ABuiltinCallGivesWayWhenAnotherEventCameFirst) {
    ScriptWorld world({".code 0 1\n.entry start\nstart:\n    call builtin(230)\n    set_r0 5\n    end_task\n"});
    Task* const task = world.start(0x4000);
    Task* const other = world.start(0x4000);
    other->cancel_wake();
    other->schedule(test::clock_0_selector, delay_now_first);
    const ObjectHandle handle = task->get_handle();
    // The first due event is the other task's: the builtin call gives way.
    EXPECT_EQ(ScriptWorld::execute(task), 0u);
    EXPECT_TRUE(test::is_alive(handle));
    EXPECT_EQ(task->get_argument(0), 0xFFFFFFFFu);
    world.run();
    EXPECT_EQ(task_server.get_live_count(), 0u);
}

struct ScalarCase {
    const char* operands;  // pushed in order
    const char* opcode;
    uint32_t expected;
};

const ScalarCase scalar_cases[] = {
    {"1, 2", "compare_unsigned", 0xFFFFFFFF},
    {"-1, 2", "compare_unsigned", 1},
    {"-1, 2", "compare_signed", 0xFFFFFFFF},
    {"0x7FC00000, 1.0", "compare_float", 0},
    {"0x7FC00000", "sign_float", 0},
    {"-1.5", "float_to_unsigned", 0xFFFFFFFF},
    {"3.0e9", "float_to_signed", 0x80000000},
    {"0x7FC00000", "float_to_signed", 0x80000000},
    {"0x80000001, 0", "rotate_left", 0x80000001},
    {"0x80000001, 32", "rotate_left", 0x80000001},
    {"0x80000001, 33", "rotate_right", 0xC0000000},
    {"0x80000000, 4", "shift_right_arithmetic", 0xF8000000},
    {"0x80000000, -1", "divide_signed", 0x80000000},
    {"0x80000000, -1", "modulo_signed", 0},
    {"-7, 2", "modulo_signed", 0xFFFFFFFF},
    {"1.0, 0x7FC00000", "divide_float", 0x7FC00000},
    {"0x7FC00000, 1.0", "minimum_float", 0x7FC00000},
    {"1.0, 0x7FC00000", "minimum_float", 0x3F800000},
    {"0x80000000", "absolute", 0x80000000},
    {"3.0, 2.0", "power", 0x41000000},
    {"1.0, 3.0, 0.0", "interpolate", 0x40400000},
    {"0.9, 0.1", "wrapped_difference", 0xBE4CCCD0},
    {"0.0", "negate_float", 0x80000000},
    {"-2.5", "round", 0xC0000000},
    {"5, 0", "logical_and", 0},
    {"5, 0", "logical_xor", 1},
    {"1.0, 2.0, 1.0, 2.0", "compare_vector2", 0},
    {"0x80000000, 0", "test_vector2", 0},
};

TEST(Interpreter, ScalarOpcodesFollowTheirWordKinds) {
    std::string source = ".code 0 1\n";
    for (size_t index = 0; index < std::size(scalar_cases); ++index) {
        source += ".entry case" + std::to_string(index) + "\n";
    }
    for (size_t index = 0; index < std::size(scalar_cases); ++index) {
        const ScalarCase& row = scalar_cases[index];
        std::string pushes;
        std::string operands = row.operands;
        for (size_t start = 0; start < operands.size();) {
            const size_t comma = operands.find(',', start);
            pushes += "    push_word " + operands.substr(start, comma - start) + "\n";
            start = comma == std::string::npos ? operands.size() : comma + 1;
        }
        source +=
            "case" + std::to_string(index) + ":\n" + pushes + "    " + row.opcode + "\n    pop_r0\n    end_task\n";
    }
    ScriptWorld world({source});
    for (size_t index = 0; index < std::size(scalar_cases); ++index) {
        SCOPED_TRACE(std::string(scalar_cases[index].opcode) + " " + scalar_cases[index].operands);
        Task* const task = world.start(0x4000 + static_cast<uint32_t>(index));
        EXPECT_EQ(ScriptWorld::execute(task), 0u);
        EXPECT_EQ(ScriptWorld::context().registers[0], scalar_cases[index].expected);
        EXPECT_EQ(ScriptWorld::context().stack_index, 0u);
    }
}

struct VectorCase {
    const char* operands;  // pushed in order: a vector's x last
    const char* opcode;
    std::vector<uint32_t> stack;  // bottom first
};

const VectorCase vector_cases[] = {
    {"2.0, 1.0, 0.0, 0.0", "normalize_vector2", {0x40000000, 0x3F800000}},
    {"0.0, 0.0, 0.0, 0.0, 4.0, 3.0", "normalize_vector3", {0x00000000, 0x3F4CCCCD, 0x3F19999A}},
    {"0.0, 0.0, 1.0, 0.0, 1.0, 0.0", "cross_vector3", {0xBF800000, 0, 0}},
    {"1.0, 0.0, 0.0, 0.0, 0.5, 0.5, 0.5, 0.5", "multiply_quaternion", {0x3F000000, 0x3F000000, 0x3F000000, 0x3F000000}},
    {"0.5, 0.5, 0.5, 0.5, 1.0, 0.0, 0.0, 0.0", "multiply_quaternion", {0x3F000000, 0x3F000000, 0x3F000000, 0x3F000000}},
    {"-0.5, -0.5, -0.5, -0.5, 0.5, 0.5, 0.5, 0.5", "quaternion_difference", {0x3F800000, 0, 0, 0}},
    {"0x80FF8000", "unpack_color3", {0, 0x3F008081, 0x3F800000}},
    {"0x80FF8000", "unpack_color4", {0x3F008081, 0, 0x3F008081, 0x3F800000}},
    {"0.5, -0.2, 1.5", "pack_color3", {0xFFFF007F}},
    {"0.5, 0.5, 0.5, 0x7FC00000", "pack_color4", {0x7F007F7F}},
    {"4.0, 3.0", "length_vector2", {0x40A00000}},
    {"2.0, 1.0, 4.0, 3.0", "dot_vector2", {0x41300000}},
    {"1.0, 2.0, 3.0, 2.0", "scale_vector3", {0x40000000, 0x40800000, 0x40C00000}},
    {"3.0, 4.0, 1.0, 2.0, 0.0", "interpolate_vector2", {0x3F800000, 0x40000000}},
    {"1.0, 0.0, 0.0, 0.0", "quaternion_y_axis", {0, 0x3F800000, 0}},
    {"1.0, 0.0, 0.0, 0.0", "negate_quaternion_w", {0xBF800000, 0, 0, 0}},
    {"1.0, 0.0, 2.0, 3.0", "conjugate_quaternion", {0x3F800000, 0x80000000, 0xC0000000, 0xC0400000}},
};

TEST(Interpreter, VectorOpcodesKeepXOnTop) {
    std::string source = ".code 0 1\n";
    for (size_t index = 0; index < std::size(vector_cases); ++index) {
        source += ".entry case" + std::to_string(index) + "\n";
    }
    for (size_t index = 0; index < std::size(vector_cases); ++index) {
        std::string pushes;
        const std::string operands = vector_cases[index].operands;
        for (size_t start = 0; start < operands.size();) {
            const size_t comma = operands.find(',', start);
            pushes += "    push_word " + operands.substr(start, comma - start) + "\n";
            start = comma == std::string::npos ? operands.size() : comma + 1;
        }
        source +=
            "case" + std::to_string(index) + ":\n" + pushes + "    " + vector_cases[index].opcode + "\n    end_task\n";
    }
    ScriptWorld world({source});
    for (size_t index = 0; index < std::size(vector_cases); ++index) {
        SCOPED_TRACE(std::string(vector_cases[index].opcode) + " " + vector_cases[index].operands);
        Task* const task = world.start(0x4000 + static_cast<uint32_t>(index));
        EXPECT_EQ(ScriptWorld::execute(task), 0u);
        const ScriptContext& context = ScriptWorld::context();
        EXPECT_EQ(std::vector<uint32_t>(context.stack, context.stack + context.stack_index), vector_cases[index].stack);
    }
}

TEST(Interpreter, ElementStringAndPropertyOpcodesReachObjectsByHandle) {
    ScriptWorld world(
        {".code 0 1\n"
         ".entry start\n"
         "start:\n"
         "    push_r1\n"
         "    pop_r0\n"
         "    push_word 7\n"
         "    append_element\n"
         "    push_r1\n"
         "    pop_r0\n"
         "    push_word 9\n"
         "    push_zero\n"
         "    insert_element\n"  // [9, 7]
         "    push_r1\n"
         "    pop_r0\n"
         "    set_r2 0x300001A\n"
         "    get_property\n"  // r0 = length 2
         "    push_r0\n"
         "    push_r3\n"
         "    pop_r0\n"
         "    append_text \"n=\"\n"
         "    push_word 0x43\n"
         "    push_word 7\n"
         "    append_unsigned\n"
         "    push_word 1\n"
         "    push_word -1\n"
         "    push_r3\n"
         "    append_substring\n"  // the last unit again
         "    push_r1\n"
         "    pop_r0\n"
         "    set_r2 0x300001A\n"
         "    push_one\n"
         "    set_property\n"  // length 1
         "    pop_r7\n"
         "    end_task\n"});
    ArrayObject* const array = test::make_report_array();
    String* const string = string_server.create_string();
    Task* const task = world.start(0x4000);
    task->set_argument(1, array->get_handle());
    task->set_argument(3, string->get_handle());
    EXPECT_EQ(ScriptWorld::execute(task), 0u);
    EXPECT_EQ(test::read_array(array), (std::vector<uint32_t>{9}));
    EXPECT_EQ(ScriptWorld::context().registers[7], 2u);
    EXPECT_EQ(ScriptWorld::context().registers[0], 0x300001Au);
    EXPECT_EQ(std::u16string(string->get_text(), string->get_length()), u"n=0077");
}

TEST(Interpreter, CreatedObjectsBelongToTheTasksContext) {
    ScriptWorld world(
        {".code 0 1\n"
         ".entry second\n"
         "second:\n"
         "    set_r0 7\n"
         "    set_r2 4\n"
         "    create_object\n"
         "    push_r0\n"
         "    pop_r5\n"
         "    set_r0 60\n"
         "    create_object\n"
         "    push_r0\n"
         "    pop_r6\n"
         "    set_r0 13\n"
         "    set_r2 code(0, 9, 0)\n"
         "    create_object\n"
         "    push_r0\n"
         "    pop_r7\n"
         "    shake_resources\n"
         "    push_r5\n"
         "    pop_r0\n"
         "    set_context\n"
         "    get_context\n"
         "    push_r0\n"
         "    pop_r4\n"
         "    set_r0 0x7FFFFFFF\n"
         "    wait\n"
         "    end_task\n"});
    Task* const task = world.start(0x4000);
    ASSERT_EQ(ScriptWorld::execute(task), 0u);
    const ObjectHandle array = task->get_argument(5);
    ASSERT_NE(get_object(array), nullptr);
    EXPECT_EQ(get_handle_server_type(array), server_type::array);
    EXPECT_EQ(get_object(array)->get_owner(), task);
    EXPECT_EQ(get_object(array)->get_context_handle(), task->get_handle());
    EXPECT_EQ(task->get_argument(6), 0u);
    EXPECT_EQ(task->get_argument(7), 0u);
    EXPECT_EQ(task->get_argument(4), array);
    EXPECT_EQ(task->get_context_handle(), array);
    // The array is the task's child: it goes when the task ends.
    destroy_object(task);
    EXPECT_EQ(get_object(array), nullptr);
}

// The engine's run loop starts code reference 0x4001; builtin 182 stores
// the result where the test can see it, and builtin 188 ends the loop.
TEST(Interpreter, AProgramThatCallsQuitEndsTheEnginesRunLoop) {
    test::PackFolder packs;
    tools::PackDescription description;
    description.resources = {tools::make_code_pack_resource(test::assemble_one(".code 0 1\n"
                                                                               ".entry zero\n"
                                                                               ".entry first\n"
                                                                               "zero:\n"
                                                                               "    end_task\n"
                                                                               "first:\n"
                                                                               "    reserve 2\n"
                                                                               "    push_word 6\n"
                                                                               "    pop_local1 0\n"
                                                                               "    push_word 7\n"
                                                                               "    pop_local1 1\n"
                                                                               "    push_local2 0\n"
                                                                               "    call code(0, 2, 0)\n"
                                                                               "    drop2\n"
                                                                               "    push_r0\n"
                                                                               "    call builtin(182)\n"
                                                                               "    drop1\n"
                                                                               "    call builtin(188)\n"
                                                                               "    end_task\n")),
                             tools::make_code_pack_resource(test::assemble_one(".code 0 2\n"
                                                                               ".entry multiply\n"
                                                                               "multiply:\n"
                                                                               "    push_argument2 0\n"
                                                                               "    multiply_signed\n"
                                                                               "    pop_r0\n"
                                                                               "    return_to_caller\n"))};
    packs.add_pack("code.pack", description);
    packs.add_pack_bytes("textures.pack", test::read_sample_textures_pack());
    packs.write_pack_list();
    const test::ChildResult result = test::run_in_child([] {
        start_engine();
        if (!resource_server.is_registered()) {
            resource_server.register_server();
        }
        if (!code_server.is_registered()) {
            code_server.register_server();
        }
        if (!task_server.is_registered()) {
            task_server.register_server();
        }
        run_engine();
        std::fprintf(stderr, "language %u\n", current_language);
        stop_engine();
    });
    EXPECT_EQ(result.exit_code, 0) << result.standard_error;
    EXPECT_NE(result.standard_error.find("language 42\n"), std::string::npos) << result.standard_error;
}

}  // namespace
}  // namespace zolt::core

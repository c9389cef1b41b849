#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <vector>

#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/script/task_test_support.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {
namespace {

using test::ScriptWorld;

std::vector<uint8_t> make_bytes(uint32_t count, uint8_t first) {
    std::vector<uint8_t> bytes(count);
    std::iota(bytes.begin(), bytes.end(), first);
    return bytes;
}

uint32_t count_free_pages(StackPagePool& pool) {
    std::vector<uint32_t> taken;
    while (pool.has_free_page()) {
        taken.push_back(pool.take_page());
    }
    for (const uint32_t page : taken) {
        pool.return_page(page);
    }
    return static_cast<uint32_t>(taken.size());
}

TEST(TaskByteStack, PagesFillToSixtyBytesAndEmptyPagesGoBack) {
    auto pool = std::make_unique<StackPagePool>();
    ByteStack stack;
    const std::vector<uint8_t> first = make_bytes(120, 0);
    push_bytes(stack, *pool, first.data(), 120);
    EXPECT_EQ(stack.byte_count, 120u);
    EXPECT_EQ(get_top_page_fill(stack.byte_count), 60u);
    EXPECT_EQ(count_free_pages(*pool), stack_page_count - 2);
    // A full top page: one more byte takes a new, zeroed page.
    const uint8_t one = 0xAB;
    push_bytes(stack, *pool, &one, 1);
    EXPECT_EQ(count_free_pages(*pool), stack_page_count - 3);
    EXPECT_EQ(pool->get_page(stack.top_page).data[0], 0xAB);
    EXPECT_EQ(pool->get_page(stack.top_page).data[1], 0);

    uint8_t popped[61] = {};
    pop_bytes(stack, *pool, popped, 61);
    EXPECT_EQ(popped[60], 0xAB);
    EXPECT_EQ(popped[0], 60);
    EXPECT_EQ(popped[59], 119);
    EXPECT_EQ(stack.byte_count, 60u);
    EXPECT_EQ(count_free_pages(*pool), stack_page_count - 1);

    // Overwriting reaches into the older page when the run crosses it.
    push_bytes(stack, *pool, first.data(), 8);
    const uint8_t word[4] = {0xF0, 0xF1, 0xF2, 0xF3};
    overwrite_bytes_below_top(stack, *pool, 10, word, 4);
    uint8_t all[68] = {};
    pop_bytes(stack, *pool, all, 68);
    EXPECT_EQ(all[57], 57);
    EXPECT_EQ(all[58], 0xF0);
    EXPECT_EQ(all[59], 0xF1);
    EXPECT_EQ(all[60], 0xF2);
    EXPECT_EQ(all[61], 0xF3);
    EXPECT_EQ(all[62], 2);
    EXPECT_EQ(stack.top_page, 0u);
    EXPECT_EQ(count_free_pages(*pool), stack_page_count);
}

const std::string task_code = ".code 0 1\n.entry start\nstart:\n    set_r0 0\n    wait\n    end_task\n";

TEST(Task, ANewTaskHoldsItsEntryFrameAndAnArgumentCanReachAnOlderPage) {
    ScriptWorld world({task_code});
    Task* const task = world.start(0x4000);
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->get_stack_byte_count(), saved_frame_minimum_size);
    EXPECT_EQ(task->get_held_code_count(), 1u);
    EXPECT_EQ(task->get_context_handle(), task->get_handle());
    EXPECT_NE(task->get_wake_event(), 0u);

    // A saved frame of 68 bytes: the top page holds 8, so r7 (16 bytes
    // below the top) lies in the older page.
    ScriptContext& context = ScriptWorld::context();
    ASSERT_TRUE(task->restore_frame(context));
    context.stack_index = 6;
    for (uint32_t index = 0; index < 6; ++index) {
        context.stack[index] = 100 + index;
    }
    task->save_frame(context);
    ASSERT_EQ(get_top_page_fill(task->get_stack_byte_count()), 8u);
    for (uint32_t n = 0; n < register_count; ++n) {
        task->set_argument(n, 0x1000 + n);
    }
    for (uint32_t n = 0; n < register_count; ++n) {
        EXPECT_EQ(task->get_argument(n), 0x1000 + n);
    }
    ASSERT_TRUE(task->restore_frame(context));
    EXPECT_EQ(context.registers[7], 0x1007u);
    EXPECT_EQ(context.registers[0], 0x1000u);
    EXPECT_EQ(context.stack_index, 6u);
    EXPECT_EQ(context.stack[5], 105u);
    EXPECT_EQ(context.program_counter, 0u);
    EXPECT_EQ(context.frame_base, 0u);
    task->save_frame(context);
}

TEST(Task, EndingReleasesPagesCodeAndWakeEvent) {
    ScriptWorld world({task_code});
    Task* const task = world.start(0x4000);
    CodeObject* const code_object = code_server.find_code_object(1, 0);
    EXPECT_EQ(code_object->get_reference_count(), 1u);
    EXPECT_EQ(get_stand_in_wake_event_count(), 1u);
    destroy_object(task);
    EXPECT_EQ(code_object->get_reference_count(), 0u);
    EXPECT_EQ(get_stand_in_wake_event_count(), 0u);
    EXPECT_EQ(count_free_pages(task_server.get_page_pool()), stack_page_count);
}

TEST(Task, WaitListsKeepArrivalOrderAndWakingSchedulesWithTheBits) {
    ScriptWorld world({task_code});
    TaskWaitList semaphore;
    Task* const tasks[3] = {world.start(0x4000), world.start(0x4000), world.start(0x4000)};
    for (Task* task : tasks) {
        task->wait_on_semaphore(&semaphore, 6);
        EXPECT_EQ(task->get_wake_event(), 0u);
    }
    EXPECT_EQ(semaphore.head, tasks[0]);
    EXPECT_EQ(tasks[0]->get_next_waiter(), tasks[1]);
    EXPECT_EQ(tasks[0]->get_previous_waiter(), tasks[2]);
    EXPECT_EQ(tasks[1]->get_wait_mask(), 6u);

    // The waiting tasks refuse to be re-timed or moved to a clock.
    Property value;
    value.set_u32(task_delay_property, 0);
    EXPECT_FALSE(tasks[1]->set_property(task_delay_property, value));
    value.set_u32(task_clock_property, 3);
    EXPECT_FALSE(tasks[1]->set_property(task_clock_property, value));
    EXPECT_EQ(tasks[1]->get_wake_event(), 0u);

    tasks[0]->wake(0x4);
    EXPECT_EQ(semaphore.head, tasks[1]);
    EXPECT_EQ(tasks[0]->get_argument(0), 0x4u);
    EXPECT_NE(tasks[0]->get_wake_event(), 0u);
    EXPECT_EQ(tasks[0]->get_wait_object(), nullptr);
    destroy_object(tasks[2]);
    EXPECT_EQ(tasks[1]->get_next_waiter(), tasks[1]);
    tasks[1]->set_wait_object(nullptr);
    EXPECT_EQ(semaphore.head, nullptr);
}

TEST(Task, ClockAndDelayPropertiesRetimeTheWakeEvent) {
    ScriptWorld world({task_code});
    Task* const task = world.start(0x4000);
    const ObjectHandle first_event = task->get_wake_event();
    Property value;
    value.set_u32(task_clock_property, 27);
    EXPECT_FALSE(task->set_property(task_clock_property, value));
    EXPECT_EQ(task->get_wake_event(), first_event);
    value.set_u32(task_clock_property, 0x20 | 26);
    EXPECT_TRUE(task->set_property(task_clock_property, value));
    EXPECT_NE(task->get_wake_event(), first_event);
    EXPECT_EQ(get_stand_in_wake_event_count(), 1u);
    // Far in the future: nothing is due.
    value.set_u32(task_delay_property, 100000000);
    EXPECT_TRUE(task->set_property(task_delay_property, value));
    EXPECT_EQ(get_task_clock_hooks().get_first_due_event(), 0u);
    value.set_u32(task_delay_property, delay_now_first);
    EXPECT_TRUE(task->set_property(task_delay_property, value));
    EXPECT_EQ(get_task_clock_hooks().get_first_due_event(), task->get_wake_event());
}

TEST(Task, SchedulingInFrontOfTheRunningTaskMakesItGiveWay) {
    ScriptWorld world({task_code});
    Task* const running = world.start(0x4000);
    Task* const other = world.start(0x4000);
    task_server.set_current_task(running);
    EXPECT_FALSE(is_other_event_due());
    other->schedule(test::clock_0_selector, delay_now_first);
    EXPECT_TRUE(is_other_event_due());
    task_server.set_current_task(nullptr);
}

TEST(Task, SaveAndLoadKeepThePagesWholeAndTheHeldCodeInOrder) {
    ScriptWorld world({task_code, ".code 0 2\n.entry start\nstart:\n    end_task\n"});
    Task* const task = world.start(0x4000);
    ScriptContext& context = ScriptWorld::context();
    ASSERT_TRUE(task->restore_frame(context));
    context.stack_index = 6;
    for (uint32_t index = 0; index < 6; ++index) {
        context.stack[index] = 100 + index;
    }
    context.registers[3] = 33;
    task->save_frame(context);
    CodeObject* const other_code = code_server.find_code_object(2, 0);
    task->hold_code_object(other_code);
    const ObjectHandle handle = task->get_handle();
    const ObjectHandle code_handle = code_server.find_code_object(1, 0)->get_handle();

    storage::MemorySaveStream save;
    ASSERT_TRUE(save.open(0));
    task->save(save);
    ASSERT_TRUE(save.finish());
    storage::MemoryLoadStream load;
    ASSERT_TRUE(load.open(0));
    uint32_t words[5] = {};
    for (uint32_t& word : words) {
        ASSERT_TRUE(read_u32(load, word));
    }
    EXPECT_EQ(words[0], handle);
    EXPECT_EQ(words[1], handle);
    EXPECT_EQ(words[3], 0u);
    EXPECT_EQ(words[4], 68u);
    uint8_t pages[120];
    ASSERT_TRUE(read_bytes(load, pages, sizeof pages));
    uint32_t held[3] = {};
    for (uint32_t& word : held) {
        ASSERT_TRUE(read_u32(load, word));
    }
    EXPECT_EQ(held[0], other_code->get_handle());
    EXPECT_EQ(held[1], code_handle);
    EXPECT_EQ(held[2], 0u);

    // The whole server round trip: the task comes back with its frame.
    ASSERT_TRUE(save.open(1));
    task_server.save(save);
    ASSERT_TRUE(save.finish());
    task_server.unregister_server();
    task_server.register_server();
    ASSERT_TRUE(load.open(1));
    ASSERT_TRUE(task_server.load(load));
    Task* const loaded = find_task(handle);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->get_stack_byte_count(), 68u);
    EXPECT_EQ(loaded->get_held_code_count(), 2u);
    EXPECT_EQ(loaded->get_argument(3), 33u);
    ASSERT_TRUE(loaded->restore_frame(context));
    EXPECT_EQ(context.stack_index, 6u);
    EXPECT_EQ(context.stack[5], 105u);
    EXPECT_EQ(context.code_object, code_handle);
    loaded->save_frame(context);
}

TEST(Task, LoadingRefusesAFrameTheOperandStackCannotHold) {
    ScriptWorld world({task_code});
    Task* const task = world.start(0x4000);
    const ObjectHandle handle = task->get_handle();
    for (const uint32_t byte_count : {0u, 40u, 45u, saved_frame_maximum_size + 4}) {
        SCOPED_TRACE(byte_count);
        storage::MemorySaveStream save;
        ASSERT_TRUE(save.open(0));
        write_u32(save, task->get_context_handle());
        write_u32(save, 0);
        write_u32(save, 0);
        write_u32(save, byte_count);
        for (uint32_t index = 0; index < get_page_count(byte_count) * stack_page_data_size / 4; ++index) {
            write_u32(save, 0);
        }
        write_u32(save, 0);
        ASSERT_TRUE(save.finish());
        storage::MemoryLoadStream load;
        ASSERT_TRUE(load.open(0));
        Task& slot = task_server.get_slot(get_handle_index(handle) + 1);
        EXPECT_FALSE(slot.load(load));
        slot.finalize();
    }
    EXPECT_EQ(count_free_pages(task_server.get_page_pool()), stack_page_count - 1);
}

}  // namespace
}  // namespace zolt::core

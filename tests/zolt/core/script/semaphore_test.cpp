#include "zolt/core/script/semaphore.h"
#include "support/world_round_trip.h"

#include <gtest/gtest.h>

#include <vector>

#include "zolt/core/script/task_test_support.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {
namespace {

using test::ScriptWorld;

// Entry 0 waits on semaphore r5 with mask r6 and reports the mask, then the
// bits it woke with; entry 1 signals semaphore r5 with bits r6 and count r7
// and reports how many it released.
const std::string semaphore_code =
    ".code 0 1\n"
    ".entry waiter\n"
    ".entry signaller\n"
    "waiter:\n"
    "    push_r5\n    pop_r0\n    push_r6\n    pop_r2\n"
    "    wait_semaphore\n"
    "    push_r0\n    pop_r4\n"
    "    push_r6\n    push_r1\n    pop_r0\n    append_element\n"
    "    push_r4\n    push_r1\n    pop_r0\n    append_element\n"
    "    end_task\n"
    "signaller:\n"
    "    push_r5\n    pop_r0\n    push_r6\n    pop_r2\n    push_r7\n    pop_r4\n"
    "    signal_semaphore\n"
    "    push_r0\n    push_r1\n    pop_r0\n    append_element\n"
    "    end_task\n";

constexpr uint32_t waiter_entry = 0x4000;
constexpr uint32_t signaller_entry = 0x4001;

class SemaphoreTest : public ::testing::Test {
protected:
    SemaphoreTest() : world_({semaphore_code}) { semaphore_server.register_server(); }
    ~SemaphoreTest() override { semaphore_server.unregister_server(); }

    Semaphore* make_semaphore() { return static_cast<Semaphore*>(semaphore_server.create_object_internal(0)); }

    Task* start(uint32_t entry, ArrayObject* report, ObjectHandle semaphore, uint32_t word6, uint32_t word7 = 0) {
        Task* const task = world_.start(entry);
        task->set_argument(1, report->get_handle());
        task->set_argument(5, semaphore);
        task->set_argument(6, word6);
        task->set_argument(7, word7);
        return task;
    }

    // Three tasks that wait with masks 1, 3 and 2, in that order.
    std::vector<Task*> start_three_waiters(Semaphore* semaphore, ArrayObject* report) {
        std::vector<Task*> tasks;
        for (const uint32_t mask : {1u, 3u, 2u}) {
            tasks.push_back(start(waiter_entry, report, semaphore->get_handle(), mask));
        }
        world_.run();
        return tasks;
    }

    static std::vector<ObjectHandle> waiters_oldest_first(const Semaphore* semaphore) {
        std::vector<ObjectHandle> handles;
        if (const Task* const first = semaphore->get_first_waiter()) {
            const Task* task = first;
            do {
                handles.push_back(task->get_handle());
                task = task->get_next_waiter();
            } while (task != first);
        }
        return handles;
    }

    ScriptWorld world_;
};

TEST_F(SemaphoreTest, SignalsWakeMatchingWaitersNewestFirstUpToTheCount) {
    struct Case {
        const char* name;
        uint32_t bits;
        uint32_t count;
        uint32_t released;
        std::vector<uint32_t> still_waiting;  // indices of the three waiters
    };
    const Case cases[] = {
        {"bits 1, every match: the second, then the first", 1, 0, 2, {2}},
        {"bits 1, count 1: only the newest match", 1, 1, 1, {0, 2}},
        {"bits 2, count 0: the third and the second", 2, 0, 2, {0}},
        {"bits 4 match nothing and are lost", 4, 0, 0, {0, 1, 2}},
        {"count beyond the matches", 3, 10, 3, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ArrayObject* const report = test::make_report_array();
        Semaphore* const semaphore = make_semaphore();
        const std::vector<Task*> tasks = start_three_waiters(semaphore, report);
        std::vector<ObjectHandle> handles;
        for (const Task* task : tasks) {
            handles.push_back(task->get_handle());
        }
        EXPECT_EQ(waiters_oldest_first(semaphore), handles);
        EXPECT_TRUE(test::read_array(report).empty());

        EXPECT_EQ(semaphore->release_waiters(c.bits, c.count), c.released);
        std::vector<ObjectHandle> expected;
        for (const uint32_t index : c.still_waiting) {
            expected.push_back(handles[index]);
        }
        EXPECT_EQ(waiters_oldest_first(semaphore), expected);
        world_.run();
        // Each woken task resumed with the signal bits in r0.
        const std::vector<uint32_t> words = test::read_array(report);
        ASSERT_EQ(words.size(), 2 * c.released);
        for (size_t index = 0; index + 1 < words.size(); index += 2) {
            EXPECT_NE(words[index] & c.bits, 0u);
            EXPECT_EQ(words[index + 1], c.bits);
        }
        destroy_object(semaphore);
        destroy_object(report);
    }
}

TEST_F(SemaphoreTest, TheSignalOpcodeWakesInOrderAndTheWokenRunBeforeTheSignallerGoesOn) {
    ArrayObject* const report = test::make_report_array();
    Semaphore* const semaphore = make_semaphore();
    start_three_waiters(semaphore, report);
    start(signaller_entry, report, semaphore->get_handle(), 1, 0);
    world_.run();
    // Woken second (mask 3) then first (mask 1); each woken task is due in
    // front of all, so the last woken runs first, and the signaller after them.
    EXPECT_EQ(test::read_array(report), (std::vector<uint32_t>{1, 1, 3, 1, 2}));
    EXPECT_EQ(semaphore->get_waiter_count(), 1u);
}

TEST_F(SemaphoreTest, WaitingOnNothingOrWithMaskZeroGoesOnAndSignallingNothingAnswersZero) {
    ArrayObject* const report = test::make_report_array();
    Semaphore* const semaphore = make_semaphore();
    start(waiter_entry, report, semaphore->get_handle(), 0);
    start(waiter_entry, report, report->get_handle(), 1);
    start(signaller_entry, report, report->get_handle(), 1, 0);
    start(signaller_entry, report, semaphore->get_handle(), 1, 0);
    world_.run();
    EXPECT_EQ(test::read_array(report), (std::vector<uint32_t>{0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(semaphore->get_first_waiter(), nullptr);
}

TEST_F(SemaphoreTest, DestroyingASemaphoreDestroysItsWaitersAndAWaiterLeavesOnDestruction) {
    ArrayObject* const report = test::make_report_array();
    Semaphore* const semaphore = make_semaphore();
    const std::vector<Task*> tasks = start_three_waiters(semaphore, report);
    const ObjectHandle first = tasks[0]->get_handle();
    const ObjectHandle others[] = {tasks[1]->get_handle(), tasks[2]->get_handle()};
    destroy_object(tasks[1]);
    EXPECT_EQ(waiters_oldest_first(semaphore), (std::vector<ObjectHandle>{first, others[1]}));
    destroy_object(semaphore);
    EXPECT_FALSE(test::is_alive(first));
    EXPECT_FALSE(test::is_alive(others[1]));
    EXPECT_EQ(task_server.get_live_count(), 0u);
}

TEST_F(SemaphoreTest, SavingAndLoadingKeepsTheWaitersOrderAndMasks) {
    ArrayObject* const report = test::make_report_array();
    Semaphore* const semaphore = make_semaphore();
    const std::vector<Task*> tasks = start_three_waiters(semaphore, report);
    destroy_object(tasks[0]);
    const std::vector<ObjectHandle> before = waiters_oldest_first(semaphore);
    const ObjectHandle handle = semaphore->get_handle();
    ASSERT_TRUE(zolt::test::save_and_load_world(0x10000000));
    Semaphore* const loaded = find_semaphore(handle);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(waiters_oldest_first(loaded), before);
    EXPECT_EQ(loaded->get_first_waiter()->get_wait_mask(), 3u);
    EXPECT_EQ(loaded->get_first_waiter()->get_next_waiter()->get_wait_mask(), 2u);
    EXPECT_EQ(loaded->release_waiters(1, 0), 1u);
    world_.run();
    EXPECT_EQ(test::read_array(array_server.get_typed_object(report->get_handle())), (std::vector<uint32_t>{3, 1}));
}

TEST_F(SemaphoreTest, ALoadedWaiterThatIsNoLiveTaskIsRefused) {
    Semaphore* const semaphore = make_semaphore();
    storage::MemorySaveStream save;
    ASSERT_TRUE(save.open(0x10000000));
    for (const uint32_t word : {semaphore->get_handle(), 0x00D00005u, 1u, 0u}) {
        save.write_u32(word);
    }
    ASSERT_TRUE(save.finish());
    storage::MemoryLoadStream load;
    ASSERT_TRUE(load.open(0x10000000));
    load.read_u32();
    EXPECT_FALSE(semaphore->load(load));
}

}  // namespace
}  // namespace zolt::core

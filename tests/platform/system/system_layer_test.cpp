#include <gtest/gtest.h>
#include <atomic>
#include <thread>
#include <vector>

#include "libs/system/worker_thread.h"
#include "platform/system/event.h"
#include "platform/system/folders.h"
#include "platform/system/procedure_queue.h"

namespace zolt {
namespace {

TEST(PlatformEvent, AutoResetReleasesOneWaitManualStaysSignalled) {
    platform::Event automatic(false, true);
    EXPECT_TRUE(automatic.wait_for(0));
    EXPECT_FALSE(automatic.wait_for(1));

    platform::Event manual(true, false);
    EXPECT_FALSE(manual.wait_for(1));
    manual.set();
    EXPECT_TRUE(manual.wait_for(0));
    EXPECT_TRUE(manual.is_signalled());
    manual.reset();
    EXPECT_FALSE(manual.is_signalled());
}

std::vector<uintptr_t> ran;
void record_procedure(uintptr_t argument) {
    ran.push_back(argument);
}

TEST(ProcedureQueue, RunsQueuedProceduresFirstInFirstOutOnTheOwningThread) {
    platform::ProcedureQueue queue;
    ran.clear();
    std::atomic<bool> stop{false};
    std::thread owner([&] {
        while (!stop.load()) {
            queue.wait_and_run();
        }
    });
    for (uintptr_t value = 1; value <= 100; ++value) {
        ASSERT_TRUE(queue.queue(record_procedure, value));
    }
    queue.queue([](uintptr_t raw) { reinterpret_cast<std::atomic<bool>*>(raw)->store(true); },
                reinterpret_cast<uintptr_t>(&stop));
    owner.join();
    ASSERT_EQ(ran.size(), 100u);
    for (uintptr_t value = 1; value <= 100; ++value) {
        EXPECT_EQ(ran[value - 1], value);
    }
    queue.close();
    EXPECT_FALSE(queue.queue(record_procedure, 0));
}

// The start record lives on create_thread's own stack; the sanitizers see a
// new thread that reads it after create_thread has returned.
TEST(WorkerThread, StartsTheFunctionWithItsArgument) {
    std::atomic<int> seen{0};
    platform::ThreadHandle handles[8];
    for (platform::ThreadHandle& handle : handles) {
        create_thread(
            &handle, nullptr, [](void* raw) { static_cast<std::atomic<int>*>(raw)->fetch_add(1); }, &seen);
    }
    for (platform::ThreadHandle& handle : handles) {
        platform::join_thread(&handle);
    }
    EXPECT_EQ(seen.load(), 8);
}

TEST(Folders, DocumentsFolderFollowsTheEnvironment) {
    setenv("XDG_DOCUMENTS_DIR", "/srv/docs", 1);
    EXPECT_EQ(platform::get_documents_folder(), "/srv/docs");
    unsetenv("XDG_DOCUMENTS_DIR");
    setenv("HOME", "/home/player", 1);
    EXPECT_EQ(platform::get_documents_folder(), "/home/player/Documents");
}

}  // namespace
}  // namespace zolt

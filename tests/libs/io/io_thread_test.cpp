#include "libs/io/io_thread.h"

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "libs/io/async_file_reader.h"
#include "libs/io/request.h"
#include "libs/io/temporary_folder.h"
#include "platform/system/event.h"
#include "platform/system/files.h"
#include "support/child_process.h"

namespace zolt::io {
namespace {

using test::TemporaryFolder;

// Holds the IO thread inside a procedure until released, so that what is
// queued behind it stays outstanding.
class IoThreadBlocker {
public:
    IoThreadBlocker() { queue_io_procedure(block, reinterpret_cast<uintptr_t>(this)); }
    // The procedure must be done with this object before it goes.
    ~IoThreadBlocker() {
        release();
        while (!left_.load()) {
            std::this_thread::yield();
        }
    }
    void release() { release_.set(); }

private:
    static void block(uintptr_t raw) {
        auto* blocker = reinterpret_cast<IoThreadBlocker*>(raw);
        blocker->release_.wait();
        blocker->left_.store(true);
    }
    platform::Event release_{true, false};
    std::atomic<bool> left_{false};
};

std::string make_counting_file(const TemporaryFolder& folder, uint32_t size) {
    std::string content(size, '\0');
    for (uint32_t index = 0; index < size; ++index) {
        content[index] = static_cast<char>(index * 7 + index / 256);
    }
    return folder.write_file("pack.bin", content);
}

class IoThread : public ::testing::Test {
protected:
    void SetUp() override { start_io_thread(); }
    void TearDown() override {
        if (running_) {
            stop_io_thread();
        }
    }
    void stop() {
        stop_io_thread();
        running_ = false;
    }

private:
    bool running_ = true;
};

struct OrderCheck {
    const std::vector<std::unique_ptr<Request>>* requests;
    uint32_t index;
    std::vector<uint32_t>* order;
};

// Runs on the IO thread right after request index: it must be done, and the
// next one not yet begun.
void check_order(uintptr_t raw) {
    const auto* check = reinterpret_cast<const OrderCheck*>(raw);
    const auto& requests = *check->requests;
    const bool this_done = requests[check->index]->event.is_signalled();
    const bool next_waiting = check->index + 1 == requests.size() || !requests[check->index + 1]->event.is_signalled();
    if (this_done && next_waiting) {
        check->order->push_back(check->index);
    }
}

TEST_F(IoThread, QueuedReadsCompleteOneAtATimeFirstInFirstOut) {
    TemporaryFolder folder;
    constexpr uint32_t count = 64;
    constexpr uint32_t chunk = 4096;
    const std::string content = test::read_file_bytes(make_counting_file(folder, count * chunk));
    Request file;
    file.do_open(folder.get_path("pack.bin").c_str(), open_read);
    ASSERT_TRUE(file.handle_error(file.flags));

    std::vector<std::unique_ptr<Request>> requests;
    std::vector<std::vector<char>> buffers(count, std::vector<char>(chunk));
    std::vector<OrderCheck> checks(count);
    std::vector<uint32_t> order;
    for (uint32_t index = 0; index < count; ++index) {
        requests.push_back(std::make_unique<Request>());
        requests.back()->handle = file.handle;
        requests.back()->flags = open_read | handle_not_owned;
        checks[index] = {&requests, index, &order};
    }
    {
        IoThreadBlocker blocker;
        // Reverse file order, so the queue order is not also the offset order.
        for (uint32_t index = 0; index < count; ++index) {
            const uint32_t offset = (count - 1 - index) * chunk;
            queue_request(buffers[index].data(), offset, requests[index].get(), chunk);
            queue_io_procedure(check_order, reinterpret_cast<uintptr_t>(&checks[index]));
        }
        EXPECT_EQ(requests[0]->error, platform::pending_file_error);
        EXPECT_FALSE(requests[0]->event.is_signalled());
    }
    requests.back()->event.wait();
    for (uint32_t index = 0; index < count; ++index) {
        requests[index]->event.wait();
        EXPECT_TRUE(requests[index]->handle_error(requests[index]->flags));
        EXPECT_EQ(std::string(buffers[index].data(), chunk), content.substr((count - 1 - index) * chunk, chunk));
    }
    stop();
    ASSERT_EQ(order.size(), count);
    for (uint32_t index = 0; index < count; ++index) {
        EXPECT_EQ(order[index], index);
    }
}

TEST_F(IoThread, StopRunsWhatWasQueuedBeforeItThenJoinsAndStartsAgain) {
    std::atomic<bool> slow_done{false};
    queue_io_procedure(
        [](uintptr_t done) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            reinterpret_cast<std::atomic<bool>*>(done)->store(true);
        },
        reinterpret_cast<uintptr_t>(&slow_done));
    stop_io_thread();
    EXPECT_TRUE(slow_done.load());

    start_io_thread();
    TemporaryFolder folder;
    Request request;
    request.do_open(make_counting_file(folder, 100).c_str(), open_read);
    char buffer[10];
    queue_request(buffer, 90, &request, 10);
    request.event.wait();
    EXPECT_TRUE(request.handle_error(request.flags));
    EXPECT_EQ(buffer[0], static_cast<char>(90 * 7));
}

// Were the file closed before the queued read ran, the read would fail and
// the IO thread would write into a destroyed request.
TEST_F(IoThread, RequestWaitsForItsQueuedReadBeforeClosing) {
    TemporaryFolder folder;
    char buffer[16] = {};
    IoThreadBlocker blocker;
    std::thread releaser([&blocker] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        blocker.release();
    });
    {
        Request request;
        request.do_open(make_counting_file(folder, 100).c_str(), open_read);
        queue_request(buffer, 0, &request, 16);
    }
    releaser.join();
    EXPECT_EQ(buffer[15], static_cast<char>(15 * 7));
}

TEST_F(IoThread, AsyncFileReaderReadsIntoItsBufferAndLeavesTheHandleOpen) {
    TemporaryFolder folder;
    platform::FileHandle handle;
    ASSERT_EQ(platform::open_file(make_counting_file(folder, 1000).c_str(), platform::FileAccess::read,
                                  platform::FileCreation::open_existing, &handle),
              0u);
    char buffer[100] = {};
    {
        AsyncFileReader reader(buffer);
        EXPECT_TRUE(reader.is_complete());
        EXPECT_EQ(reader.get_user_word(), 0u);
        {
            IoThreadBlocker blocker;
            reader.start_read(handle, 500, 100);
            EXPECT_FALSE(reader.is_complete());
            reader.cancel_read();
        }
        EXPECT_TRUE(reader.wait_for_completion());
        EXPECT_TRUE(reader.is_complete());
        EXPECT_EQ(buffer[0], static_cast<char>(500 * 7 + 1));

        reader.start_read(handle, 950, 100);
        EXPECT_FALSE(reader.wait_for_completion());
    }
    uint32_t transferred = 0;
    EXPECT_EQ(platform::read_file_at(handle, 0, buffer, 10, &transferred), 0u);
    EXPECT_EQ(transferred, 10u);
    platform::close_file(handle);
}

TEST(IoThreadFailure, QueueingWithoutTheThreadAndDestroyingUnfinishedReadsHalt) {
    struct Case {
        const char* name;
        std::function<void()> act;
        ExitCode exit_code;
        const char* report;
    };
    const Case cases[] = {
        {"read queued before start",
         [] {
             Request request;
             char byte;
             queue_request(&byte, 0, &request, 1);
         },
         ExitCode::thread_or_window_class, "zolt: error: Can not queue an APC.\n"},
        {"stop without start", [] { stop_io_thread(); }, ExitCode::thread_or_window_class,
         "zolt: error: Can not queue an APC.\n"},
        {"read queued after stop",
         [] {
             start_io_thread();
             stop_io_thread();
             Request request;
             char byte;
             queue_request(&byte, 0, &request, 1);
         },
         ExitCode::thread_or_window_class, "zolt: error: Can not queue an APC.\n"},
        {"reader destroyed with its read outstanding",
         [] {
             start_io_thread();
             IoThreadBlocker blocker;
             char byte;
             auto* reader = new AsyncFileReader(&byte);
             reader->start_read(platform::invalid_file_handle, 0, 1);
             delete reader;
         },
         ExitCode::crash, "zolt: fatal error: destroying unfinished IO request 0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::ChildResult result = test::run_in_child([&] {
            c.act();
            std::fprintf(stderr, "went on\n");
        });
        ASSERT_TRUE(result.exited);
        EXPECT_EQ(result.exit_code, c.exit_code) << result.standard_error;
        EXPECT_NE(result.standard_error.find(c.report), std::string::npos) << result.standard_error;
        EXPECT_EQ(result.standard_error.find("went on"), std::string::npos);
    }
}

}  // namespace
}  // namespace zolt::io

#include "libs/utility/fatal_error.h"

#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include <thread>

#include "support/child_process.h"

namespace zolt {
namespace {

// Writes one line to stderr for every report it hears, so the parent can count.
class CountingHandler final : public MessageHandler {
public:
    explicit CountingHandler(const char* tag) : tag_(tag) {}
    void handle_message(MessageKind kind, const char* kind_name, const char*, const char*, uint32_t, const char* format,
                        va_list arguments) override {
        char text[256];
        std::vsnprintf(text, sizeof text, format, arguments);
        std::fprintf(stderr, "[%s heard %s: %s]\n", tag_, kind_name, text);
    }

private:
    const char* tag_;
};

TEST(FatalError, PanicOnWorkerThreadEndsOnceWithStoredCodeAfterEveryHandler) {
    const test::ChildResult result = test::run_in_child([] {
        static CountingHandler first("first");
        static CountingHandler second("second");
        first.register_handler();
        second.register_handler();
        std::thread worker([] {
            set_fatal_exit_code(ExitCode::file_input_output);
            ZOLT_PANIC("resource 0x%08x not found", 0x1234u);
        });
        worker.join();
        std::fprintf(stderr, "main went on\n");
    });
    ASSERT_TRUE(result.exited);
    EXPECT_EQ(result.exit_code, ExitCode::file_input_output);
    EXPECT_EQ(test::count_occurrences(result.standard_error, "[first heard panic: resource 0x00001234 not found]"), 1u);
    EXPECT_EQ(test::count_occurrences(result.standard_error, "[second heard panic: resource 0x00001234 not found]"),
              1u);
    // The newest handler hears first; the crash report comes last.
    EXPECT_LT(result.standard_error.find("[second heard"), result.standard_error.find("[first heard"));
    EXPECT_EQ(test::count_occurrences(result.standard_error, "zolt: fatal error: resource 0x00001234 not found"), 1u);
    EXPECT_EQ(result.standard_error.find("main went on"), std::string::npos);
}

TEST(FatalError, DefaultCodeIsReportedAsCrash) {
    struct Case {
        bool use_error;
        ExitCode stored_code;
        ExitCode expected_exit;
    };
    const Case cases[] = {{false, ExitCode::unspecified_fatal, ExitCode::crash},
                          {true, ExitCode::unspecified_fatal, ExitCode::crash},
                          {true, ExitCode::save_folder, ExitCode::save_folder},
                          {false, ExitCode::thread_or_window_class, ExitCode::thread_or_window_class}};
    for (const Case& c : cases) {
        const test::ChildResult result = test::run_in_child([&] {
            set_fatal_exit_code(c.stored_code);
            if (c.use_error) {
                ZOLT_ERROR("Path to the save directory is invalid.");
            }
            ZOLT_PANIC("unknown main thread state %u", 9u);
        });
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(result.exit_code, c.expected_exit) << result.standard_error;
    }
}

TEST(FatalError, TwoThreadsFailingTogetherGiveOneReportAndOneExit) {
    for (int round = 0; round < 10; ++round) {
        const test::ChildResult result = test::run_in_child([] {
            static CountingHandler handler("h");
            handler.register_handler();
            std::atomic<int> ready{0};
            auto fail = [&ready](ExitCode code) {
                set_fatal_exit_code(code);
                ready.fetch_add(1);
                while (ready.load() < 2) {
                }
                ZOLT_PANIC("thread with code %u", get_exit_code_number(code));
            };
            std::thread a(fail, ExitCode::input);
            std::thread b(fail, ExitCode::thread_or_window_class);
            a.join();
            b.join();
        });
        ASSERT_TRUE(result.exited);
        ASSERT_TRUE(result.exit_code == ExitCode::input || result.exit_code == ExitCode::thread_or_window_class)
            << result.exit_code;
        const std::string winner = "thread with code " + std::to_string(result.exit_code);
        EXPECT_EQ(test::count_occurrences(result.standard_error, "zolt: fatal error:"), 1u) << result.standard_error;
        EXPECT_EQ(test::count_occurrences(result.standard_error, "zolt: fatal error: " + winner), 1u);
        EXPECT_EQ(test::count_occurrences(result.standard_error, "exit code " + std::to_string(result.exit_code)), 1u);
    }
}

TEST(FatalError, LongMessageIsCutTo1023Characters) {
    const test::ChildResult result = test::run_in_child([] {
        const std::string long_text(3000, 'x');
        ZOLT_ERROR("%s", long_text.c_str());
    });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find(std::string(1023, 'x') + "\n"), std::string::npos);
    EXPECT_EQ(result.standard_error.find(std::string(1024, 'x')), std::string::npos);
}

TEST(FatalError, SecondFatalCallOnFailingThreadEndsWithoutTellingHandlersAgain) {
    class PanickingHandler final : public MessageHandler {
    public:
        void handle_message(MessageKind kind, const char*, const char*, const char*, uint32_t, const char*,
                            va_list) override {
            std::fprintf(stderr, "[handler]\n");
            ZOLT_PANIC("while failing");
        }
    };
    const test::ChildResult result = test::run_in_child([] {
        static PanickingHandler handler;
        handler.register_handler();
        set_fatal_exit_code(ExitCode::vertex_buffer_memory);
        ZOLT_PANIC("first");
    });
    EXPECT_EQ(result.exit_code, ExitCode::vertex_buffer_memory);
    EXPECT_EQ(test::count_occurrences(result.standard_error, "[handler]"), 1u);
}

TEST(FatalError, NonFatalKindsReachHandlersAndReturn) {
    const test::ChildResult result = test::run_in_child([] {
        static CountingHandler handler("h");
        handler.register_handler();
        report_message(MessageKind::Check, __PRETTY_FUNCTION__, __FILE__, __LINE__, "GL error 0x%04x", 0x502u);
        report_message(MessageKind::Warning, nullptr, nullptr, 0, "late");
        handler.unregister_handler();
        report_message(MessageKind::Info, nullptr, nullptr, 0, "unheard");
        std::fprintf(stderr, "went on\n");
    });
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_NE(result.standard_error.find("[h heard check: GL error 0x0502]"), std::string::npos);
    EXPECT_NE(result.standard_error.find("[h heard warning: late]"), std::string::npos);
    EXPECT_EQ(result.standard_error.find("unheard"), std::string::npos);
    EXPECT_NE(result.standard_error.find("went on"), std::string::npos);
}

TEST(FatalError, KindNames) {
    const char* names[] = {"unknown", "panic", "error", "warning", "info", "notify", "hope", "check"};
    for (uint32_t kind = 0; kind < 8; ++kind) {
        EXPECT_STREQ(get_message_kind_name(static_cast<MessageKind>(kind)), names[kind]);
    }
}

}  // namespace
}  // namespace zolt

#include "libs/system/crash_report.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "libs/io/temporary_folder.h"
#include "libs/utility/fatal_error.h"
#include "support/child_process.h"

namespace zolt {
namespace {

using test::TemporaryFolder;

// Each crashes in its own frame, so the report's call stack must name it.
__attribute__((noinline)) void crash_by_bad_write() {
    *reinterpret_cast<volatile int*>(0x10) = 1;
}
__attribute__((noinline)) void crash_by_bus_error() {
    std::raise(SIGBUS);
}
__attribute__((noinline)) void crash_by_arithmetic_fault() {
    std::raise(SIGFPE);
}
__attribute__((noinline)) void crash_by_illegal_instruction() {
    __builtin_trap();
}
__attribute__((noinline)) void crash_by_abort() {
    std::abort();
}
// Never reached, so the recursion only ends in the guard page.
volatile uint32_t recursion_limit = 0xFFFFFFFF;
__attribute__((noinline)) uint32_t recurse_without_end(uint32_t depth) {
    volatile uint8_t frame[256];
    frame[depth % sizeof frame] = static_cast<uint8_t>(depth);
    if (depth == recursion_limit) {
        return 0;
    }
    return recurse_without_end(depth + 1) + frame[0];
}
__attribute__((noinline)) void crash_by_stack_overflow() {
    recurse_without_end(0);
}
__attribute__((noinline)) void crash_by_panic() {
    ZOLT_PANIC("the panic of test %d", 7);
}

struct CrashRun {
    test::ChildResult result;
    std::string report;
    std::string folder;
};

// The child points the documents folder at a fresh folder, installs the
// handlers as the program's entry does, prepares and crashes.
CrashRun run_crash(const TemporaryFolder& documents, void (*crash)(), void (*prepare)() = nullptr) {
    CrashRun run;
    run.result = test::run_in_child([&] {
        setenv("XDG_DOCUMENTS_DIR", documents.get_folder().c_str(), 1);
        install_crash_report_handlers();
        if (prepare != nullptr) {
            prepare();
        }
        crash();
    });
    run.folder = documents.get_path("Harlune/Quorvane/Debug");
    run.report = test::read_file_bytes(run.folder + "/ERROR.TXT");
    return run;
}

struct SignalCase {
    const char* name;
    void (*crash)();
    const char* function;
    const char* exception;
};

TEST(CrashReport, EachFatalSignalWritesOneReportNamingTheFaultingFunctionAndEndsWith43) {
    const SignalCase cases[] = {
        {"segmentation fault", crash_by_bad_write, "crash_by_bad_write", "ACCESS_VIOLATION (C0000005)"},
        {"bus error", crash_by_bus_error, "crash_by_bus_error", "IN_PAGE_ERROR (C0000006)"},
        {"arithmetic fault", crash_by_arithmetic_fault, "crash_by_arithmetic_fault", "INT_DIVIDE_BY_ZERO (C0000094)"},
        {"illegal instruction", crash_by_illegal_instruction, "crash_by_illegal_instruction",
         "ILLEGAL_INSTRUCTION (C000001D)"},
        {"abort", crash_by_abort, "crash_by_abort", "Exception code: 40000015\r\n"},
        {"stack overflow", crash_by_stack_overflow, "recurse_without_end", "STACK_OVERFLOW (C00000FD)"},
    };
    for (const SignalCase& row : cases) {
        SCOPED_TRACE(row.name);
        TemporaryFolder documents;
        const CrashRun run = run_crash(documents, row.crash);
        EXPECT_TRUE(run.result.exited);
        EXPECT_EQ(run.result.exit_code, ExitCode::crash);
        ASSERT_GE(run.report.size(), 3u);
        EXPECT_EQ(run.report.substr(0, 3), "\xEF\xBB\xBF");
        EXPECT_EQ(test::count_occurrences(run.report, "Crash information:\r\n"), 1u);
        EXPECT_NE(run.report.find("Fault message:\r\nA Win32 exception has occured.\r\n"), std::string::npos);
        EXPECT_NE(run.report.find("Process exit code: 43\r\nReporting thread: "), std::string::npos);
        EXPECT_NE(run.report.find(row.exception), std::string::npos);
        const size_t call_stack = run.report.find("Call stack:\r\n===========\r\n");
        ASSERT_NE(call_stack, std::string::npos);
        EXPECT_NE(run.report.find(row.function, call_stack), std::string::npos) << run.report;
        EXPECT_NE(run.report.find("Engine version: 0x10200000\r\n"), std::string::npos);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(run.folder), {}), 1);
    }
}

TEST(CrashReport, TheSectionsComeInTheirOrderWithoutBanners) {
    TemporaryFolder documents;
    const CrashRun run = run_crash(documents, crash_by_bad_write);
    size_t previous = 0;
    for (const char* title : {"System information:\r\n", "Crash information:\r\n", "Exception information:\r\n",
                              "Call stack:\r\n", "Stack information:\r\n", "Loaded modules:\r\n"}) {
        const size_t position = run.report.find(title);
        ASSERT_NE(position, std::string::npos) << title;
        EXPECT_GT(position, previous) << title;
        previous = position;
    }
    EXPECT_EQ(run.report.find("CRASH INFORMATION"), std::string::npos);
    // The faulting write's routine, and the line at the stack pointer.
    EXPECT_NE(run.report.find("Fault routine: "), std::string::npos);
    EXPECT_EQ(test::count_occurrences(run.report, "\r\n>0x"), 1u);
}

TEST(CrashReport, FatalErrorsReportTheThreadsCodeWithoutAnExceptionSection) {
    struct ErrorCase {
        const char* name;
        void (*crash)();
        ExitCode exit_code;
        const char* message;
    };
    const ErrorCase cases[] = {
        {"panic with the default code", crash_by_panic, ExitCode::crash, "the panic of test 7"},
        {"error with the save folder's code",
         [] {
             set_fatal_exit_code(ExitCode::save_folder);
             ZOLT_ERROR("the save folder is gone");
         },
         ExitCode::save_folder, "the save folder is gone"},
    };
    for (const ErrorCase& row : cases) {
        SCOPED_TRACE(row.name);
        TemporaryFolder documents;
        const CrashRun run = run_crash(documents, row.crash);
        EXPECT_EQ(run.result.exit_code, row.exit_code);
        EXPECT_NE(run.report.find(std::string("Fault message:\r\n") + row.message + "\r\n"), std::string::npos);
        EXPECT_NE(run.report.find("Process exit code: " + std::to_string(get_exit_code_number(row.exit_code))),
                  std::string::npos);
        EXPECT_EQ(run.report.find("Exception information:"), std::string::npos);
        EXPECT_NE(run.report.find("Call stack:"), std::string::npos);
    }
    TemporaryFolder documents;
    const CrashRun run = run_crash(documents, crash_by_panic);
    EXPECT_NE(run.report.find("crash_by_panic", run.report.find("Call stack:")), std::string::npos);
    EXPECT_NE(run.report.find("Source file name: "), std::string::npos);
}

TEST(CrashReport, RecentDiagnosticMessagesGoIntoTheReport) {
    TemporaryFolder documents;
    const CrashRun run = run_crash(documents, crash_by_bad_write, [] {
        report_message(MessageKind::Warning, nullptr, nullptr, 0, "texture %d is missing", 12);
    });
    EXPECT_NE(run.report.find("Recent diagnostic messages:"), std::string::npos);
    EXPECT_NE(run.report.find("warning: texture 12 is missing\r\n"), std::string::npos);
}

TEST(CrashReport, DumpSwitchesCountByPresenceAndDisablingWins) {
    TemporaryFolder documents;
    const CrashRun run = run_crash(documents, crash_by_bad_write, [] {
        setenv("ZOLT_FORCE_FULL_DUMP", "1", 1);
        setenv("ZOLT_DISABLE_FULL_DUMP", "", 1);
        setenv("ZOLT_FORCE_MINI_DUMP", "", 1);
    });
    EXPECT_EQ(run.result.exit_code, ExitCode::crash);
    EXPECT_NE(run.report.find("Full dump generation was explicitly DISABLED. Remove environment variable "
                              "ZOLT_DISABLE_FULL_DUMP to restore default behavior.\r\n"),
              std::string::npos);
    EXPECT_NE(run.report.find("Crash mini dump file name: " + run.folder + "/ERROR_mini.DMP\r\n"), std::string::npos);
    // The mini dump holds the report between the banners.
    const std::string dump = test::read_file_bytes(run.folder + "/ERROR_mini.DMP");
    EXPECT_EQ(dump.rfind("**************************\r\n*** CRASH INFORMATION ****\r\n", 0), 0u);
    EXPECT_NE(dump.find("Crash information:\r\n"), std::string::npos);
    EXPECT_NE(dump.find("*** END OF CRASH INFORMATION ****"), std::string::npos);

    TemporaryFolder plain;
    const CrashRun without = run_crash(plain, crash_by_bad_write);
    EXPECT_NE(without.report.find("Mini dump was NOT generated by default."), std::string::npos);
    EXPECT_NE(without.report.find("Full dump was NOT generated by default."), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(without.folder + "/ERROR_mini.DMP"));
}

TEST(CrashReport, TwoThreadsCrashingAtOnceWriteOneReport) {
    TemporaryFolder documents;
    const CrashRun run = run_crash(documents, [] {
        std::thread first(crash_by_bad_write);
        std::thread second(crash_by_bad_write);
        first.join();
        second.join();
    });
    EXPECT_EQ(run.result.exit_code, ExitCode::crash);
    EXPECT_EQ(test::count_occurrences(run.report, "Crash information:\r\n"), 1u);
    EXPECT_NE(run.report.find("crash_by_bad_write"), std::string::npos);
}

TEST(CrashReport, AFaultWhileTheReportIsWrittenGivesItUpWith43) {
    TemporaryFolder documents;
    const CrashRun run = run_crash(documents, [] {
        // A message that cannot be read faults the report's own writer.
        raise_fatal_error_exception(reinterpret_cast<const char*>(0x10), nullptr, nullptr, 0, false);
    });
    EXPECT_TRUE(run.result.exited);
    EXPECT_EQ(run.result.exit_code, ExitCode::crash);
    EXPECT_NE(run.result.standard_error.find("the program is broken much more than anyone could ever imagine"),
              std::string::npos);
}

}  // namespace
}  // namespace zolt

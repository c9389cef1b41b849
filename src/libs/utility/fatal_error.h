#pragma once
// The panic and error routines: broken invariants and broken data end the
// process through them. Each thread keeps the exit code a failing path stores
// before it calls them (unspecified_fatal when nothing more specific was
// stored).
#include <cstdint>

#include "libs/system/exit_code.h"
#include "libs/utility/message_handler.h"

namespace zolt {

constexpr uint32_t fatal_error_exception_code = 0x0051636D;

void set_fatal_exit_code(ExitCode exit_code);
ExitCode get_fatal_exit_code();
bool is_thread_failing();

[[noreturn]] void halt_with_panic(const char* signature, const char* file, uint32_t line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
[[noreturn]] void halt_with_error(const char* signature, const char* file, uint32_t line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Hands a formatted fatal report to the crash reporter. Only the first report
// of the process is written; a thread that comes second waits for the first
// to end the process instead of cutting its report short.
void raise_fatal_error_exception(const char* message, const char* signature, const char* file, uint32_t line,
                                 bool is_error);

// True once any fatal report or crash has been taken.
bool is_fatal_report_taken();
// Takes the one report of the process; false when it was taken before.
// Async-signal-safe.
bool take_fatal_report_flag();

#if defined(ZOLT_FUZZ_BUILD)
// A fuzz build reports and then hands control back to the fuzzer's entry for
// the input, which the fuzz harness defines, so one bad input does not end a
// run of millions.
[[noreturn]] void return_to_fuzz_entry();
#endif

}  // namespace zolt

#define ZOLT_PANIC(...) ::zolt::halt_with_panic(__PRETTY_FUNCTION__, __FILE__, __LINE__, __VA_ARGS__)
#define ZOLT_ERROR(...) ::zolt::halt_with_error(nullptr, nullptr, 0, __VA_ARGS__)

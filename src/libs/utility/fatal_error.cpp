#include "libs/utility/fatal_error.h"

#include <atomic>
#include <cstdarg>

#include "libs/system/crash_report.h"
#include "platform/system/process.h"
#include "platform/system/threads.h"

namespace zolt {
namespace {
struct FatalState {
    bool failing = false;
    ExitCode exit_code = ExitCode::unspecified_fatal;
};
thread_local FatalState fatal_state;

std::atomic<uint32_t> report_flag{0};

[[noreturn]] void end_after_fatal_report(bool runs_exit_handlers) {
#if defined(ZOLT_FUZZ_BUILD)
    fatal_state = FatalState{};
    report_flag.store(0);
    return_to_fuzz_entry();
#else
    if (runs_exit_handlers) {
        platform::exit_process(get_exit_code_number(fatal_state.exit_code));
    }
    platform::end_process_now(get_exit_code_number(fatal_state.exit_code));
#endif
}
}  // namespace

#if defined(ZOLT_FUZZ_BUILD)
// The tools of a fuzz build have no fuzz entry and end as usual; a fuzz
// target's harness replaces this.
__attribute__((weak)) void return_to_fuzz_entry() {
    platform::end_process_now(get_exit_code_number(ExitCode::unspecified_fatal));
}
#endif

void set_fatal_exit_code(ExitCode exit_code) {
    fatal_state.exit_code = exit_code;
}

ExitCode get_fatal_exit_code() {
    return fatal_state.exit_code;
}

bool is_thread_failing() {
    return fatal_state.failing;
}

void halt_with_panic(const char* signature, const char* file, uint32_t line, const char* format, ...) {
    if (fatal_state.failing) {
        platform::end_process_now(get_exit_code_number(fatal_state.exit_code));
    }
    fatal_state.failing = true;
    va_list arguments;
    va_start(arguments, format);
    notify_message_handlers(MessageKind::Panic, signature, file, line, format, arguments);
    va_end(arguments);
    end_after_fatal_report(false);
}

void halt_with_error(const char* signature, const char* file, uint32_t line, const char* format, ...) {
    if (fatal_state.failing) {
        platform::end_process_now(get_exit_code_number(fatal_state.exit_code));
    }
    fatal_state.failing = true;
    va_list arguments;
    va_start(arguments, format);
    notify_message_handlers(MessageKind::Error, signature, file, line, format, arguments);
    va_end(arguments);
    end_after_fatal_report(true);
}

void raise_fatal_error_exception(const char* message, const char* signature, const char* file, uint32_t line,
                                 bool is_error) {
    if (!take_fatal_report_flag()) {
        // Another thread is writing the one report and will end the process.
        platform::block_thread_forever();
    }
    const ExitCode exit_code =
        fatal_state.exit_code == ExitCode::unspecified_fatal ? ExitCode::crash : fatal_state.exit_code;
    const FatalErrorReport report{
        message, signature, file, line, platform::get_current_thread_id(), get_exit_code_number(exit_code), is_error};
    write_crash_report(report);
#if !defined(ZOLT_FUZZ_BUILD)
    platform::end_process_now(get_exit_code_number(exit_code));
#endif
}

bool take_fatal_report_flag() {
    return report_flag.exchange(1) == 0;
}

bool is_fatal_report_taken() {
    return report_flag.load() != 0;
}

}  // namespace zolt

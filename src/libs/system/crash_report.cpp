#include "libs/system/crash_report.h"

#include <cinttypes>
#include <cstdio>

#include "libs/utility/fatal_error.h"

namespace zolt {
namespace {
// Registered before the program's entry runs, so that a fatal report made at
// any time afterwards ends in a crash report.
struct CrashReportRegistration {
    CrashReportMessageHandler handler;
    CrashReportRegistration() { handler.register_handler(); }
};
CrashReportRegistration* const crash_report_registration = new CrashReportRegistration;
}  // namespace

void write_crash_report(const FatalErrorReport& report) {
    std::fprintf(stderr, "zolt: %s: %s\n", report.is_error ? "error" : "fatal error",
                 report.message != nullptr ? report.message : "");
    if (report.file != nullptr) {
        std::fprintf(stderr, "  at %s:%" PRIu32 "%s%s\n", report.file, report.line,
                     report.signature != nullptr ? " in " : "", report.signature != nullptr ? report.signature : "");
    }
    std::fprintf(stderr, "  thread %" PRIu32 ", exit code %" PRIu32 "\n", report.thread_id, report.exit_code);
    std::fflush(stderr);
}

void CrashReportMessageHandler::handle_message(MessageKind kind, const char*, const char* signature, const char* file,
                                               uint32_t line, const char* format, va_list arguments) {
    if (kind != MessageKind::Panic && kind != MessageKind::Error && kind != MessageKind::Hope) {
        return;
    }
    char message[message_capacity];
    std::vsnprintf(message, sizeof message, format, arguments);
    raise_fatal_error_exception(message, signature, file, line, kind == MessageKind::Error);
}

}  // namespace zolt

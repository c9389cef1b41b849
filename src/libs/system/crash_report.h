#pragma once
// The crash reporter's entry for fatal reports, and the message handler that
// turns panic, error and hope reports into one. The report itself goes to the
// standard error stream.
#include <cstdint>

#include "libs/utility/message_handler.h"

namespace zolt {

struct FatalErrorReport {
    const char* message;
    const char* signature;
    const char* file;
    uint32_t line;
    uint32_t thread_id;
    uint32_t exit_code;
    bool is_error;
};

void write_crash_report(const FatalErrorReport& report);

class CrashReportMessageHandler final : public MessageHandler {
public:
    static constexpr uint32_t message_capacity = 1024;

    void handle_message(MessageKind kind, const char* kind_name, const char* signature, const char* file, uint32_t line,
                        const char* format, va_list arguments) override;
};

}  // namespace zolt

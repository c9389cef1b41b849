#pragma once
// The crash reporter. A fatal panic, error or hope report, or a fatal signal
// on any thread, writes one report "ERROR.TXT" into the folder
// "Harlune/Quorvane/Debug" under the user's documents folder, optionally a
// mini dump (the report between banners) and a full dump (a core dump of a
// copy of the process), and ends the process with the exit code that tells
// the launcher what happened. Only the first crash is reported; a thread that
// crashes while another writes the report waits for it to end the process,
// and a fault inside the report gives the report up with exit code 43. The
// writer uses only async-signal-safe calls and preallocated buffers.
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

constexpr const char crash_report_folder_name[] = "Harlune/Quorvane/Debug";
constexpr const char crash_report_name[] = "ERROR";
constexpr const char force_full_dump_variable[] = "ZOLT_FORCE_FULL_DUMP";
constexpr const char disable_full_dump_variable[] = "ZOLT_DISABLE_FULL_DUMP";
constexpr const char force_mini_dump_variable[] = "ZOLT_FORCE_MINI_DUMP";

// Writes the report of a fatal error; the caller ends the process.
void write_crash_report(const FatalErrorReport& report);

// The program's entry installs the handlers of the fatal signals; the
// report folder is taken from the documents folder at this time.
void install_crash_report_handlers();
// Takes the report folder from the documents folder again.
void prepare_crash_report_folder();
const char* get_crash_report_path();

class CrashReportMessageHandler final : public MessageHandler {
public:
    static constexpr uint32_t message_capacity = 1024;
    // The most recent other reports go into the crash report.
    static constexpr uint32_t recent_message_count = 16;
    static constexpr uint32_t recent_message_capacity = 256;

    void handle_message(MessageKind kind, const char* kind_name, const char* signature, const char* file, uint32_t line,
                        const char* format, va_list arguments) override;
};

}  // namespace zolt

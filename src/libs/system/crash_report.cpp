#include "libs/system/crash_report.h"

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "libs/io/pack_format.h"
#include "libs/system/crash_report_text.h"
#include "libs/utility/fatal_error.h"
#include "platform/system/crash_facts.h"
#include "platform/system/crash_signals.h"
#include "platform/system/folders.h"
#include "platform/system/own_symbols.h"
#include "platform/system/process.h"
#include "platform/system/threads.h"

namespace zolt {
namespace {

constexpr uint32_t path_capacity = 1024;
constexpr uint32_t backtrace_capacity = 128;
constexpr uint32_t stack_line_count = 36;
constexpr uint32_t stack_line_size = 32;
constexpr uint32_t stack_start_below = 64;
constexpr uint32_t module_capacity = 256;
constexpr uint32_t crash_exit_code = 43;

constexpr const char default_message[] =
    "An unspecified error has occured. This most likely means a bug in win32_halt_debug and the debugging "
    "subsystem.";
constexpr const char signal_message[] = "A Win32 exception has occured.";
constexpr const char broken_report_text[] =
    "A fatal error occured when the program was trying to create a crash dump. Either the system is very low on "
    "resources, or the program is broken much more than anyone could ever imagine.";

enum class DumpState : uint32_t { not_by_default = 1, enabled = 2, disabled = 3 };

struct ExceptionName {
    uint32_t code;
    const char* name;
};

constexpr ExceptionName exception_names[] = {
    {0xC0000005, "ACCESS_VIOLATION"},   {0x80000002, "DATATYPE_MISALIGNMENT"}, {0x80000003, "BREAKPOINT"},
    {0x80000004, "SINGLE_STEP"},        {0xC000008C, "ARRAY_BOUNDS_EXCEEDED"}, {0xC000008D, "FLT_DENORMAL_OPERAND"},
    {0xC000008E, "FLT_DIVIDE_BY_ZERO"}, {0xC000008F, "FLT_INEXACT_RESULT"},    {0xC0000090, "FLT_INVALID_OPERATION"},
    {0xC0000091, "FLT_OVERFLOW"},       {0xC0000092, "FLT_STACK_CHECK"},       {0xC0000093, "FLT_UNDERFLOW"},
    {0xC0000094, "INT_DIVIDE_BY_ZERO"}, {0xC0000095, "INT_OVERFLOW"},          {0xC0000096, "PRIV_INSTRUCTION"},
    {0xC0000006, "IN_PAGE_ERROR"},      {0xC000001D, "ILLEGAL_INSTRUCTION"},   {0xC0000025, "NONCONTINUABLE_EXCEPTION"},
    {0xC00000FD, "STACK_OVERFLOW"},     {0xC0000026, "INVALID_DISPOSITION"},   {0x80000001, "GUARD_PAGE"},
    {0xC0000008, "INVALID_HANDLE"},
};

// What ends the process when the program aborts itself.
constexpr uint32_t fatal_application_exit_code = 0x40000015;

struct Module {
    uint64_t start;
    uint64_t end;
    const char* path;
};

struct ReportRecord {
    const char* message;
    const char* function;
    const char* file;
    uint32_t line;
    uint32_t thread_id;
    uint32_t exit_code;
    bool is_error;
    const platform::CrashSignal* signal;
    uint64_t stack_pointer;
};

// Everything the report needs is reserved here, before any crash.
struct ReportSpace {
    char documents[path_capacity];
    char folder[path_capacity];
    char report_path[path_capacity];
    char mini_dump_path[path_capacity];
    char full_dump_path[path_capacity];
    char executable_path[path_capacity];
    char core_pattern[256];
    char maps[512 * 1024];
    Module modules[module_capacity];
    uint32_t module_count;
    void* frames[backtrace_capacity];
    char copy_buffer[4096];
    bool has_symbols;
};
ReportSpace report_space;

struct RecentMessages {
    char texts[CrashReportMessageHandler::recent_message_count][CrashReportMessageHandler::recent_message_capacity];
    std::atomic<uint32_t> count{0};
};
RecentMessages recent_messages;

std::atomic<uint32_t> reporting_thread{0};

// Registered before the program's entry runs, so that a fatal report made at
// any time afterwards ends in a crash report.
struct CrashReportRegistration {
    CrashReportMessageHandler handler;
    CrashReportRegistration() {
        handler.register_handler();
        prepare_crash_report_folder();
    }
};
CrashReportRegistration* const crash_report_registration = new CrashReportRegistration;

void copy_text(char* target, size_t capacity, const char* first, const char* second = "") {
    size_t length = 0;
    for (const char* part : {first, second}) {
        for (; *part != '\0' && length + 1 < capacity; ++part) {
            target[length++] = *part;
        }
    }
    target[length] = '\0';
}

[[noreturn]] void abort_crash_report(const char* text) {
    platform::write_standard_error("Error creating crash dump: ");
    platform::write_standard_error(text);
    platform::write_standard_error("\n");
    platform::lower_process_priority();
    platform::end_process_from_signal(crash_exit_code);
}

// A thread that finds the report taken: when it is the thread writing the
// report, the report itself failed; otherwise the writer ends the process.
[[noreturn]] void handle_report_taken(uint32_t thread_id) {
    if (reporting_thread.load() == thread_id) {
        abort_crash_report(broken_report_text);
    }
    platform::block_thread_forever();
}

DumpState decide_full_dump() {
    if (platform::is_environment_variable_present(disable_full_dump_variable)) {
        return DumpState::disabled;
    }
    return platform::is_environment_variable_present(force_full_dump_variable) ? DumpState::enabled
                                                                               : DumpState::not_by_default;
}

DumpState decide_mini_dump() {
    return platform::is_environment_variable_present(force_mini_dump_variable) ? DumpState::enabled
                                                                               : DumpState::not_by_default;
}

// The executable mappings of /proc/self/maps.
void read_modules() {
    ReportSpace& space = report_space;
    space.module_count = 0;
    const size_t length = platform::read_small_file("/proc/self/maps", space.maps, sizeof space.maps);
    char* line = space.maps;
    char* const end = space.maps + length;
    while (line < end && space.module_count < module_capacity) {
        char* line_end = line;
        while (line_end < end && *line_end != '\n') {
            ++line_end;
        }
        *line_end = '\0';
        uint64_t start = 0;
        uint64_t stop = 0;
        char* cursor = line;
        auto read_hex = [&cursor](uint64_t& value) {
            value = 0;
            for (;; ++cursor) {
                const char c = *cursor;
                const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
                if (digit < 0) {
                    return;
                }
                value = value << 4 | static_cast<uint64_t>(digit);
            }
        };
        read_hex(start);
        if (*cursor == '-') {
            ++cursor;
            read_hex(stop);
        }
        const bool is_executable = *cursor == ' ' && cursor[1] != '\0' && cursor[2] != '\0' && cursor[3] == 'x';
        const char* path = std::strchr(cursor, '/');
        if (path == nullptr) {
            path = std::strchr(cursor, '[');
        }
        if (is_executable && path != nullptr) {
            space.modules[space.module_count++] = Module{start, stop, path};
        }
        line = line_end + 1;
    }
}

const Module* find_module(uint64_t address) {
    for (uint32_t index = 0; index < report_space.module_count; ++index) {
        const Module& module = report_space.modules[index];
        if (address >= module.start && address < module.end) {
            return &module;
        }
    }
    return nullptr;
}

const char* find_exception_name(uint32_t code) {
    for (const ExceptionName& entry : exception_names) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return nullptr;
}

// A fault just below the stack pointer is a push or call that ran into the
// guard page below the stack.
bool is_stack_overflow(const platform::CrashSignal& signal) {
    constexpr uint64_t reach_below = 64 * 1024;
    constexpr uint64_t reach_above = 256;
    const uint64_t stack_pointer = signal.registers.rsp;
    return signal.has_registers && signal.fault_address + reach_below >= stack_pointer &&
           signal.fault_address < stack_pointer + reach_above;
}

// The exception code that stands for the signal on the system the reports
// were made for.
uint32_t get_exception_code(const platform::CrashSignal& signal) {
    switch (signal.number) {
    case 11:  // SIGSEGV
        return is_stack_overflow(signal) ? 0xC00000FD : 0xC0000005;
    case 7:  // SIGBUS
        return signal.code == 1 /* BUS_ADRALN */ ? 0x80000002 : 0xC0000006;
    case 8:  // SIGFPE
        switch (signal.code) {
        case 2:  // FPE_INTOVF
            return 0xC0000095;
        case 3:  // FPE_FLTDIV
            return 0xC000008E;
        case 4:  // FPE_FLTOVF
            return 0xC0000091;
        case 5:  // FPE_FLTUND
            return 0xC0000093;
        case 6:  // FPE_FLTRES
            return 0xC000008F;
        case 7:  // FPE_FLTINV
            return 0xC0000090;
        case 8:  // FPE_FLTSUB
            return 0xC000008C;
        default:
            return 0xC0000094;
        }
    case 4:  // SIGILL
        return signal.code == 5 /* ILL_PRVOPC */ || signal.code == 6 /* ILL_PRVREG */ ? 0xC0000096 : 0xC000001D;
    default:
        return fatal_application_exit_code;
    }
}

const char* get_signal_name(int number) {
    switch (number) {
    case 11:
        return "SIGSEGV";
    case 7:
        return "SIGBUS";
    case 8:
        return "SIGFPE";
    case 4:
        return "SIGILL";
    case 6:
        return "SIGABRT";
    default:
        return "signal";
    }
}

void append_title(CrashReportText& text, const char* title, const char* underline) {
    text.append(title).append(":\r\n").append(underline).append_line_break();
}

// A return address is looked up one byte back: after a call that does not
// return it is already the first byte of the next function.
void append_code_location(CrashReportText& text, uint64_t address, bool is_return_address) {
    text.append("0x").append_hex(address, 16);
    uint64_t offset = 0;
    const uint64_t lookup = is_return_address && address > 0 ? address - 1 : address;
    if (const char* symbol = platform::find_own_symbol(lookup, &offset); symbol != nullptr) {
        text.append(" ").append(symbol).append(" + 0x").append_hex(offset + (address - lookup), 1);
    } else if (const Module* module = find_module(address); module != nullptr) {
        text.append(" (").append(module->path).append(" + 0x").append_hex(address - module->start, 1).append(")");
    }
}

void append_system_information(CrashReportText& text, const platform::MachineFacts& machine) {
    append_title(text, "System information", "===================");
    if (const char* user = platform::find_environment_variable("USER"); user != nullptr && user[0] != '\0') {
        text.append("User name: ").append(user).append_line_break();
    }
    text.append("User is administrator: ").append(platform::is_user_administrator() ? "Yes" : "No").append_line_break();
    text.append_line_break();
    if (machine.node_name[0] != '\0') {
        text.append("Machine name: ").append(machine.node_name).append_line_break();
    }
    text.append("System platform: ").append(machine.system_name).append_line_break();
    text.append("System version: ").append(machine.release).append(" ").append(machine.version).append_line_break();
    text.append("Machine type: ").append(machine.machine).append_line_break();
    text.append_line_break();
    if (machine.has_memory) {
        text.append("Total physical memory: ").append_decimal(machine.total_memory_bytes / 1024).append(" KB\r\n");
        text.append("Available physical memory: ").append_decimal(machine.free_memory_bytes / 1024).append(" KB\r\n");
        text.append("Page file size: ").append_decimal(machine.total_swap_bytes / 1024).append(" KB\r\n");
        text.append("Available in page file: ").append_decimal(machine.free_swap_bytes / 1024).append(" KB\r\n");
        text.append_line_break();
    }
    if (report_space.executable_path[0] != '\0') {
        const char* const last_slash = std::strrchr(report_space.executable_path, '/');
        text.append("Path to executable image: ");
        text.append_bytes(report_space.executable_path,
                          last_slash != nullptr ? static_cast<size_t>(last_slash - report_space.executable_path) : 0);
        text.append_line_break();
    }
    const char* const temporary = platform::find_environment_variable("TMPDIR");
    text.append("Temporary directory: ").append(temporary != nullptr ? temporary : "/tmp").append_line_break();
    text.append("Personal directory: ").append(report_space.documents).append_line_break();
    text.append_line_break();
}

void append_crash_information(CrashReportText& text, const ReportRecord& record, DumpState mini_dump,
                              DumpState full_dump) {
    append_title(text, "Crash information", "==================");
    const platform::CivilTime time = platform::read_civil_time();
    text.append("Time of crash: ");
    text.append_decimal(time.year).append("-");
    text.append(time.month < 10 ? "0" : "").append_decimal(time.month).append("-");
    text.append(time.day < 10 ? "0" : "").append_decimal(time.day).append(" ");
    text.append(time.hour < 10 ? "0" : "").append_decimal(time.hour).append(":");
    text.append(time.minute < 10 ? "0" : "").append_decimal(time.minute).append(":");
    text.append(time.second < 10 ? "0" : "").append_decimal(time.second).append(" UTC\r\n");
    text.append_line_break();
    if (report_space.executable_path[0] != '\0') {
        text.append("Running executable name: ").append(report_space.executable_path).append_line_break();
        // Executables here carry no version resource.
        text.append("Executable module version: 0.0.0.0\r\n");
    }
    text.append("Engine version: 0x").append_hex(io::pack_engine_version, 8).append_line_break();
    text.append("WOW64 process: No\r\n");
    text.append("Project name: Quorvane\r\n");
    text.append("Configuration used to build the executable: Gold\r\n");
    text.append("Process exit code: ").append_decimal(record.exit_code).append_line_break();
    text.append("Reporting thread: ").append_decimal(record.thread_id).append_line_break();
    text.append_line_break();
    const bool has_function = record.function != nullptr && record.function[0] != '\0';
    const bool has_source = record.file != nullptr && record.file[0] != '\0';
    if (has_function) {
        text.append("Function: ").append(record.function).append_line_break();
    }
    if (has_source) {
        text.append("Source file name: ").append(record.file).append("(").append_decimal(record.line).append(")\r\n");
    }
    if (has_function || has_source) {
        text.append_line_break();
    }
    text.append("Fault message:\r\n").append(record.message).append("\r\n\r\n");
    text.append("Log file name: ").append(report_space.report_path).append_line_break();
    if (mini_dump == DumpState::enabled) {
        text.append("Crash mini dump file name: ").append(report_space.mini_dump_path).append_line_break();
    } else {
        text.append(
            "Mini dump was NOT generated by default. Create environment variable ZOLT_FORCE_MINI_DUMP to override "
            "that.\r\n");
    }
    switch (full_dump) {
    case DumpState::not_by_default:
        text.append(
            "Full dump was NOT generated by default. Create environment variable ZOLT_FORCE_FULL_DUMP to override "
            "that.\r\n");
        break;
    case DumpState::enabled:
        text.append("Crash full dump file name: ").append(report_space.full_dump_path).append_line_break();
        text.append(
            "Full dump generation was explicitly ENABLED. Remove environment variable ZOLT_FORCE_FULL_DUMP to "
            "restore default behavior.\r\n");
        break;
    case DumpState::disabled:
        text.append(
            "Full dump generation was explicitly DISABLED. Remove environment variable ZOLT_DISABLE_FULL_DUMP to "
            "restore default behavior.\r\n");
        break;
    }
    text.append_line_break();
}

void append_register(CrashReportText& text, const char* name, uint64_t value) {
    text.append(name).append(":").append_hex(value, 16).append_line_break();
}

void append_exception_information(CrashReportText& text, const ReportRecord& record) {
    const platform::CrashSignal& signal = *record.signal;
    append_title(text, "Exception information", "======================");
    const uint32_t code = get_exception_code(signal);
    text.append("Exception code: ");
    if (const char* name = find_exception_name(code); name != nullptr) {
        text.append(name).append(" (").append_hex(code, 8).append(")");
    } else {
        text.append_hex(code, 8);
    }
    text.append_line_break();
    text.append("Signal: ")
        .append(get_signal_name(signal.number))
        .append(" (")
        .append_decimal(static_cast<uint32_t>(signal.number))
        .append("), code ")
        .append_decimal(static_cast<uint32_t>(signal.code))
        .append_line_break();
    text.append("Faulting thread: ").append_decimal(record.thread_id).append_line_break();
    const uint64_t fault_address = signal.has_registers ? signal.registers.rip : 0;
    const Module* const module = find_module(fault_address);
    text.append("Fault module: ").append(module != nullptr ? module->path : "unknown").append_line_break();
    text.append("Fault module version: 0.0.0.0\r\n");
    text.append("Fault address: ")
        .append_hex(fault_address, 16)
        .append(" ")
        .append(module != nullptr ? module->path : "unknown")
        .append_line_break();
    if (signal.number == 11 || signal.number == 7) {
        text.append("Accessed address: ").append_hex(signal.fault_address, 16).append_line_break();
    }
    uint64_t offset = 0;
    if (const char* symbol = platform::find_own_symbol(fault_address, &offset); symbol != nullptr) {
        text.append("Fault routine: ").append(symbol).append(" + 0x").append_hex(offset, 1).append_line_break();
    }
    text.append_line_break();
    if (signal.has_registers) {
        const platform::CrashRegisters& registers = signal.registers;
        append_register(text, "RAX", registers.rax);
        append_register(text, "RBX", registers.rbx);
        append_register(text, "RCX", registers.rcx);
        append_register(text, "RDX", registers.rdx);
        append_register(text, "RSI", registers.rsi);
        append_register(text, "RDI", registers.rdi);
        append_register(text, "R8", registers.r8);
        append_register(text, "R9", registers.r9);
        append_register(text, "R10", registers.r10);
        append_register(text, "R11", registers.r11);
        append_register(text, "R12", registers.r12);
        append_register(text, "R13", registers.r13);
        append_register(text, "R14", registers.r14);
        append_register(text, "R15", registers.r15);
        text.append("CS:RIP:")
            .append_hex(registers.cs, 4)
            .append(":")
            .append_hex(registers.rip, 16)
            .append_line_break();
        text.append("SS:RSP:")
            .append_hex(registers.ss, 4)
            .append(":")
            .append_hex(registers.rsp, 16)
            .append("  RBP:")
            .append_hex(registers.rbp, 16)
            .append_line_break();
        text.append("FS:").append_hex(registers.fs, 4).append_line_break();
        text.append("GS:").append_hex(registers.gs, 4).append_line_break();
        text.append("Flags:").append_hex(registers.eflags, 8).append_line_break();
        text.append_line_break();
    }
}

void append_call_stack(CrashReportText& text, const ReportRecord& record) {
    append_title(text, "Call stack", "===========");
    if (record.signal != nullptr && record.signal->has_registers) {
        text.append("Fault: ");
        append_code_location(text, record.signal->registers.rip, false);
        text.append_line_break();
    }
    const int count = platform::capture_backtrace(report_space.frames, backtrace_capacity);
    for (int index = 0; index < count; ++index) {
        text.append(index < 10 ? " " : "").append_decimal(static_cast<uint32_t>(index)).append(" ");
        append_code_location(text, reinterpret_cast<uintptr_t>(report_space.frames[index]), true);
        text.append_line_break();
    }
    text.append_line_break();
}

// Bytes that cannot be read are written "??", so a broken stack pointer
// cannot fault the report.
void append_stack_information(CrashReportText& text, uint64_t stack_pointer) {
    append_title(text, "Stack information", "======================");
    const uint64_t first = stack_pointer - stack_start_below;
    for (uint32_t line = 0; line < stack_line_count; ++line) {
        const uint64_t address = first + uint64_t{line} * stack_line_size;
        uint8_t bytes[stack_line_size];
        const bool readable = platform::read_own_memory(address, bytes, sizeof bytes);
        text.append(address == stack_pointer ? ">" : " ").append("0x").append_hex(address, 16, false).append(":");
        for (uint32_t index = 0; index < stack_line_size; ++index) {
            if (readable) {
                text.append(" ").append_hex(bytes[index], 2, false);
            } else {
                text.append(" ??");
            }
        }
        text.append_line_break();
    }
    text.append_line_break();
}

void append_loaded_modules(CrashReportText& text) {
    append_title(text, "Loaded modules", "======================");
    for (uint32_t index = 0; index < report_space.module_count; ++index) {
        const Module& module = report_space.modules[index];
        text.append("0x")
            .append_hex(module.start, 16, false)
            .append(" 0x")
            .append_hex(module.end - module.start, 8, false)
            .append(" ")
            .append(module.path)
            .append_line_break();
    }
    text.append_line_break();
}

void append_recent_messages(CrashReportText& text) {
    const uint32_t count = recent_messages.count.load();
    if (count == 0) {
        return;
    }
    append_title(text, "Recent diagnostic messages", "===========================");
    const uint32_t kept = CrashReportMessageHandler::recent_message_count;
    for (uint32_t index = count > kept ? count - kept : 0; index < count; ++index) {
        text.append(recent_messages.texts[index % kept]).append_line_break();
    }
    text.append_line_break();
}

void append_debugger_problem(CrashReportText& text) {
    if (report_space.has_symbols) {
        return;
    }
    append_title(text, "THERE WAS A PROBLEM LOADING THE DEBUGGER", "=========================================");
    text.append("The symbol table of the executable could not be read, so the call stack has no names.\r\n\r\n");
}

// The mini dump: the report between the banners, as the comment of a dump.
void write_mini_dump() {
    const int dump = platform::create_report_file(report_space.mini_dump_path);
    if (dump < 0) {
        return;
    }
    CrashReportText text(dump);
    text.append("**************************\r\n*** CRASH INFORMATION ****\r\n**************************\r\n");
    const int report = platform::open_report_for_reading(report_space.report_path);
    if (report >= 0) {
        bool is_first = true;
        for (;;) {
            const size_t count =
                platform::read_report_bytes(report, report_space.copy_buffer, sizeof report_space.copy_buffer);
            if (count == 0) {
                break;
            }
            // Without the byte-order mark of the report file.
            const size_t skipped = is_first && count >= 3 ? 3 : 0;
            text.append_bytes(report_space.copy_buffer + skipped, count - skipped);
            is_first = false;
        }
        platform::close_report_file(report);
    }
    text.append(
        "*********************************\r\n*** END OF CRASH INFORMATION "
        "****\r\n*********************************\r\n");
    text.flush();
    const bool failed = text.has_failed();
    platform::close_report_file(dump);
    if (failed) {
        platform::remove_report_file(report_space.mini_dump_path);
    }
}

[[noreturn]] void run_crash_report(const ReportRecord& record) {
    reporting_thread.store(record.thread_id);
    const DumpState full_dump = decide_full_dump();
    const DumpState mini_dump = decide_mini_dump();
    platform::read_executable_path(report_space.executable_path, sizeof report_space.executable_path);
    read_modules();
    platform::MachineFacts machine;
    platform::read_machine_facts(machine);

    char folder[path_capacity];
    copy_text(folder, sizeof folder, report_space.folder);
    platform::create_folders(folder);
    const int file = platform::create_report_file(report_space.report_path);
    {
        CrashReportText text(file);
        text.append("\xEF\xBB\xBF");
        append_system_information(text, machine);
        append_crash_information(text, record, mini_dump, full_dump);
        if (record.signal != nullptr) {
            append_exception_information(text, record);
        }
        append_call_stack(text, record);
        append_stack_information(text, record.stack_pointer);
        append_loaded_modules(text);
        append_debugger_problem(text);
        append_recent_messages(text);
        text.flush();
    }
    platform::close_report_file(file);
    if (mini_dump == DumpState::enabled) {
        write_mini_dump();
    }
    if (full_dump == DumpState::enabled) {
        platform::write_core_dump(report_space.folder);
    }
    platform::lower_process_priority();
    platform::end_process_from_signal(record.exit_code);
}

void handle_crash_signal(const platform::CrashSignal& signal) {
    const uint32_t thread_id = platform::get_current_thread_id();
    if (!take_fatal_report_flag()) {
        handle_report_taken(thread_id);
    }
    const ReportRecord record{signal_message,
                              __PRETTY_FUNCTION__,
                              __FILE__,
                              __LINE__,
                              thread_id,
                              crash_exit_code,
                              false,
                              &signal,
                              signal.has_registers ? signal.registers.rsp : 0};
    run_crash_report(record);
}

}  // namespace

void prepare_crash_report_folder() {
    ReportSpace& space = report_space;
    const std::string documents = platform::get_documents_folder();
    copy_text(space.documents, sizeof space.documents, documents.c_str());
    const std::string folder = documents + "/" + crash_report_folder_name;
    copy_text(space.folder, sizeof space.folder, folder.c_str());
    const std::string base = folder + "/" + crash_report_name;
    copy_text(space.report_path, sizeof space.report_path, base.c_str(), ".TXT");
    copy_text(space.mini_dump_path, sizeof space.mini_dump_path, base.c_str(), "_mini.DMP");
    // Where the kernel puts the core of the copy depends on its pattern.
    platform::read_small_file("/proc/sys/kernel/core_pattern", space.core_pattern, sizeof space.core_pattern);
    if (char* line_end = std::strchr(space.core_pattern, '\n'); line_end != nullptr) {
        *line_end = '\0';
    }
    if (space.core_pattern[0] == '/' || space.core_pattern[0] == '|') {
        copy_text(space.full_dump_path, sizeof space.full_dump_path, space.core_pattern);
    } else {
        copy_text(space.full_dump_path, sizeof space.full_dump_path, (folder + "/").c_str(), space.core_pattern);
    }
}

const char* get_crash_report_path() {
    return report_space.report_path;
}

void install_crash_report_handlers() {
    prepare_crash_report_folder();
    report_space.has_symbols = platform::load_own_symbols();
    platform::warm_up_backtrace();
    platform::install_crash_signal_handlers(&handle_crash_signal);
}

void write_crash_report(const FatalErrorReport& report) {
    reporting_thread.store(report.thread_id);
    const char* const message = report.message != nullptr ? report.message : default_message;
    std::fprintf(stderr, "zolt: %s: %s\n", report.is_error ? "error" : "fatal error", message);
    if (report.file != nullptr) {
        std::fprintf(stderr, "  at %s:%" PRIu32 "%s%s\n", report.file, report.line,
                     report.signature != nullptr ? " in " : "", report.signature != nullptr ? report.signature : "");
    }
    std::fprintf(stderr, "  thread %" PRIu32 ", exit code %" PRIu32 "\n", report.thread_id, report.exit_code);
    std::fflush(stderr);
#if !defined(ZOLT_FUZZ_BUILD)
    std::fflush(stdout);
    // The documents folder may have changed since start-up.
    prepare_crash_report_folder();
    if (!report_space.has_symbols) {
        report_space.has_symbols = platform::load_own_symbols();
    }
    const ReportRecord record{
        message,         report.signature, report.file,
        report.line,     report.thread_id, report.exit_code,
        report.is_error, nullptr,          reinterpret_cast<uintptr_t>(__builtin_frame_address(0))};
    run_crash_report(record);
#endif
}

void CrashReportMessageHandler::handle_message(MessageKind kind, const char* kind_name, const char* signature,
                                               const char* file, uint32_t line, const char* format, va_list arguments) {
    if (kind != MessageKind::Panic && kind != MessageKind::Error && kind != MessageKind::Hope) {
        // Called under the handler list's lock, so one writer at a time.
        const uint32_t index = recent_messages.count.load() % recent_message_count;
        char* const slot = recent_messages.texts[index];
        const int prefix = std::snprintf(slot, recent_message_capacity, "%s: ", kind_name);
        if (prefix >= 0 && static_cast<uint32_t>(prefix) < recent_message_capacity) {
            std::vsnprintf(slot + prefix, recent_message_capacity - static_cast<uint32_t>(prefix), format, arguments);
        }
        recent_messages.count.fetch_add(1);
        return;
    }
    char message[message_capacity];
    std::vsnprintf(message, sizeof message, format, arguments);
    raise_fatal_error_exception(message, signature, file, line, kind == MessageKind::Error);
}

}  // namespace zolt

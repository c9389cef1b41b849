#pragma once
// What a crash report reads about the process and the machine, and how it
// writes its file: every call here is async-signal-safe (system calls into
// caller-owned buffers, no allocation, no locks), so the report can be
// written from a fatal signal's handler.
#include <cstddef>
#include <cstdint>

namespace zolt::platform {

struct MachineFacts {
    char system_name[65];
    char release[65];
    char version[65];
    char machine[65];
    char node_name[65];
    bool has_memory;
    uint64_t total_memory_bytes;
    uint64_t free_memory_bytes;
    uint64_t total_swap_bytes;
    uint64_t free_swap_bytes;
};

struct CivilTime {
    uint32_t year, month, day, hour, minute, second, millisecond;
};

void read_machine_facts(MachineFacts& facts);
// Universal time.
CivilTime read_civil_time();
// Present also with an empty value.
bool is_environment_variable_present(const char* name);
const char* find_environment_variable(const char* name);
bool is_user_administrator();
// NUL-terminated; 0 when unknown.
size_t read_executable_path(char* buffer, size_t capacity);
// As much of the file as fits, NUL-terminated; 0 when it cannot be read.
size_t read_small_file(const char* path, char* buffer, size_t capacity);
// False when any byte of the range cannot be read.
bool read_own_memory(uint64_t address, void* out, size_t size);

// The first call may load the unwinder, so it is made once before any crash.
void warm_up_backtrace();
int capture_backtrace(void** frames, int capacity);

// Creates the folder and its missing parents; path is a mutable copy.
bool create_folders(char* path);
// -1 when it cannot be created.
int create_report_file(const char* path);
bool write_report_bytes(int file, const void* bytes, size_t size);
void close_report_file(int file);
int open_report_for_reading(const char* path);
// The count read; 0 at the end or on an error.
size_t read_report_bytes(int file, void* bytes, size_t size);
void remove_report_file(const char* path);
void write_standard_error(const char* text);
void lower_process_priority();
// A core dump of a copy of the process, written by the kernel in the folder
// as its core pattern names it, with the core limit raised for the copy
// only; false when the copy dumped no core.
bool write_core_dump(const char* folder);
[[noreturn]] void end_process_from_signal(uint32_t exit_code);

}  // namespace zolt::platform

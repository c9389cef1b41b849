#pragma once
// One file operation at a time on one file: open, close, read or write at an
// offset, presize, get size. A request runs synchronously on the thread that
// owns it, or (reads only) on the IO thread; its manual-reset event is
// signalled whenever no operation is outstanding, and the issuing thread
// touches no field between queueing and that signal. handle_error turns the
// result into success, a quiet failure or a fatal error with the file input and output exit code,
// whose report names the file and the reason on the line after.
#include <cstdint>

#include "libs/io/file_path.h"
#include "platform/system/event.h"
#include "platform/system/files.h"

namespace zolt::io {

enum RequestType : uint32_t {
    request_open = 1,
    request_close = 2,
    request_read = 3,
    request_write = 4,
    request_presize = 5,
    request_get_size = 6,
};

// Results of the system's own; any other non-zero error is an errno value.
constexpr uint32_t error_short_read = 0x20000002;
constexpr uint32_t error_short_write = 0x20000003;
constexpr uint32_t error_file_too_large = 0x20000004;
constexpr uint32_t error_invalid_path = 0x20000005;

// Flags: the open mode in bits 0-3, then the error policy.
constexpr uint32_t open_mode_mask = 0xF;
constexpr uint32_t open_read = 1;
constexpr uint32_t open_create_new = 2;
constexpr uint32_t open_create_always = 3;
constexpr uint32_t open_write_always = 4;
constexpr uint32_t open_read_write = 5;
constexpr uint32_t open_read_write_always = 6;
constexpr uint32_t quiet_failure = 0x40;
constexpr uint32_t quiet_missing_file = 0x80;
constexpr uint32_t quiet_short_read = 0x100;
constexpr uint32_t quiet_file_too_large = 0x200;
constexpr uint32_t handle_not_owned = 0x400;

class Request {
public:
    Request();
    // Unless the handle is owned elsewhere, waits for the outstanding
    // operation and closes the file, both under the request's error policy.
    // Halts when an operation is still outstanding then.
    ~Request();
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    // Position becomes 0; the flags give the open mode and the error policy.
    // The request keeps a copy of the path for its reports.
    void do_open(const char* path, uint32_t open_flags);
    void do_close();
    void do_read(uint32_t read_offset, void* destination, uint32_t byte_count);
    void do_write(uint32_t write_offset, const void* source, uint32_t byte_count);
    void do_presize(uint32_t file_size);
    // 0xFFFFFFFF with the error set when the size is unknown or 4 GB or more.
    uint32_t get_file_size();

    // True on success, false on a failure the flags make quiet; any other
    // failure halts with the file input and output exit code.
    bool handle_error(uint32_t error_flags);

    // Runs on the IO thread: the operation named by type, then the signal.
    void process_request();

    uint32_t type = 0;
    platform::FileHandle handle = platform::invalid_file_handle;
    // The data of a read or write; for a queued open, the path; for a queued
    // presize, the size.
    void* buffer = nullptr;
    // The file offset of a read or write; for a queued open, the open flags.
    uint32_t offset = 0;
    uint32_t size = 0;
    uint32_t error = 0;
    uint32_t position = 0;
    uint32_t transferred = 0;
    platform::Event event{true, true};
    uint32_t flags = 0;
    // The file as the reports name it, for a handle opened elsewhere; null
    // leaves it unnamed. Long paths are cut.
    void set_file_path(const char* path);
    // Empty when unknown.
    char file_path[native_path_capacity] = {};
};

// The reason for an error of a request in words: the system's for its error
// numbers, the engine's own for its codes.
const char* describe_request_error(uint32_t error);

// Queues a read of size bytes at offset into buffer to the IO thread. The
// caller waits for (or polls) the request's event, then calls handle_error.
void queue_request(void* buffer, uint32_t offset, Request* request, uint32_t size);

}  // namespace zolt::io

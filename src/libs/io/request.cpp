#include "libs/io/request.h"

#include <cinttypes>
#include <cstdio>

#include "libs/io/file_path.h"
#include "libs/io/io_thread.h"
#include "libs/utility/fatal_error.h"

namespace zolt::io {
namespace {
struct OpenMode {
    platform::FileAccess access;
    platform::FileCreation creation;
};

constexpr OpenMode open_modes[] = {
    {platform::FileAccess::read, platform::FileCreation::open_existing},
    {platform::FileAccess::write, platform::FileCreation::create_new},
    {platform::FileAccess::write, platform::FileCreation::create_always},
    {platform::FileAccess::write, platform::FileCreation::open_always},
    {platform::FileAccess::read_write, platform::FileCreation::open_existing},
    {platform::FileAccess::read_write, platform::FileCreation::open_always},
};

const char* get_operation_verb(uint32_t type) {
    switch (type) {
    case request_open:
        return "opening";
    case request_close:
        return "closing";
    case request_read:
        return "reading from";
    case request_write:
        return "writing to";
    case request_presize:
        return "presizing";
    case request_get_size:
        return "getting size of";
    default:
        ZOLT_PANIC("Invalid IO request type %u.", type);
    }
}

void run_queued_request(uintptr_t request) {
    reinterpret_cast<Request*>(request)->process_request();
}
}  // namespace

Request::Request() = default;

Request::~Request() {
    if ((flags & handle_not_owned) == 0) {
        event.wait();
        handle_error(flags);
        if (handle != platform::invalid_file_handle) {
            type = request_close;
            do_close();
            handle_error(flags);
        }
    }
    if (!event.is_signalled()) {
        ZOLT_PANIC("destroying unfinished IO request %u", 0u);
    }
}

void Request::do_open(const char* path, uint32_t open_flags) {
    type = request_open;
    flags = open_flags;
    position = 0;
    set_file_path(path);
    const uint32_t mode = open_flags & open_mode_mask;
    if (mode < open_read || mode > open_read_write_always) {
        ZOLT_PANIC("Invalid open flags 0x%08x", open_flags);
    }
    char native_path[native_path_capacity];
    if (!make_native_path(path, native_path)) {
        error = error_invalid_path;
        return;
    }
    const OpenMode& open_mode = open_modes[mode - 1];
    error = platform::open_file(native_path, open_mode.access, open_mode.creation, &handle);
}

void Request::set_file_path(const char* path) {
    std::snprintf(file_path, sizeof file_path, "%s", path != nullptr ? path : "");
}

void Request::do_close() {
    type = request_close;
    error = platform::close_file(handle);
    handle = platform::invalid_file_handle;
}

void Request::do_read(uint32_t read_offset, void* destination, uint32_t byte_count) {
    type = request_read;
    buffer = destination;
    offset = read_offset;
    size = byte_count;
    position = read_offset;
    uint32_t moved = 0;
    error = platform::read_file_at(handle, read_offset, destination, byte_count, &moved);
    transferred = moved;
    if (error != 0) {
        return;
    }
    position = read_offset + moved;
    error = moved == byte_count ? 0 : error_short_read;
}

void Request::do_write(uint32_t write_offset, const void* source, uint32_t byte_count) {
    type = request_write;
    buffer = const_cast<void*>(source);
    offset = write_offset;
    size = byte_count;
    position = write_offset;
    uint32_t moved = 0;
    error = platform::write_file_at(handle, write_offset, source, byte_count, &moved);
    transferred = moved;
    if (error != 0) {
        return;
    }
    position = write_offset + moved;
    error = moved == byte_count ? 0 : error_short_write;
}

void Request::do_presize(uint32_t file_size) {
    type = request_presize;
    error = platform::set_file_size(handle, file_size);
}

uint32_t Request::get_file_size() {
    type = request_get_size;
    uint64_t file_size = 0;
    error = platform::get_file_size(handle, &file_size);
    if (error != 0) {
        return 0xFFFFFFFFu;
    }
    if (file_size > 0xFFFFFFFFu) {
        error = error_file_too_large;
        return 0xFFFFFFFFu;
    }
    return static_cast<uint32_t>(file_size);
}

bool Request::handle_error(uint32_t error_flags) {
    if (error == 0) {
        return true;
    }
    if ((error_flags & quiet_failure) != 0) {
        return false;
    }
    switch (type) {
    case request_open:
        if (platform::is_missing_path_error(error) && (error_flags & quiet_missing_file) != 0 &&
            (error_flags & open_mode_mask) == open_read) {
            return false;
        }
        break;
    case request_read:
        if (error == error_short_read && (error_flags & quiet_short_read) != 0) {
            return false;
        }
        break;
    case request_get_size:
        if (error == error_file_too_large && (error_flags & quiet_file_too_large) != 0) {
            return false;
        }
        break;
    default:
        break;
    }
    const char* verb = get_operation_verb(type);
    set_fatal_exit_code(ExitCode::file_input_output);
    ZOLT_ERROR("IO error %" PRIu32 " encountered while %s a file.\n%s: %s", error, verb,
               file_path[0] != 0 ? file_path : "(unnamed file)", describe_request_error(error));
}

const char* describe_request_error(uint32_t error) {
    switch (error) {
    case error_short_read:
        return "the file ends before the bytes asked for";
    case error_short_write:
        return "the disk took fewer bytes than were written";
    case error_file_too_large:
        return "the file is 4 GB or larger";
    case error_invalid_path:
        return "the path is not well-formed UTF-8 or is too long";
    default:
        return platform::describe_file_error(error);
    }
}

void Request::process_request() {
    switch (type) {
    case request_open:
        do_open(static_cast<const char*>(buffer), offset);
        break;
    case request_close:
        do_close();
        break;
    case request_read:
        do_read(offset, buffer, size);
        break;
    case request_write:
        do_write(offset, buffer, size);
        break;
    case request_presize:
        do_presize(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(buffer)));
        break;
    default:
        ZOLT_PANIC("unknown request type %u", type);
    }
    event.set();
}

void queue_request(void* buffer, uint32_t offset, Request* request, uint32_t size) {
    request->type = request_read;
    request->buffer = buffer;
    request->offset = offset;
    request->size = size;
    request->error = platform::pending_file_error;
    request->event.reset();
    queue_io_procedure(run_queued_request, reinterpret_cast<uintptr_t>(request));
}

}  // namespace zolt::io

#include "libs/io/whole_file.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "libs/io/file_replacement.h"
#include "libs/io/request.h"
#include "libs/utility/fatal_error.h"

namespace zolt::io {

bool read_whole_file(char* buffer, uint32_t capacity, const char* path, const char* description, bool report_missing) {
    Request request;
    request.do_open(path, open_read | quiet_failure);
    if (!request.handle_error(request.flags)) {
        buffer[0] = 0;
        // Only a file that is not there may be passed over: one that is there
        // and cannot be read would otherwise be replaced by a later save.
        if (report_missing || !platform::is_missing_path_error(request.error)) {
            ZOLT_ERROR("unable to open %s %s\n%s: %s", description, path, path, describe_request_error(request.error));
        }
        return false;
    }
    const uint32_t file_size = request.get_file_size();
    if (file_size >= capacity) {
        ZOLT_ERROR("%s %s is too big", description, path);
    }
    request.do_read(0, buffer, file_size);
    if (!request.handle_error(request.flags)) {
        ZOLT_ERROR("error reading %s %s\n%s: %s", description, path, path, describe_request_error(request.error));
    }
    buffer[file_size] = 0;
    return true;
}

bool write_whole_file(const char* path, const void* data, uint32_t length) {
    Request request;
    request.do_open(path, open_create_always | quiet_failure);
    if (!request.handle_error(request.flags)) {
        return false;
    }
    request.do_write(0, data, length);
    const bool written = request.handle_error(request.flags);
    request.do_close();
    return request.handle_error(request.flags) && written;
}

bool replace_whole_file(const char* path, const void* data, uint32_t length) {
    char native_path[native_path_capacity];
    if (!make_native_path(path, native_path)) {
        return false;
    }
    FileReplacement replacement;
    if (replacement.begin(native_path, native_path) != 0) {
        return false;
    }
    uint32_t transferred = 0;
    const uint32_t error = platform::write_file_at(replacement.get_handle(), 0, data, length, &transferred);
    if (error != 0 || transferred != length) {
        return false;
    }
    return replacement.commit() == 0;
}

void* read_file_to_new_buffer(uint32_t* length, const char* path) {
    Request request;
    request.do_open(path, open_read | quiet_missing_file | quiet_short_read);
    if (!request.handle_error(request.flags)) {
        return nullptr;
    }
    const uint32_t file_size = request.get_file_size();
    request.handle_error(request.flags);
    // One spare byte, so that an empty file still gets a buffer of its own.
    void* buffer = std::malloc(static_cast<size_t>(file_size) + 1);
    if (buffer == nullptr) {
        ZOLT_PANIC("can't allocate %u bytes for file %s", file_size, path);
    }
    request.do_read(0, buffer, file_size);
    if (!request.handle_error(request.flags)) {
        std::free(buffer);
        return nullptr;
    }
    if (length != nullptr) {
        *length = file_size;
    }
    return buffer;
}

void format_to_buffer(char* buffer, uint32_t capacity, const char* format, ...) {
    if (capacity == 0) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, capacity, format, arguments);
    va_end(arguments);
}

}  // namespace zolt::io

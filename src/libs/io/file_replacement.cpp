#include "libs/io/file_replacement.h"

#include <cerrno>
#include <cstring>

namespace zolt::io {

FileReplacement::~FileReplacement() {
    abandon();
}

uint32_t FileReplacement::begin(const char* target, const char* prefix) {
    abandon();
    if (std::strlen(target) >= sizeof target_ || std::strlen(prefix) >= native_path_capacity) {
        return ENAMETOOLONG;
    }
    std::strcpy(target_, target);
    const uint32_t error = platform::create_unique_file(prefix, temporary_path_, sizeof temporary_path_, &handle_);
    is_begun_ = error == 0;
    return error;
}

uint32_t FileReplacement::commit() {
    if (!is_begun_) {
        return EBADF;
    }
    uint32_t error = platform::flush_file(handle_);
    const uint32_t close_error = platform::close_file(handle_);
    handle_ = platform::invalid_file_handle;
    if (error == 0) {
        error = close_error;
    }
    if (error == 0) {
        error = platform::rename_file(temporary_path_, target_);
    }
    if (error != 0) {
        abandon();
        return error;
    }
    is_begun_ = false;
    // The new file is in place whatever this answers; a folder the system
    // cannot flush only leaves the rename to the system's own schedule.
    platform::flush_folder_of(target_);
    return 0;
}

void FileReplacement::abandon() {
    if (!is_begun_) {
        return;
    }
    if (handle_ != platform::invalid_file_handle) {
        platform::close_file(handle_);
        handle_ = platform::invalid_file_handle;
    }
    platform::delete_file(temporary_path_);
    is_begun_ = false;
}

}  // namespace zolt::io

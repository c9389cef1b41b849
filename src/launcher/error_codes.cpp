#include "launcher/error_codes.h"

#include <cerrno>
#include <cstring>

#include "platform/system/files.h"

namespace zolt::launcher {
namespace {

struct ErrorCodeRow {
    uint32_t error_number;
    uint32_t code;
};

constexpr ErrorCodeRow error_code_rows[] = {
    {ENOENT, file_not_found_code},
    {ENOTDIR, path_not_found_code},
    {EACCES, access_denied_code},
    {EPERM, access_denied_code},
    {EISDIR, access_denied_code},
    {ENOSPC, disk_full_code},
    {EDQUOT, disk_full_code},
    {EEXIST, already_exists_code},
    {ENAMETOOLONG, file_name_too_long_code},
    {EIO, input_output_code},
    {platform::fifo_file_error, access_denied_code},
    {platform::device_file_error, access_denied_code},
    {platform::socket_file_error, access_denied_code},
};

}  // namespace

uint32_t get_error_code(uint32_t error_number) {
    for (const ErrorCodeRow& row : error_code_rows) {
        if (row.error_number == error_number) {
            return row.code;
        }
    }
    return error_number;
}

std::string describe_error_code(uint32_t code) {
    switch (code) {
    case file_not_found_code:
        return std::strerror(ENOENT);
    case path_not_found_code:
        return std::strerror(ENOTDIR);
    case access_denied_code:
        return std::strerror(EACCES);
    case disk_full_code:
        return std::strerror(ENOSPC);
    case already_exists_code:
        return std::strerror(EEXIST);
    case file_name_too_long_code:
        return std::strerror(ENAMETOOLONG);
    case empty_file_code:
        return "The file is empty.";
    case input_output_code:
        return std::strerror(EIO);
    default:
        break;
    }
    if (code > 0 && code < 4096) {
        return std::strerror(static_cast<int>(code));
    }
    return "Unknown error " + std::to_string(code);
}

}  // namespace zolt::launcher

#include "zolt/storage/save_stream_file.h"

#include <cctype>
#include <cstring>

#include "libs/io/file_path.h"
#include "libs/utility/crc32.h"
#include "platform/system/files.h"
#include "zolt/storage/save_status.h"
#include "zolt/storage/save_stream_buffers.h"

namespace zolt::storage {
namespace {
constexpr uint32_t save_file_flags = io::open_create_always | io::quiet_failure;
const uint8_t reserved_zeros[save_reserved_size] = {};

bool has_save_extension(const char* path, size_t length) {
    static constexpr char extension[] = ".zsv";
    if (length < 4) {
        return false;
    }
    for (size_t index = 0; index < 4; ++index) {
        if (std::tolower(static_cast<unsigned char>(path[length - 4 + index])) != extension[index]) {
            return false;
        }
    }
    return true;
}

// "s00300005.zsv" gives temporary files "s00300005.<random>.tmp", never
// listed as saves.
void make_temporary_prefix(const char* path, char* prefix) {
    size_t length = std::strlen(path);
    if (has_save_extension(path, length)) {
        length -= 4;
    }
    std::memcpy(prefix, path, length);
    prefix[length] = 0;
}
}  // namespace

FileSaveStream::FileSaveStream(const SaveFileProvider& provider) : provider_(provider), crc_register_(crc32_start) {
    path_[0] = 0;
    // Until an open succeeds, writes land in the buffer and go no further.
    set_buffer(get_file_save_buffer(), save_stream_capacity);
}

FileSaveStream::~FileSaveStream() {
    discard_temporary_file();
}

bool FileSaveStream::open(uint32_t save_id) {
    clear_save_status();
    failed_ = true;
    char path[io::native_path_capacity];
    if (!provider_.make_save_file_path(save_id, path, sizeof path) || !io::make_native_path(path, path_)) {
        record_save_status(save_status_file_error);
        return false;
    }
    char prefix[io::native_path_capacity];
    make_temporary_prefix(path_, prefix);
    if (const uint32_t error = replacement_.begin(path_, prefix); error != 0) {
        record_save_status_from_error(error);
        return false;
    }
    request_.type = io::request_open;
    request_.flags = save_file_flags;
    request_.handle = replacement_.get_handle();
    request_.set_file_path(replacement_.get_temporary_path());
    request_.position = 0;
    request_.do_write(0, reserved_zeros, save_reserved_size);
    if (request_.handle_error(save_file_flags)) {
        request_.do_write(request_.position, provider_.get_storage_record(), storage_record_size);
    }
    if (!request_.handle_error(save_file_flags)) {
        record_save_status_from_error(request_.error);
        discard_temporary_file();
        return false;
    }
    failed_ = false;
    too_long_ = false;
    crc_register_ = crc32_start;
    stream_size_ = 0;
    set_buffer(get_file_save_buffer(), save_stream_capacity);
    return true;
}

void FileSaveStream::flush_buffer(uint8_t*& buffer, uint32_t&, uint32_t used) {
    if (failed_ || used == 0) {
        return;
    }
    // Past the capacity the save could never be loaded: stop writing it.
    if (used > save_stream_capacity - stream_size_) {
        too_long_ = true;
        failed_ = true;
        return;
    }
    stream_size_ += used;
    update_crc32(crc_register_, used, buffer);
    request_.do_write(request_.position, buffer, used);
    if (!request_.handle_error(save_file_flags)) {
        failed_ = true;
    }
}

bool FileSaveStream::finish() {
    if (!replacement_.is_begun()) {
        return false;
    }
    flush_used();
    uint8_t crc_bytes[4];
    const uint32_t crc_value = crc_register_;
    for (uint32_t index = 0; index < 4; ++index) {
        crc_bytes[index] = static_cast<uint8_t>(crc_value >> (8 * index));
    }
    write(crc_bytes, 4);
    flush_used();
    bool succeeded = true;
    if (too_long_) {
        record_save_status(save_status_bad_file);
        succeeded = false;
    } else if (failed_) {
        record_save_status_from_error(request_.error);
        succeeded = false;
    }
    if (succeeded) {
        const uint32_t error = replacement_.commit();
        if (error != 0) {
            record_save_status_from_error(error);
            succeeded = false;
        }
    }
    discard_temporary_file();
    return succeeded;
}

void FileSaveStream::discard_temporary_file() {
    // The replacement owns the file and closes it, committed or not.
    request_.handle = platform::invalid_file_handle;
    replacement_.abandon();
}

}  // namespace zolt::storage

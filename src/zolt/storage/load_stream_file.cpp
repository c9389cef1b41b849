#include "zolt/storage/load_stream_file.h"

#include "libs/io/request.h"
#include "libs/utility/crc32.h"
#include "zolt/storage/save_status.h"
#include "zolt/storage/save_stream_buffers.h"

namespace zolt::storage {
namespace {
constexpr uint32_t load_file_flags = io::open_read | io::quiet_failure;
constexpr uint32_t crc_size = 4;
}  // namespace

FileLoadStream::FileLoadStream(const SaveFileProvider& provider) : provider_(provider) {}

bool FileLoadStream::open(uint32_t save_id) {
    clear_save_status();
    char path[io::native_path_capacity];
    if (!provider_.make_save_file_path(save_id, path, sizeof path)) {
        record_save_status(save_status_file_error);
        return false;
    }
    io::Request request;
    request.do_open(path, load_file_flags);
    if (!request.handle_error(load_file_flags)) {
        record_save_status_from_error(request.error);
        return false;
    }
    bool loaded = false;
    const uint32_t file_size = request.get_file_size();
    if (request.error != 0 && request.error != io::error_file_too_large) {
        record_save_status_from_error(request.error);
    } else if (request.error != 0 || file_size < save_stream_offset + crc_size ||
               file_size - save_stream_offset > save_stream_capacity) {
        // A stream part shorter than its own CRC is refused as well: it would
        // leave the stream with less than nothing to read.
        record_save_status(save_status_bad_file);
    } else {
        const uint32_t stream_part_size = file_size - save_stream_offset;
        uint8_t* const buffer = get_file_load_buffer();
        request.do_read(save_stream_offset, buffer, stream_part_size);
        if (!request.handle_error(load_file_flags)) {
            record_save_status_from_error(request.error);
        } else if (compute_crc32(buffer, stream_part_size) != 0) {
            record_save_status(save_status_bad_file);
        } else {
            set_buffer(buffer, stream_part_size - crc_size);
            loaded = true;
        }
    }
    request.do_close();
    if (!request.handle_error(load_file_flags)) {
        record_save_status_from_error(request.error);
        set_buffer(nullptr, 0);
        return false;
    }
    return loaded;
}

}  // namespace zolt::storage

#pragma once
// The layout of a save file, and what the file streams need from the save
// manager to find one. All words are little-endian:
//   0       12288 reserved bytes, zeros
//   12288   the 4096-byte storage block, then its CRC-32
//   16388   the save stream
//   end-4   the CRC register of the stream, so the stream and it give CRC 0
#include <cstdint>

namespace zolt::storage {

constexpr uint32_t save_reserved_size = 12288;
constexpr uint32_t storage_block_size = 4096;
// The storage block followed by its CRC-32.
constexpr uint32_t storage_record_size = storage_block_size + 4;
constexpr uint32_t save_stream_offset = save_reserved_size + storage_record_size;
// The most a stream with its trailing CRC may take, in a file or a memory slot.
constexpr uint32_t save_stream_capacity = 0xA00000;

class SaveFileProvider {
public:
    virtual ~SaveFileProvider() = default;
    // The full path of the save file of save_id (UTF-8, NUL-terminated);
    // false when it does not fit capacity bytes.
    virtual bool make_save_file_path(uint32_t save_id, char* path, uint32_t capacity) const = 0;
    // The storage record written into every save file: storage_record_size bytes.
    virtual const uint8_t* get_storage_record() const = 0;
};

}  // namespace zolt::storage

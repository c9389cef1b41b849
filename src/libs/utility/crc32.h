#pragma once
// The CRC-32 of every file format: reflected, polynomial 0xEDB88320, register
// started at 0xFFFFFFFF by the caller and kept without final inversion, so a
// register continued over its own little-endian bytes becomes 0.
#include <cstddef>
#include <cstdint>

namespace zolt {

constexpr uint32_t crc32_start = 0xFFFFFFFFu;

void update_crc32(uint32_t& crc_register, size_t byte_count, const void* bytes);

inline uint32_t compute_crc32(const void* bytes, size_t byte_count) {
    uint32_t crc_register = crc32_start;
    update_crc32(crc_register, byte_count, bytes);
    return crc_register;
}

}  // namespace zolt

#pragma once
// Little-endian fields of resources, read and written with memcpy (the host
// is little-endian; fields need not be aligned). Any thread.
#include <cstdint>
#include <cstring>
#include <vector>

namespace zolt {

template <typename T>
inline T read_field(const uint8_t* bytes, uint32_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof(T));
    return value;
}

template <typename T>
inline void write_field(std::vector<uint8_t>& bytes, uint32_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof(T));
}

// True when [offset, offset + count * size) lies within a resource of total
// bytes, computed without overflow.
inline bool fits_within(uint64_t offset, uint64_t count, uint64_t size, uint64_t total) {
    return offset <= total && count * size <= total - offset;
}

}  // namespace zolt

#pragma once
// Fixed-width little-endian words through the save and load streams. Reads
// answer false, without reading, when the stream has fewer bytes left than
// asked, so a broken saved world is refused instead of trusted.
#include <cstdint>

#include "zolt/storage/load_stream.h"
#include "zolt/storage/save_stream.h"

namespace zolt::core {

inline void write_bytes(storage::SaveStream& stream, const void* bytes, uint32_t count) {
    stream.write(bytes, count);
}

inline void write_u32(storage::SaveStream& stream, uint32_t value) {
    write_bytes(stream, &value, sizeof value);
}

inline void write_u8(storage::SaveStream& stream, uint8_t value) {
    write_bytes(stream, &value, sizeof value);
}

inline void write_s32(storage::SaveStream& stream, int32_t value) {
    write_bytes(stream, &value, sizeof value);
}

inline void write_f32(storage::SaveStream& stream, float value) {
    write_bytes(stream, &value, sizeof value);
}

inline bool read_bytes(storage::LoadStream& stream, void* bytes, uint32_t count) {
    if (!stream.can_read(count)) {
        return false;
    }
    stream.read(bytes, count);
    return true;
}

inline bool read_u32(storage::LoadStream& stream, uint32_t& value) {
    return read_bytes(stream, &value, sizeof value);
}

inline bool read_u8(storage::LoadStream& stream, uint8_t& value) {
    return read_bytes(stream, &value, sizeof value);
}

inline bool read_s32(storage::LoadStream& stream, int32_t& value) {
    return read_bytes(stream, &value, sizeof value);
}

inline bool read_f32(storage::LoadStream& stream, float& value) {
    return read_bytes(stream, &value, sizeof value);
}

}  // namespace zolt::core

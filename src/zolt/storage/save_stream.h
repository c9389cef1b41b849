#pragma once
// The buffered byte stream every object, server and subsystem writes its
// saved state through. Values go in little-endian byte order with the width
// of their type, untagged; nothing pointer-sized is ever written. When a write
// finds the buffer full, flush_buffer empties it and the stream starts over at
// the buffer's start. Made on the stack of one save on the main thread.
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace zolt::storage {

static_assert(std::endian::native == std::endian::little, "streams copy values in the machine's byte order");

class SaveStream {
public:
    virtual ~SaveStream() = default;

    virtual bool open(uint32_t save_id) = 0;
    // Writes what is left; true when the whole save succeeded.
    virtual bool finish() = 0;

    void write(const void* source, uint32_t byte_count);

    void write_u8(uint8_t value) { write_field(value); }
    void write_u16(uint16_t value) { write_field(value); }
    void write_u32(uint32_t value) { write_field(value); }
    void write_s8(int8_t value) { write_field(value); }
    void write_s16(int16_t value) { write_field(value); }
    void write_s32(int32_t value) { write_field(value); }
    void write_f32(float value) { write_field(value); }
    void write_bool(bool value) { write_field(static_cast<uint8_t>(value ? 1 : 0)); }
    void write_u32_pair(uint32_t first, uint32_t second) {
        write_u32(first);
        write_u32(second);
    }

protected:
    // Called with the bytes used when a write finds the buffer full; may hand
    // back another buffer. The base has no place to put the bytes and panics.
    virtual void flush_buffer(uint8_t*& buffer, uint32_t& buffer_size, uint32_t used);

    void set_buffer(uint8_t* buffer, uint32_t buffer_size);
    uint32_t get_used_size() const { return buffer_size_ - remaining_; }
    // Hands the used part of the buffer to flush_buffer and starts over.
    void flush_used();

private:
    template <typename T>
    void write_field(T value) {
        static_assert(std::is_arithmetic_v<T> && sizeof(T) <= 4, "stream fields are 8, 16 or 32 bits wide");
        if (remaining_ >= sizeof(T)) {
            std::memcpy(position_, &value, sizeof(T));
            position_ += sizeof(T);
            remaining_ -= static_cast<uint32_t>(sizeof(T));
        } else {
            write(&value, sizeof(T));
        }
    }

    uint8_t* buffer_ = nullptr;
    uint32_t buffer_size_ = 0;
    uint8_t* position_ = nullptr;
    uint32_t remaining_ = 0;
};

}  // namespace zolt::storage

#pragma once
// The buffered byte stream saved state is read back through, field by field
// in the order it was written. When a read finds the buffer empty,
// fill_buffer refills it; the concrete streams hold their whole stream in one
// buffer, so reading past its end panics. Made on the stack of one load on
// the main thread.
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace zolt::storage {

static_assert(std::endian::native == std::endian::little, "streams copy values in the machine's byte order");

class LoadStream {
public:
    virtual ~LoadStream() = default;

    virtual bool open(uint32_t save_id) = 0;

    void read(void* destination, uint32_t byte_count);

    uint8_t read_u8() { return read_field<uint8_t>(); }
    uint16_t read_u16() { return read_field<uint16_t>(); }
    uint32_t read_u32() { return read_field<uint32_t>(); }
    int8_t read_s8() { return read_field<int8_t>(); }
    int16_t read_s16() { return read_field<int16_t>(); }
    int32_t read_s32() { return read_field<int32_t>(); }
    float read_f32() { return read_field<float>(); }
    bool read_bool() { return read_field<uint8_t>() != 0; }
    void read_u32_pair(uint32_t& first, uint32_t& second) {
        first = read_u32();
        second = read_u32();
    }

    // True when byte_count more bytes lie in the buffer. The concrete streams
    // hold their whole stream there, so a reader of broken data can refuse it
    // here instead of reading past the end.
    bool can_read(uint32_t byte_count) const { return byte_count <= remaining_; }
    uint32_t get_remaining_size() const { return remaining_; }

protected:
    // Told when a read has used up the buffer.
    virtual void buffer_consumed(uint8_t* buffer, uint32_t buffer_size);
    // Answers the bytes now available from the buffer's start. The base has
    // nothing more to give and panics.
    virtual uint32_t fill_buffer(uint8_t*& buffer, uint32_t& buffer_size);

    void set_buffer(uint8_t* buffer, uint32_t available);

private:
    template <typename T>
    T read_field() {
        static_assert(std::is_arithmetic_v<T> && sizeof(T) <= 4, "stream fields are 8, 16 or 32 bits wide");
        T value;
        if (remaining_ > sizeof(T)) {
            std::memcpy(&value, position_, sizeof(T));
            position_ += sizeof(T);
            remaining_ -= static_cast<uint32_t>(sizeof(T));
        } else {
            read(&value, sizeof(T));
        }
        return value;
    }

    uint8_t* buffer_ = nullptr;
    uint32_t buffer_size_ = 0;
    const uint8_t* position_ = nullptr;
    uint32_t remaining_ = 0;
};

}  // namespace zolt::storage

#pragma once
// A ring of bits, written and read least significant bit first, so that a
// 16- or 32-bit value starting on a byte boundary lies in little-endian byte
// order. Byte positions wrap at Size. Every write checks the room left and
// every checked read the bits there, so peer input can never run past the
// ring: a failed call changes nothing.
#include <cstdint>
#include <cstring>

namespace zolt {

template <uint32_t Size>
class BitStream {
    static_assert((Size & (Size - 1)) == 0, "the ring wraps by masking");

public:
    static constexpr uint32_t capacity_bits = Size * 8;
    static constexpr uint32_t byte_mask = Size - 1;

    void clear() { read_byte_ = read_bit_ = write_byte_ = write_bit_ = bit_count_ = 0; }

    uint32_t get_bit_count() const { return bit_count_; }
    uint32_t get_room_bits() const { return capacity_bits - bit_count_; }
    uint32_t get_write_byte_position() const { return write_byte_; }
    uint32_t get_write_bit_position() const { return write_bit_; }
    uint32_t get_read_byte_position() const { return read_byte_; }
    const uint8_t* get_data() const { return data_; }
    uint8_t get_byte(uint32_t position) const { return data_[position & byte_mask]; }
    // Writes over a byte already written, such as a length known only at the end.
    void set_byte(uint32_t position, uint8_t value) { data_[position & byte_mask] = value; }

    bool write_bit(uint32_t bit) {
        if (bit_count_ >= capacity_bits) {
            return false;
        }
        const uint8_t mask = static_cast<uint8_t>(1u << write_bit_);
        data_[write_byte_] = static_cast<uint8_t>((data_[write_byte_] & ~mask) | ((bit & 1u) ? mask : 0));
        advance_write(1);
        return true;
    }

    bool write_bits(uint32_t n, uint32_t value) {
        if (n > 32 || n > capacity_bits - bit_count_) {
            return false;
        }
        uint32_t left = n;
        while (left > 0) {
            const uint32_t take = left < 8 - write_bit_ ? left : 8 - write_bit_;
            const uint32_t mask = ((1u << take) - 1u) << write_bit_;
            data_[write_byte_] = static_cast<uint8_t>((data_[write_byte_] & ~mask) | ((value << write_bit_) & mask));
            value = take == 32 ? 0 : value >> take;
            left -= take;
            advance_write(take);
        }
        return true;
    }

    // The caller is on a byte boundary.
    bool write_bytes(uint32_t n, const void* bytes) {
        if (static_cast<uint64_t>(n) * 8 > capacity_bits - bit_count_) {
            return false;
        }
        const auto* source = static_cast<const uint8_t*>(bytes);
        const uint32_t first = n < Size - write_byte_ ? n : Size - write_byte_;
        std::memcpy(data_ + write_byte_, source, first);
        std::memcpy(data_, source + first, n - first);
        write_byte_ = (write_byte_ + n) & byte_mask;
        bit_count_ += n * 8;
        return true;
    }

    bool align_to_byte() {
        if (write_bit_ == 0) {
            return true;
        }
        return write_bits(8 - write_bit_, 0);
    }

    // Callers check the bit count first.
    uint32_t read_bits(uint32_t n) {
        uint32_t value = 0;
        uint32_t shift = 0;
        while (shift < n) {
            const uint32_t take = n - shift < 8 - read_bit_ ? n - shift : 8 - read_bit_;
            const uint32_t bits = (static_cast<uint32_t>(data_[read_byte_]) >> read_bit_) & ((1u << take) - 1u);
            value |= bits << shift;
            shift += take;
            advance_read(take);
        }
        return value;
    }

    bool read_checked(uint32_t n, uint32_t* out) {
        if (n > 32 || bit_count_ < n) {
            return false;
        }
        *out = read_bits(n);
        return true;
    }

    // The caller is on a byte boundary.
    bool read_bytes(uint32_t n, void* out) {
        if (static_cast<uint64_t>(n) * 8 > bit_count_) {
            return false;
        }
        auto* target = static_cast<uint8_t*>(out);
        const uint32_t first = n < Size - read_byte_ ? n : Size - read_byte_;
        std::memcpy(target, data_ + read_byte_, first);
        std::memcpy(target + first, data_, n - first);
        read_byte_ = (read_byte_ + n) & byte_mask;
        bit_count_ -= n * 8;
        return true;
    }

    bool skip_bits(uint32_t n) {
        if (bit_count_ < n) {
            return false;
        }
        const uint32_t position = ((read_byte_ * 8 + read_bit_) + n) % capacity_bits;
        read_byte_ = position / 8;
        read_bit_ = position % 8;
        bit_count_ -= n;
        return true;
    }

    // Moves the read position to the next byte boundary; false when the
    // bits up to it are not there.
    bool align_read() { return skip_bits((8 - read_bit_) % 8); }

    // Kept before a message is written and put back when writing it fails.
    void save_positions() { saved_ = {read_byte_, read_bit_, write_byte_, write_bit_, bit_count_}; }
    void restore_positions() {
        read_byte_ = saved_.read_byte;
        read_bit_ = saved_.read_bit;
        write_byte_ = saved_.write_byte;
        write_bit_ = saved_.write_bit;
        bit_count_ = saved_.bit_count;
    }

private:
    void advance_write(uint32_t bits) {
        write_bit_ += bits;
        write_byte_ = (write_byte_ + write_bit_ / 8) & byte_mask;
        write_bit_ %= 8;
        bit_count_ += bits;
    }
    void advance_read(uint32_t bits) {
        read_bit_ += bits;
        read_byte_ = (read_byte_ + read_bit_ / 8) & byte_mask;
        read_bit_ %= 8;
        bit_count_ -= bits;
    }

    struct Positions {
        uint32_t read_byte;
        uint32_t read_bit;
        uint32_t write_byte;
        uint32_t write_bit;
        uint32_t bit_count;
    };

    uint8_t data_[Size] = {};
    uint32_t read_byte_ = 0;
    uint32_t read_bit_ = 0;
    uint32_t write_byte_ = 0;
    uint32_t write_bit_ = 0;
    uint32_t bit_count_ = 0;
    Positions saved_ = {};
};

}  // namespace zolt

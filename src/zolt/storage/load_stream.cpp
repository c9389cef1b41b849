#include "zolt/storage/load_stream.h"

#include <algorithm>

#include "libs/utility/fatal_error.h"

namespace zolt::storage {

void LoadStream::read(void* destination, uint32_t byte_count) {
    auto* bytes = static_cast<uint8_t*>(destination);
    while (byte_count > 0) {
        if (remaining_ == 0) {
            remaining_ = fill_buffer(buffer_, buffer_size_);
            if (remaining_ == 0 || remaining_ > buffer_size_) {
                ZOLT_PANIC("load buffer filled with %u bytes of %u", remaining_, buffer_size_);
            }
            position_ = buffer_;
        }
        const uint32_t count = std::min(byte_count, remaining_);
        std::memcpy(bytes, position_, count);
        position_ += count;
        remaining_ -= count;
        bytes += count;
        byte_count -= count;
        if (remaining_ == 0) {
            buffer_consumed(buffer_, buffer_size_);
        }
    }
}

void LoadStream::buffer_consumed(uint8_t*, uint32_t) {}

uint32_t LoadStream::fill_buffer(uint8_t*&, uint32_t&) {
    ZOLT_PANIC("no fill buffer callback when load buffer became empty");
}

void LoadStream::set_buffer(uint8_t* buffer, uint32_t available) {
    buffer_ = buffer;
    buffer_size_ = available;
    position_ = buffer;
    remaining_ = available;
}

}  // namespace zolt::storage

#include "zolt/storage/save_stream.h"

#include <algorithm>

#include "libs/utility/fatal_error.h"

namespace zolt::storage {

void SaveStream::write(const void* source, uint32_t byte_count) {
    const auto* bytes = static_cast<const uint8_t*>(source);
    while (byte_count > 0) {
        if (remaining_ == 0) {
            flush_buffer(buffer_, buffer_size_, buffer_size_);
            if (buffer_size_ == 0) {
                ZOLT_PANIC("save stream has no buffer to write to");
            }
            position_ = buffer_;
            remaining_ = buffer_size_;
        }
        const uint32_t count = std::min(byte_count, remaining_);
        std::memcpy(position_, bytes, count);
        position_ += count;
        remaining_ -= count;
        bytes += count;
        byte_count -= count;
    }
}

void SaveStream::flush_buffer(uint8_t*&, uint32_t&, uint32_t) {
    ZOLT_PANIC("no flush buffer callback when save buffer became full");
}

void SaveStream::set_buffer(uint8_t* buffer, uint32_t buffer_size) {
    buffer_ = buffer;
    buffer_size_ = buffer_size;
    position_ = buffer;
    remaining_ = buffer_size;
}

void SaveStream::flush_used() {
    flush_buffer(buffer_, buffer_size_, buffer_size_ - remaining_);
    position_ = buffer_;
    remaining_ = buffer_size_;
}

}  // namespace zolt::storage

#include "libs/utility/string_buffer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "libs/utility/fatal_error.h"

namespace zolt {

StringBuffer::StringBuffer(char* storage, uint32_t capacity) : buffer_(storage), capacity_(capacity) {
    if (capacity == 0) {
        ZOLT_PANIC("string buffer without room for its terminator");
    }
    buffer_[0] = 0;
}

void StringBuffer::append(const char* text) {
    const size_t free_bytes = capacity_ - length_ - 1;
    const size_t text_length = std::strlen(text);
    const auto count = static_cast<uint32_t>(text_length < free_bytes ? text_length : free_bytes);
    std::memcpy(buffer_ + length_, text, count);
    length_ += count;
    buffer_[length_] = 0;
}

void StringBuffer::append_char(char character) {
    if (capacity_ - length_ > 1) {
        buffer_[length_++] = character;
        buffer_[length_] = 0;
    }
}

void StringBuffer::append_line_break() {
    const uint32_t remaining = capacity_ - length_;
    if (remaining >= 2) {
        buffer_[length_++] = '\r';
    }
    if (remaining >= 3) {
        buffer_[length_++] = '\n';
    }
    buffer_[length_] = 0;
}

void StringBuffer::append_format(const char* format, ...) {
    const uint32_t remaining = capacity_ - length_;
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vsnprintf(buffer_ + length_, remaining, format, arguments);
    va_end(arguments);
    // vsnprintf answers the length the whole text would have had.
    if (written > 0) {
        const uint32_t fitting = remaining - 1;
        length_ += static_cast<uint32_t>(written) < fitting ? static_cast<uint32_t>(written) : fitting;
    }
    buffer_[length_] = 0;
}

void StringBuffer::append_bool(bool value) {
    append_char(value ? '1' : '0');
}

}  // namespace zolt

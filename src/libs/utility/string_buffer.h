#pragma once
// A fixed-capacity 8-bit text in storage that the caller owns. Every append
// takes as much as fits and writes the terminating NUL, so the buffer never
// overflows and the length always stays below the capacity; what does not fit
// is cut. One thread at a time.
#include <cstdint>

namespace zolt {

class StringBuffer {
public:
    // The capacity counts the terminating NUL; the text starts empty.
    StringBuffer(char* storage, uint32_t capacity);

    void append(const char* text);
    void append_char(char character);
    // CR LF when three bytes remain, a lone CR when two remain, else nothing,
    // so a cut line break still shows the buffer as full.
    void append_line_break();
    void append_format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void append_bool(bool value);

    const char* get_text() const { return buffer_; }
    uint32_t get_length() const { return length_; }
    uint32_t get_capacity() const { return capacity_; }

private:
    char* buffer_;
    uint32_t length_ = 0;
    uint32_t capacity_;
};

}  // namespace zolt

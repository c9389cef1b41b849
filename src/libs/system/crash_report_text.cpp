#include "libs/system/crash_report_text.h"

#include "platform/system/crash_facts.h"

namespace zolt {

CrashReportText& CrashReportText::append_bytes(const void* bytes, size_t size) {
    const auto* cursor = static_cast<const char*>(bytes);
    while (size > 0 && !failed_) {
        if (length_ == buffer_size) {
            flush();
            continue;
        }
        const size_t count = size < buffer_size - length_ ? size : buffer_size - length_;
        for (size_t index = 0; index < count; ++index) {
            buffer_[length_ + index] = cursor[index];
        }
        length_ += count;
        cursor += count;
        size -= count;
    }
    return *this;
}

CrashReportText& CrashReportText::append(const char* text) {
    size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    return append_bytes(text, length);
}

CrashReportText& CrashReportText::append_decimal(uint64_t value) {
    char digits[20];
    size_t count = 0;
    do {
        digits[sizeof digits - 1 - count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    return append_bytes(digits + sizeof digits - count, count);
}

CrashReportText& CrashReportText::append_hex(uint64_t value, uint32_t digits, bool upper_case) {
    const char* const symbols = upper_case ? "0123456789ABCDEF" : "0123456789abcdef";
    char text[16];
    size_t count = 0;
    do {
        text[sizeof text - 1 - count++] = symbols[value & 0xF];
        value >>= 4;
    } while (value != 0 || (count < digits && count < sizeof text));
    return append_bytes(text + sizeof text - count, count);
}

void CrashReportText::flush() {
    if (!failed_ && length_ > 0 && !platform::write_report_bytes(file_, buffer_, length_)) {
        failed_ = true;
    }
    length_ = 0;
}

}  // namespace zolt

#pragma once
// The text of a crash report, formatted into a fixed buffer and written to
// its file whenever the buffer fills: no allocation and no stdio, so a
// report can be written from a fatal signal's handler. A failed write is
// remembered and later text is dropped; the report goes on regardless.
#include <cstddef>
#include <cstdint>

namespace zolt {

class CrashReportText {
public:
    static constexpr size_t buffer_size = 4096;

    // file -1 collects nothing.
    explicit CrashReportText(int file) : file_(file), failed_(file < 0) {}
    CrashReportText(const CrashReportText&) = delete;
    CrashReportText& operator=(const CrashReportText&) = delete;

    CrashReportText& append(const char* text);
    CrashReportText& append_bytes(const void* bytes, size_t size);
    CrashReportText& append_decimal(uint64_t value);
    // Zero-padded to at least digits.
    CrashReportText& append_hex(uint64_t value, uint32_t digits, bool upper_case = true);
    CrashReportText& append_line_break() { return append("\r\n"); }
    void flush();
    bool has_failed() const { return failed_; }

private:
    int file_;
    bool failed_;
    size_t length_ = 0;
    char buffer_[buffer_size];
};

}  // namespace zolt

#pragma once
// The system report's text as it is built: 16-bit characters, as the report
// files hold them, in a buffer that grows in steps of 16,384 characters and
// is never shortened.
#include <cstdint>
#include <string>
#include <string_view>

namespace zolt::launcher {

constexpr uint32_t report_buffer_step = 16384;

class ReportBuffer {
public:
    ReportBuffer() {
        text_.reserve(report_buffer_step);
        capacity_ = report_buffer_step;
    }

    void append(std::u16string_view text);
    // UTF-8, converted; a broken sequence becomes U+FFFD.
    void append_utf8(std::string_view text);

    const std::u16string& get_text() const { return text_; }
    uint32_t get_capacity() const { return capacity_; }

private:
    std::u16string text_;
    uint32_t capacity_ = 0;
};

// The report's 18 section headings, in order; each section's probe adds its
// lines after its heading.
void append_report_headings(ReportBuffer& report);

// Creates the file anew with the byte-order mark FF FE and the characters in
// little-endian order. 0 or the error code.
uint32_t write_utf16_file(const std::string& path, const std::u16string& text);

// After a failed start-up check: the report beside the configuration file
// (or in the current folder when the documents folder is unknown). Fails
// silently.
void write_startup_failure_report(const std::string& documents_folder);

}  // namespace zolt::launcher

#include "launcher/report_buffer.h"

#include <cerrno>
#include <vector>

#include "launcher/error_codes.h"
#include "launcher/installation_checks.h"
#include "launcher/launcher_strings.h"
#include "platform/system/files.h"

namespace zolt::launcher {
namespace {

constexpr const char* report_headings[] = {
    "Date and time:\r\n--------------\r\n",
    "\r\nOperating system information:\r\n-----------------------------\r\n",
    "\r\nMemory information:\r\n-------------------\r\n",
    "\r\nOpenGL:\r\n------------------\r\n",
    "\r\nCPU information:\r\n----------------\r\n",
    "\r\nLocale information:\r\n-------------------\r\n",
    "\r\nRendering devices:\r\n------------------\r\n",
    "\r\nSound devices:\r\n------------------\r\n",
    "\r\nMouse devices:\r\n--------------\r\n",
    "\r\nDesktop and monitor information:\r\n--------------------------------\r\n",
    "\r\nUser information:\r\n-----------------\r\n",
    "\r\nGame registry information:\r\n------------------------------\r\n",
    "\r\nGame exectuable version:\r\n----------------------------\r\n",
    "\r\nFree disk space information:\r\n----------------------------\r\n",
    "\r\nSystem module information:\r\n--------------------------\r\n",
    "\r\nGame data files:\r\n--------------------\r\n",
    "\r\nConfiguration file:\r\n-------------------\r\n",
    "\r\nError file:\r\n-------------------\r\n",
};

// Length of the UTF-8 sequence a lead byte starts, 0 for a byte that
// cannot lead one.
uint32_t get_sequence_length(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

}  // namespace

void ReportBuffer::append(std::u16string_view text) {
    const uint64_t length = text_.size();
    if (capacity_ - length < text.size()) {
        const uint64_t needed = length + text.size();
        capacity_ = static_cast<uint32_t>((needed + report_buffer_step - 1) / report_buffer_step * report_buffer_step);
        text_.reserve(capacity_);
    }
    text_.append(text);
}

void ReportBuffer::append_utf8(std::string_view text) {
    std::u16string converted;
    converted.reserve(text.size());
    size_t index = 0;
    while (index < text.size()) {
        const auto lead = static_cast<unsigned char>(text[index]);
        const uint32_t length = get_sequence_length(lead);
        uint32_t code_point = 0xFFFD;
        uint32_t used = 1;
        if (length == 1) {
            code_point = lead;
        } else if (length > 1 && index + length <= text.size()) {
            code_point = lead & (0x7F >> length);
            bool is_whole = true;
            for (uint32_t offset = 1; offset < length; ++offset) {
                const auto next = static_cast<unsigned char>(text[index + offset]);
                is_whole = is_whole && (next & 0xC0) == 0x80;
                code_point = (code_point << 6) | (next & 0x3F);
            }
            if (is_whole) {
                used = length;
            } else {
                code_point = 0xFFFD;
            }
        }
        if (code_point >= 0x10000) {
            code_point -= 0x10000;
            converted.push_back(static_cast<char16_t>(0xD800 + (code_point >> 10)));
            converted.push_back(static_cast<char16_t>(0xDC00 + (code_point & 0x3FF)));
        } else {
            converted.push_back(static_cast<char16_t>(code_point));
        }
        index += used;
    }
    append(converted);
}

void append_report_headings(ReportBuffer& report) {
    for (const char* heading : report_headings) {
        report.append_utf8(heading);
    }
}

uint32_t write_utf16_file(const std::string& path, const std::u16string& text) {
    std::vector<uint8_t> bytes = {0xFF, 0xFE};
    bytes.reserve(2 + text.size() * 2);
    for (const char16_t character : text) {
        bytes.push_back(static_cast<uint8_t>(character & 0xFF));
        bytes.push_back(static_cast<uint8_t>(character >> 8));
    }
    platform::FileHandle handle = platform::invalid_file_handle;
    uint32_t error =
        platform::open_file(path.c_str(), platform::FileAccess::write, platform::FileCreation::create_always, &handle);
    if (error != 0) {
        return get_error_code(error);
    }
    uint32_t transferred = 0;
    error = platform::write_file_at(handle, 0, bytes.data(), static_cast<uint32_t>(bytes.size()), &transferred);
    if (error == 0 && transferred != bytes.size()) {
        error = ENOSPC;
    }
    const uint32_t close_error = platform::close_file(handle);
    return get_error_code(error != 0 ? error : close_error);
}

void write_startup_failure_report(const std::string& documents_folder) {
    std::string path = get_launcher_string(LauncherString::startup_report_name);
    if (!documents_folder.empty()) {
        std::string folder = documents_folder;
        if (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
        folder += "/Harlune/Quorvane";
        create_folder_tree(folder);
        path = folder + "/" + path;
    }
    ReportBuffer report;
    append_report_headings(report);
    write_utf16_file(path, report.get_text());
}

}  // namespace zolt::launcher

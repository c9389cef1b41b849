#pragma once
// The error codes the launcher's messages show after their letters. They are
// the numbers support knows from the system the messages were written for,
// so the system's own error numbers are turned into them; numbers without an
// equivalent pass through unchanged.
#include <cstdint>
#include <string>

namespace zolt::launcher {

constexpr uint32_t file_not_found_code = 2;
constexpr uint32_t path_not_found_code = 3;
constexpr uint32_t access_denied_code = 5;
constexpr uint32_t disk_full_code = 112;
constexpr uint32_t already_exists_code = 183;
constexpr uint32_t file_name_too_long_code = 206;
// An empty configuration file, which the original reader could not map.
constexpr uint32_t empty_file_code = 1006;
constexpr uint32_t input_output_code = 1117;

// An error number of the file calls (errno or one of their refusals).
uint32_t get_error_code(uint32_t error_number);
// The system's text for a code; "Unknown error N" rather than no text, so
// that reporting a failure never fails itself.
std::string describe_error_code(uint32_t code);

}  // namespace zolt::launcher

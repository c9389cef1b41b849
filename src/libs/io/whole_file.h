#pragma once
// Whole files in one call, on the calling thread, through a request of their
// own; and the bounded formatting that builds their paths.
#include <cstdint>

namespace zolt::io {

// Reads the file and a NUL after it into buffer. A missing file leaves an
// empty string and answers false, or halts when report_missing is set; a file
// that is there and cannot be opened (not a regular file, not readable), a
// file of capacity bytes or more, or a failing read, halts. The description
// names the file in the messages ("configuration file").
bool read_whole_file(char* buffer, uint32_t capacity, const char* path, const char* description, bool report_missing);

// Creates or truncates the file and writes length bytes; true only when the
// open, the write and the close all succeeded. Never halts.
bool write_whole_file(const char* path, const void* data, uint32_t length);

// Replaces the file, which need not exist, through a temporary file of its
// own beside it (FileReplacement); true only when the new text is in place,
// else the old file is left as it was. Never halts.
bool replace_whole_file(const char* path, const void* data, uint32_t length);

// The whole file in a buffer from the general heap, which the caller releases
// with std::free; null when the file is missing or shrank while being read.
// length, when given, receives the byte count.
void* read_file_to_new_buffer(uint32_t* length, const char* path);

// printf into buffer, always terminated: text that does not fit is cut at
// capacity - 1 characters.
void format_to_buffer(char* buffer, uint32_t capacity, const char* format, ...) __attribute__((format(printf, 3, 4)));

}  // namespace zolt::io

#pragma once
// Paths as the engine writes them (UTF-8, folders separated by '\' or '/')
// turned into the file system's form. Any thread may call.
#include <cstdint>

namespace zolt::io {

// A path may take this many UTF-16 units, its terminating NUL included.
constexpr uint32_t max_path_units = 260;
// Bytes that hold any path within that limit, NUL included.
constexpr uint32_t native_path_capacity = max_path_units * 4;

// Writes the path with '/' for every '\' into native_path (at least
// native_path_capacity bytes); false when the path is not well-formed UTF-8
// or takes more than max_path_units UTF-16 units with its NUL.
bool make_native_path(const char* path, char* native_path);

}  // namespace zolt::io

#pragma once
// A file replaced whole. The new bytes go to a temporary file of this
// writer's own beside the target, reach the disk, and are then renamed over
// the target: a reader, a crash or a killed writer finds the old file or the
// new one whole, and writers running at once never share a temporary file.
// Paths are in the file system's form. One thread owns a replacement.
#include <cstdint>

#include "libs/io/file_path.h"
#include "platform/system/files.h"

namespace zolt::io {

class FileReplacement {
public:
    FileReplacement() = default;
    // Abandons a replacement that was begun and not committed.
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Creates the temporary file for target, named prefix + ".<random>.tmp";
    // the prefix keeps the name out of the folder's listings (a save's name
    // without its extension). 0 or the error.
    uint32_t begin(const char* target, const char* prefix);
    // True between a successful begin and commit or abandon.
    bool is_begun() const { return is_begun_; }
    // Open for writing between begin and commit; owned by the replacement.
    platform::FileHandle get_handle() const { return handle_; }
    const char* get_temporary_path() const { return temporary_path_; }

    // Flushes and closes the temporary file and renames it over the target.
    // 0 or the error of the first step that failed, the target then left as
    // it was and the temporary file removed.
    uint32_t commit();
    // Closes and removes the temporary file; the target stays as it was.
    void abandon();

private:
    bool is_begun_ = false;
    platform::FileHandle handle_ = platform::invalid_file_handle;
    char target_[native_path_capacity] = {};
    char temporary_path_[native_path_capacity + platform::unique_file_suffix_length] = {};
};

}  // namespace zolt::io

#pragma once
// The regular files of one folder, each with its size and the time of its
// last write. Any thread may call.
#include <cstdint>

namespace zolt::platform {

struct FolderEntry {
    const char* name;
    uint64_t size;
    // Seconds since 1970-01-01 00:00 UTC.
    int64_t write_time;
    // Seconds the local time zone was ahead of UTC at that time.
    int64_t local_offset;
};

// Calls visit for every regular file (links followed) until it answers
// false. 0, or the errno of the listing.
using FolderVisitor = bool (*)(const FolderEntry& entry, void* user);
uint32_t list_folder(const char* path, FolderVisitor visit, void* user);

// 0 when path names an existing folder or one was made there.
uint32_t make_folder(const char* path);

}  // namespace zolt::platform

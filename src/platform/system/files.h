#pragma once
// Plain file calls over POSIX descriptors. Reads and writes are positional, so
// threads sharing one descriptor never disturb each other's offsets. Every
// call answers 0 or the errno of the call that failed. Any thread may call.
#include <cstdint>

namespace zolt::platform {

using FileHandle = int;
constexpr FileHandle invalid_file_handle = -1;

enum class FileAccess : uint32_t { read, write, read_write };
enum class FileCreation : uint32_t { open_existing, create_new, create_always, open_always };

uint32_t open_file(const char* path, FileAccess access, FileCreation creation, FileHandle* handle);
uint32_t close_file(FileHandle handle);

// Moves all size bytes unless the file ends first (reads) or an error stops
// the transfer; transferred holds the bytes moved, 0 after an error.
uint32_t read_file_at(FileHandle handle, uint64_t offset, void* buffer, uint32_t size, uint32_t* transferred);
uint32_t write_file_at(FileHandle handle, uint64_t offset, const void* buffer, uint32_t size,
                       uint32_t* transferred);

// Extends or cuts the file to size bytes.
uint32_t set_file_size(FileHandle handle, uint64_t size);
uint32_t get_file_size(FileHandle handle, uint64_t* size);

// Replaces the target when it exists, in one step.
uint32_t rename_file(const char* from, const char* to);
uint32_t delete_file(const char* path);

// What the engine tells apart among error numbers.
extern const uint32_t pending_file_error;  // held by an operation queued but not yet run
bool is_missing_path_error(uint32_t error);  // the file, or a folder on its path, does not exist
bool is_disk_full_error(uint32_t error);

enum class FileCall : uint32_t { open, close, read, write, set_size, get_size, rename, remove, count };

// For tests of failure paths the kernel will not produce on demand: the next
// call of that kind fails with error_number without touching the file. For
// reads and writes, error_number 0 means the call moves no bytes instead.
void inject_file_fault(FileCall call, uint32_t error_number);

}  // namespace zolt::platform

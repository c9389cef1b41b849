#pragma once
// Plain file calls over POSIX descriptors. Reads and writes are positional, so
// threads sharing one descriptor never disturb each other's offsets. Every
// call answers 0, the errno of the call that failed, or one of the refusals
// below. Any thread may call.
#include <cstdint>

namespace zolt::platform {

using FileHandle = int;
constexpr FileHandle invalid_file_handle = -1;

enum class FileAccess : uint32_t { read, write, read_write };
enum class FileCreation : uint32_t { open_existing, create_new, create_always, open_always };

// Only regular files open: a FIFO, device, socket or folder is refused
// without waiting for a peer, with the refusal that names its kind.
uint32_t open_file(const char* path, FileAccess access, FileCreation creation, FileHandle* handle);
// Creates and opens for writing a file no other writer can be using, named
// prefix + "." + random letters + ".tmp"; path receives the name (at least
// unique_file_suffix_length bytes longer than the prefix).
uint32_t create_unique_file(const char* prefix, char* path, uint32_t capacity, FileHandle* handle);
constexpr uint32_t unique_file_suffix_length = 14;
uint32_t close_file(FileHandle handle);

// Moves all size bytes unless the file ends first (reads) or an error stops
// the transfer; transferred holds the bytes moved, 0 after an error.
uint32_t read_file_at(FileHandle handle, uint64_t offset, void* buffer, uint32_t size, uint32_t* transferred);
uint32_t write_file_at(FileHandle handle, uint64_t offset, const void* buffer, uint32_t size, uint32_t* transferred);

// Extends or cuts the file to size bytes.
uint32_t set_file_size(FileHandle handle, uint64_t size);
uint32_t get_file_size(FileHandle handle, uint64_t* size);

// Returns once the file's data has reached the disk.
uint32_t flush_file(FileHandle handle);
// The same for the folder entries of the folder holding path, so that a
// rename survives a crash.
uint32_t flush_folder_of(const char* path);

// Replaces the target when it exists, in one step.
uint32_t rename_file(const char* from, const char* to);
uint32_t delete_file(const char* path);

// What the engine tells apart among error numbers.
extern const uint32_t pending_file_error;    // held by an operation queued but not yet run
bool is_missing_path_error(uint32_t error);  // the file, or a folder on its path, does not exist
bool is_disk_full_error(uint32_t error);
// Refusals of open: the path names something other than a regular file
// (a folder gives EISDIR).
constexpr uint32_t fifo_file_error = 0x20000011;
constexpr uint32_t device_file_error = 0x20000012;
constexpr uint32_t socket_file_error = 0x20000013;
// The reason in words, for any answer of these calls but 0.
const char* describe_file_error(uint32_t error);

enum class FileCall : uint32_t { open, close, read, write, set_size, get_size, rename, remove, flush, count };

// For tests of failure paths the kernel will not produce on demand. A fault
// is armed per kind of call, strikes once and then disarms itself; until a
// test arms one, each call pays a single relaxed load.
enum class FileFaultKind : uint32_t {
    fail,            // the call fails with the errno in value, leaving the file untouched
    short_transfer,  // a read or write moves at most value bytes and reports no error
    stall,           // the call waits value milliseconds, then runs
};

struct FileFault {
    FileCall call = FileCall::open;
    FileFaultKind kind = FileFaultKind::fail;
    uint32_t value = 0;
    // Calls of that kind that run untouched first.
    uint32_t calls_before = 0;
};

// Replaces the fault armed for the same kind of call.
void arm_file_fault(const FileFault& fault);
void disarm_file_faults();
// The next call of that kind fails with error_number; for reads and writes,
// error_number 0 means the call moves no bytes instead.
void inject_file_fault(FileCall call, uint32_t error_number);

}  // namespace zolt::platform

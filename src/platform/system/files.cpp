#include "platform/system/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace zolt::platform {
namespace {
constexpr uint32_t call_kind_count = static_cast<uint32_t>(FileCall::count);

struct ArmedFault {
    bool is_armed = false;
    FileFault fault;
};

// Tests arm faults rarely and from one thread, while any thread may take
// them: the count keeps the unarmed path to one load, the lock the rest.
std::atomic<uint32_t> armed_fault_count{0};
std::mutex fault_lock;
ArmedFault armed_faults[call_kind_count];

// The fault that strikes this call of kind call, if any; a stall is served
// here, so the caller sees it as no fault.
std::optional<FileFault> take_fault(FileCall call) {
    if (armed_fault_count.load(std::memory_order_relaxed) == 0) {
        return std::nullopt;
    }
    std::optional<FileFault> taken;
    {
        const std::lock_guard<std::mutex> guard(fault_lock);
        ArmedFault& armed = armed_faults[static_cast<uint32_t>(call)];
        if (!armed.is_armed) {
            return std::nullopt;
        }
        if (armed.fault.calls_before > 0) {
            --armed.fault.calls_before;
            return std::nullopt;
        }
        armed.is_armed = false;
        armed_fault_count.fetch_sub(1, std::memory_order_relaxed);
        taken = armed.fault;
    }
    if (taken->kind == FileFaultKind::stall) {
        std::this_thread::sleep_for(std::chrono::milliseconds(taken->value));
        return std::nullopt;
    }
    return taken;
}

// The errno of a fault that fails the call, or 0.
uint32_t take_failure(FileCall call) {
    const std::optional<FileFault> fault = take_fault(call);
    return fault && fault->kind == FileFaultKind::fail ? fault->value : 0;
}

// The size a read or write may move under a short-transfer fault; a failing
// fault sets error instead.
uint32_t limit_transfer(FileCall call, uint32_t size, uint32_t* error) {
    *error = 0;
    const std::optional<FileFault> fault = take_fault(call);
    if (!fault) {
        return size;
    }
    if (fault->kind == FileFaultKind::short_transfer) {
        return std::min(size, fault->value);
    }
    *error = fault->value;
    return *error == 0 ? 0 : size;
}

uint32_t last_error() {
    return static_cast<uint32_t>(errno);
}

uint32_t get_file_kind_error(mode_t mode) {
    if (S_ISREG(mode)) {
        return 0;
    }
    if (S_ISDIR(mode)) {
        return EISDIR;
    }
    if (S_ISFIFO(mode)) {
        return fifo_file_error;
    }
    return S_ISSOCK(mode) ? socket_file_error : device_file_error;
}

int get_open_flags(FileAccess access, FileCreation creation) {
    int flags = O_CLOEXEC;
    switch (access) {
    case FileAccess::read:
        flags |= O_RDONLY;
        break;
    case FileAccess::write:
        flags |= O_WRONLY;
        break;
    case FileAccess::read_write:
        flags |= O_RDWR;
        break;
    }
    switch (creation) {
    case FileCreation::open_existing:
        break;
    case FileCreation::create_new:
        flags |= O_CREAT | O_EXCL;
        break;
    case FileCreation::create_always:
        flags |= O_CREAT | O_TRUNC;
        break;
    case FileCreation::open_always:
        flags |= O_CREAT;
        break;
    }
    return flags;
}
}  // namespace

uint32_t open_file(const char* path, FileAccess access, FileCreation creation, FileHandle* handle) {
    *handle = invalid_file_handle;
    if (const uint32_t failure = take_failure(FileCall::open); failure != 0) {
        return failure;
    }
    // Without O_NONBLOCK, opening a FIFO waits for a peer for ever; regular
    // files ignore the flag.
    int descriptor;
    do {
        descriptor = ::open(path, get_open_flags(access, creation) | O_NONBLOCK, 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        // A FIFO without a reader refuses a writer with ENXIO.
        struct stat status;
        const uint32_t error = last_error();
        return error == ENXIO && ::stat(path, &status) == 0 ? get_file_kind_error(status.st_mode) : error;
    }
    struct stat status;
    const uint32_t refusal = ::fstat(descriptor, &status) != 0 ? last_error() : get_file_kind_error(status.st_mode);
    if (refusal != 0) {
        ::close(descriptor);
        return refusal;
    }
    *handle = descriptor;
    return 0;
}

uint32_t create_unique_file(const char* prefix, char* path, uint32_t capacity, FileHandle* handle) {
    *handle = invalid_file_handle;
    if (const uint32_t failure = take_failure(FileCall::open); failure != 0) {
        return failure;
    }
    const size_t prefix_length = std::strlen(prefix);
    if (prefix_length + unique_file_suffix_length + 1 > capacity) {
        return ENAMETOOLONG;
    }
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::atomic<uint64_t> sequence{0};
    std::memcpy(path, prefix, prefix_length);
    for (uint32_t attempt = 0; attempt < 100; ++attempt) {
        // The process id keeps two processes apart, the sequence two threads,
        // the clock a process that reuses the id of one killed mid-write.
        uint64_t seed = static_cast<uint64_t>(::getpid()) * 0x9E3779B97F4A7C15ull ^
                        sequence.fetch_add(1) * 0xBF58476D1CE4E5B9ull ^
                        static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        char* cursor = path + prefix_length;
        *cursor++ = '.';
        for (uint32_t index = 0; index < 8; ++index) {
            seed ^= seed >> 31;
            seed *= 0x94D049BB133111EBull;
            *cursor++ = letters[(seed >> 40) % (sizeof letters - 1)];
        }
        std::memcpy(cursor, ".tmp", 5);
        int descriptor;
        do {
            descriptor = ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } while (descriptor < 0 && errno == EINTR);
        if (descriptor >= 0) {
            *handle = descriptor;
            return 0;
        }
        if (errno != EEXIST) {
            return last_error();
        }
    }
    return EEXIST;
}

uint32_t close_file(FileHandle handle) {
    // The kernel releases the descriptor even when close reports an error, so
    // an injected failure releases it too.
    const uint32_t failure = take_failure(FileCall::close);
    const int result = ::close(handle);
    if (failure != 0) {
        return failure;
    }
    return result == 0 || errno == EINTR ? 0 : last_error();
}

uint32_t read_file_at(FileHandle handle, uint64_t offset, void* buffer, uint32_t size, uint32_t* transferred) {
    *transferred = 0;
    uint32_t failure;
    size = limit_transfer(FileCall::read, size, &failure);
    if (failure != 0) {
        return failure;
    }
    auto* bytes = static_cast<uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        const ssize_t count = ::pread(handle, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return last_error();
        }
        if (count == 0) {
            break;
        }
        done += static_cast<uint32_t>(count);
    }
    *transferred = done;
    return 0;
}

uint32_t write_file_at(FileHandle handle, uint64_t offset, const void* buffer, uint32_t size, uint32_t* transferred) {
    *transferred = 0;
    uint32_t failure;
    size = limit_transfer(FileCall::write, size, &failure);
    if (failure != 0) {
        return failure;
    }
    const auto* bytes = static_cast<const uint8_t*>(buffer);
    uint32_t done = 0;
    while (done < size) {
        const ssize_t count = ::pwrite(handle, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return last_error();
        }
        if (count == 0) {
            break;
        }
        done += static_cast<uint32_t>(count);
    }
    *transferred = done;
    return 0;
}

uint32_t set_file_size(FileHandle handle, uint64_t size) {
    if (const uint32_t failure = take_failure(FileCall::set_size); failure != 0) {
        return failure;
    }
    int result;
    do {
        result = ::ftruncate(handle, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : last_error();
}

uint32_t get_file_size(FileHandle handle, uint64_t* size) {
    *size = 0;
    if (const uint32_t failure = take_failure(FileCall::get_size); failure != 0) {
        return failure;
    }
    struct stat status;
    if (::fstat(handle, &status) != 0) {
        return last_error();
    }
    *size = static_cast<uint64_t>(status.st_size);
    return 0;
}

uint32_t flush_file(FileHandle handle) {
    if (const uint32_t failure = take_failure(FileCall::flush); failure != 0) {
        return failure;
    }
    int result;
    do {
        result = ::fsync(handle);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : last_error();
}

uint32_t flush_folder_of(const char* path) {
    const char* const slash = std::strrchr(path, '/');
    std::string folder = slash == nullptr ? std::string(".") : std::string(path, slash == path ? 1 : slash - path);
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return last_error();
    }
    int result;
    do {
        result = ::fsync(descriptor);
    } while (result != 0 && errno == EINTR);
    const uint32_t error = result == 0 ? 0 : last_error();
    ::close(descriptor);
    return error;
}

uint32_t rename_file(const char* from, const char* to) {
    if (const uint32_t failure = take_failure(FileCall::rename); failure != 0) {
        return failure;
    }
    return std::rename(from, to) == 0 ? 0 : last_error();
}

uint32_t delete_file(const char* path) {
    if (const uint32_t failure = take_failure(FileCall::remove); failure != 0) {
        return failure;
    }
    return ::unlink(path) == 0 ? 0 : last_error();
}

const uint32_t pending_file_error = EINPROGRESS;

bool is_missing_path_error(uint32_t error) {
    return error == ENOENT || error == ENOTDIR;
}

bool is_disk_full_error(uint32_t error) {
    return error == ENOSPC || error == EDQUOT;
}

const char* describe_file_error(uint32_t error) {
    switch (error) {
    case fifo_file_error:
        return "a FIFO, not a regular file";
    case device_file_error:
        return "a device, not a regular file";
    case socket_file_error:
        return "a socket, not a regular file";
    case EISDIR:
        return "a folder, not a regular file";
    default:
        return std::strerror(static_cast<int>(error));
    }
}

void arm_file_fault(const FileFault& fault) {
    const std::lock_guard<std::mutex> guard(fault_lock);
    ArmedFault& armed = armed_faults[static_cast<uint32_t>(fault.call)];
    if (!armed.is_armed) {
        armed_fault_count.fetch_add(1, std::memory_order_relaxed);
    }
    armed.is_armed = true;
    armed.fault = fault;
}

void disarm_file_faults() {
    const std::lock_guard<std::mutex> guard(fault_lock);
    for (ArmedFault& armed : armed_faults) {
        armed.is_armed = false;
    }
    armed_fault_count.store(0, std::memory_order_relaxed);
}

void inject_file_fault(FileCall call, uint32_t error_number) {
    FileFault fault;
    fault.call = call;
    fault.value = error_number;
    arm_file_fault(fault);
}

}  // namespace zolt::platform

#include "platform/system/files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zolt::platform {
namespace {
constexpr int64_t no_fault = -1;

std::atomic<int64_t> injected_faults[static_cast<uint32_t>(FileCall::count)] = {
    no_fault, no_fault, no_fault, no_fault, no_fault, no_fault, no_fault, no_fault};

// The injected error of call, once; no_fault when none is waiting.
int64_t take_fault(FileCall call) {
    std::atomic<int64_t>& slot = injected_faults[static_cast<uint32_t>(call)];
    if (slot.load(std::memory_order_relaxed) == no_fault) {
        return no_fault;
    }
    return slot.exchange(no_fault);
}

uint32_t last_error() {
    return static_cast<uint32_t>(errno);
}

int get_open_flags(FileAccess access, FileCreation creation) {
    int flags = O_CLOEXEC;
    switch (access) {
    case FileAccess::read: flags |= O_RDONLY; break;
    case FileAccess::write: flags |= O_WRONLY; break;
    case FileAccess::read_write: flags |= O_RDWR; break;
    }
    switch (creation) {
    case FileCreation::open_existing: break;
    case FileCreation::create_new: flags |= O_CREAT | O_EXCL; break;
    case FileCreation::create_always: flags |= O_CREAT | O_TRUNC; break;
    case FileCreation::open_always: flags |= O_CREAT; break;
    }
    return flags;
}
}  // namespace

uint32_t open_file(const char* path, FileAccess access, FileCreation creation, FileHandle* handle) {
    *handle = invalid_file_handle;
    if (const int64_t fault = take_fault(FileCall::open); fault != no_fault) {
        return static_cast<uint32_t>(fault);
    }
    int descriptor;
    do {
        descriptor = ::open(path, get_open_flags(access, creation), 0666);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        return last_error();
    }
    *handle = descriptor;
    return 0;
}

uint32_t close_file(FileHandle handle) {
    // The kernel releases the descriptor even when close reports an error, so
    // an injected failure releases it too.
    const int64_t fault = take_fault(FileCall::close);
    const int result = ::close(handle);
    if (fault != no_fault) {
        return static_cast<uint32_t>(fault);
    }
    return result == 0 || errno == EINTR ? 0 : last_error();
}

uint32_t read_file_at(FileHandle handle, uint64_t offset, void* buffer, uint32_t size, uint32_t* transferred) {
    *transferred = 0;
    if (const int64_t fault = take_fault(FileCall::read); fault != no_fault) {
        return static_cast<uint32_t>(fault);
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

uint32_t write_file_at(FileHandle handle, uint64_t offset, const void* buffer, uint32_t size,
                       uint32_t* transferred) {
    *transferred = 0;
    if (const int64_t fault = take_fault(FileCall::write); fault != no_fault) {
        return static_cast<uint32_t>(fault);
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
    if (const int64_t fault = take_fault(FileCall::set_size); fault != no_fault) {
        return static_cast<uint32_t>(fault);
    }
    int result;
    do {
        result = ::ftruncate(handle, static_cast<off_t>(size));
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : last_error();
}

uint32_t get_file_size(FileHandle handle, uint64_t* size) {
    *size = 0;
    if (const int64_t fault = take_fault(FileCall::get_size); fault != no_fault) {
        return static_cast<uint32_t>(fault);
    }
    struct stat status;
    if (::fstat(handle, &status) != 0) {
        return last_error();
    }
    *size = static_cast<uint64_t>(status.st_size);
    return 0;
}

uint32_t rename_file(const char* from, const char* to) {
    if (const int64_t fault = take_fault(FileCall::rename); fault != no_fault) {
        return static_cast<uint32_t>(fault);
    }
    return std::rename(from, to) == 0 ? 0 : last_error();
}

uint32_t delete_file(const char* path) {
    if (const int64_t fault = take_fault(FileCall::remove); fault != no_fault) {
        return static_cast<uint32_t>(fault);
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

void inject_file_fault(FileCall call, uint32_t error_number) {
    injected_faults[static_cast<uint32_t>(call)].store(static_cast<int64_t>(error_number));
}

}  // namespace zolt::platform

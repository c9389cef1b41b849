#include "zolt/storage/remote_storage.h"

#include <cstring>

#include "libs/io/file_path.h"
#include "libs/io/whole_file.h"
#include "platform/system/files.h"
#include "platform/system/folder_listing.h"

namespace zolt::storage {

namespace {
FolderRemoteStorage folder_storage;
RemoteStorage* current_storage = &folder_storage;
}  // namespace

RemoteStorage* get_remote_storage() {
    return current_storage;
}

void set_remote_storage(RemoteStorage* storage) {
    current_storage = storage;
}

FolderRemoteStorage& get_folder_remote_storage() {
    return folder_storage;
}

void FolderRemoteStorage::set_folder(const char* folder) {
    io::format_to_buffer(folder_, sizeof folder_, "%s", folder);
}

bool FolderRemoteStorage::make_path(const char* name, char* path) const {
    char joined[sizeof folder_ + 64];
    io::format_to_buffer(joined, sizeof joined, "%s/%s", folder_, name);
    return folder_[0] != 0 && io::make_native_path(joined, path);
}

bool FolderRemoteStorage::write_file(const char* name, const void* data, uint32_t size) {
    char path[io::native_path_capacity];
    char folder[io::native_path_capacity];
    if (!make_path(name, path) || !io::make_native_path(folder_, folder) || platform::make_folder(folder) != 0) {
        return false;
    }
    return io::replace_whole_file(path, data, size);
}

int64_t FolderRemoteStorage::get_file_size(const char* name) {
    char path[io::native_path_capacity];
    platform::FileHandle handle = platform::invalid_file_handle;
    if (!make_path(name, path) ||
        platform::open_file(path, platform::FileAccess::read, platform::FileCreation::open_existing, &handle) != 0) {
        return -1;
    }
    uint64_t size = 0;
    const uint32_t error = platform::get_file_size(handle, &size);
    platform::close_file(handle);
    return error == 0 ? static_cast<int64_t>(size) : -1;
}

int64_t FolderRemoteStorage::read_file(const char* name, void* buffer, uint32_t size) {
    char path[io::native_path_capacity];
    platform::FileHandle handle = platform::invalid_file_handle;
    if (!make_path(name, path) ||
        platform::open_file(path, platform::FileAccess::read, platform::FileCreation::open_existing, &handle) != 0) {
        return -1;
    }
    uint32_t transferred = 0;
    const uint32_t error = platform::read_file_at(handle, 0, buffer, size, &transferred);
    platform::close_file(handle);
    return error == 0 ? int64_t{transferred} : -1;
}

bool FolderRemoteStorage::file_exists(const char* name) {
    char path[io::native_path_capacity];
    platform::FileHandle handle = platform::invalid_file_handle;
    if (!make_path(name, path)) {
        return false;
    }
    const uint32_t error =
        platform::open_file(path, platform::FileAccess::read, platform::FileCreation::open_existing, &handle);
    if (error == 0) {
        platform::close_file(handle);
        return true;
    }
    // Something is there that cannot be opened: the size and read steps tell.
    return !platform::is_missing_path_error(error);
}

}  // namespace zolt::storage

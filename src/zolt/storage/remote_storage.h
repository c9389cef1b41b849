#pragma once
// The online service's per-player file store, which keeps the player
// profile. This platform keeps its files in a folder; tests may put another
// store in its place, or none (no online service). Main thread only.
#include <cstdint>

namespace zolt::storage {

class RemoteStorage {
public:
    virtual ~RemoteStorage() = default;
    // Replaces the file whole; false when it could not be written.
    virtual bool write_file(const char* name, const void* data, uint32_t size) = 0;
    // -1 when the file cannot be measured.
    virtual int64_t get_file_size(const char* name) = 0;
    // The bytes read, at most size; -1 on an error.
    virtual int64_t read_file(const char* name, void* buffer, uint32_t size) = 0;
    virtual bool file_exists(const char* name) = 0;
};

// Files in one folder (UTF-8 path), made when the first file is written.
class FolderRemoteStorage final : public RemoteStorage {
public:
    void set_folder(const char* folder);

    bool write_file(const char* name, const void* data, uint32_t size) override;
    int64_t get_file_size(const char* name) override;
    int64_t read_file(const char* name, void* buffer, uint32_t size) override;
    bool file_exists(const char* name) override;

private:
    bool make_path(const char* name, char* path) const;

    char folder_[1040] = {};
};

// Null when there is no online service.
RemoteStorage* get_remote_storage();
void set_remote_storage(RemoteStorage* storage);
// The store of this platform.
FolderRemoteStorage& get_folder_remote_storage();

}  // namespace zolt::storage

#include "platform/system/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <cerrno>
#include <ctime>

namespace zolt::platform {

uint32_t list_folder(const char* path, FolderVisitor visit, void* user) {
    DIR* const folder = opendir(path);
    if (folder == nullptr) {
        return static_cast<uint32_t>(errno);
    }
    const int descriptor = dirfd(folder);
    errno = 0;
    while (const dirent* const found = readdir(folder)) {
        struct stat status {};
        if (fstatat(descriptor, found->d_name, &status, 0) != 0 || !S_ISREG(status.st_mode)) {
            errno = 0;
            continue;
        }
        const time_t written = status.st_mtime;
        tm local{};
        localtime_r(&written, &local);
        const FolderEntry entry{found->d_name, static_cast<uint64_t>(status.st_size), written, local.tm_gmtoff};
        if (!visit(entry, user)) {
            break;
        }
        errno = 0;
    }
    const uint32_t error = static_cast<uint32_t>(errno);
    closedir(folder);
    return error;
}

uint32_t make_folder(const char* path) {
    if (mkdir(path, 0777) == 0) {
        return 0;
    }
    struct stat status {};
    if (errno == EEXIST && stat(path, &status) == 0 && S_ISDIR(status.st_mode)) {
        return 0;
    }
    return static_cast<uint32_t>(errno);
}

}  // namespace zolt::platform

#include "platform/launcher/launcher_system.h"

#include <dlfcn.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/statvfs.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

extern char** environ;

namespace zolt::platform {

std::string get_launcher_folder() {
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0) {
        return {};
    }
    std::string path(buffer.data(), static_cast<size_t>(length));
    const size_t separator = path.find_last_of('/');
    if (separator == std::string::npos || separator == 0) {
        return {};
    }
    return path.substr(0, separator);
}

bool can_load_library(const char* name) {
    void* library = dlopen(name, RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr) {
        return false;
    }
    dlclose(library);
    return true;
}

uint32_t query_free_space(const std::string& path, uint64_t* free_bytes) {
    struct statvfs status = {};
    if (statvfs(path.c_str(), &status) != 0) {
        *free_bytes = 0;
        return static_cast<uint32_t>(errno);
    }
    *free_bytes = static_cast<uint64_t>(status.f_bavail) * status.f_frsize;
    return 0;
}

bool acquire_single_instance(const std::string& name) {
    const int socket_handle = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket_handle < 0) {
        return true;
    }
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    // A leading NUL puts the name in the abstract namespace: no file to
    // clean up, and the kernel frees it when the process ends.
    const size_t length = std::min(name.size(), sizeof address.sun_path - 1);
    std::memcpy(address.sun_path + 1, name.data(), length);
    const auto address_size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
    if (bind(socket_handle, reinterpret_cast<const sockaddr*>(&address), address_size) != 0) {
        const bool is_held = errno == EADDRINUSE;
        close(socket_handle);
        return !is_held;
    }
    // The socket stays open, and so held, for the rest of the process.
    return true;
}

uint32_t start_process(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder,
                       pid_t* process) {
    std::vector<char*> argument_pointers;
    argument_pointers.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) {
        argument_pointers.push_back(const_cast<char*>(argument.c_str()));
    }
    argument_pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    const int error = posix_spawn(process, program.c_str(), &actions, nullptr, argument_pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return static_cast<uint32_t>(error);
}

bool wait_for_process(pid_t process, uint32_t* exit_code, bool* ended_by_signal) {
    int status = 0;
    pid_t waited = -1;
    do {
        waited = waitpid(process, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited != process) {
        return false;
    }
    *ended_by_signal = WIFSIGNALED(status);
    *exit_code =
        *ended_by_signal ? 128 + static_cast<uint32_t>(WTERMSIG(status)) : static_cast<uint32_t>(WEXITSTATUS(status));
    return true;
}

}  // namespace zolt::platform

#pragma once
// The start-up checks of the installation: the libraries the game program
// loads, the user folders (created when missing), their length and the free
// disk space. Each failure is shown and answers the launcher's exit code.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "launcher/installation_flags.h"
#include "launcher/launcher_exit_code.h"
#include "launcher/launcher_ui.h"

namespace zolt::launcher {

struct RequiredLibrary {
    const char* name;
    uint32_t InstallationFlags::*word;
    uint32_t flag;
};

// The libraries the game program loads, in checking order.
const std::vector<RequiredLibrary>& get_required_libraries();

// can_load answers whether a library of that name loads.
void check_required_libraries(InstallationFlags& flags, const std::vector<RequiredLibrary>& libraries,
                              const std::function<bool(const char*)>& can_load);

// The first word that is not 0, shown with its letter; its exit code.
LauncherExitCode report_installation_problem(LauncherUi& ui, const InstallationFlags& flags);

// A folder path may hold this many characters less one.
constexpr uint32_t folder_path_limit = 260;
// Less free space than this on a user folder's device stops the launcher.
constexpr uint64_t required_free_bytes = 52428800;

// 0 when the folder exists or was made with its missing parents, else the
// error code (183 when a file holds its name).
uint32_t create_folder_tree(const std::string& path);
LauncherExitCode check_folder(LauncherUi& ui, const std::string& path);

// Answers 0 and the bytes free to the user on the path's device, or an error
// code.
using FreeSpaceQuery = std::function<uint32_t(const std::string& path, uint64_t* free_bytes)>;
LauncherExitCode check_free_space(LauncherUi& ui, const std::string& path, const FreeSpaceQuery& query_free_space);

}  // namespace zolt::launcher

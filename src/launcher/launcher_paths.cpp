#include "launcher/launcher_paths.h"

#include <sys/stat.h>

namespace zolt::launcher {

bool build_launcher_paths(LauncherPaths& paths, InstallationFlags& flags, const std::string& launcher_folder,
                          const std::optional<std::string>& documents_folder) {
    paths.launcher_folder = launcher_folder;
    paths.launcher_folder_with_separator = launcher_folder;
    if (paths.launcher_folder_with_separator.empty() || paths.launcher_folder_with_separator.back() != '/') {
        paths.launcher_folder_with_separator += '/';
    }
    paths.game_program = paths.launcher_folder_with_separator + game_program_name;
    struct stat status = {};
    if (stat(paths.game_program.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
        flags.installation |= installation_flag::game_program_missing;
    }
    if (!documents_folder || documents_folder->empty()) {
        flags.installation |= installation_flag::documents_unknown;
    } else {
        paths.documents_folder = *documents_folder;
        paths.user_folder = paths.documents_folder + "/Harlune/Quorvane";
        paths.save_folder = paths.user_folder + "/Saves";
        paths.config_file = paths.user_folder + "/Config.txt";
        paths.error_file = paths.user_folder + "/Debug/error.txt";
    }
    return flags.installation == 0;
}

}  // namespace zolt::launcher

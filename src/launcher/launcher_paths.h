#pragma once
// Every path the launcher and the game program share, built once at start.
#include <optional>
#include <string>

#include "launcher/installation_flags.h"

namespace zolt::launcher {

// The game program beside the launcher.
constexpr const char game_program_name[] = "zolt";

struct LauncherPaths {
    std::string language_name;
    std::string launcher_folder;
    std::string launcher_folder_with_separator;
    std::string game_program;
    // Empty when the documents folder is unknown.
    std::string documents_folder;
    std::string user_folder;  // documents + "/Harlune/Quorvane"
    std::string save_folder;  // user + "/Saves"
    std::string config_file;  // user + "/Config.txt"
    std::string error_file;   // user + "/Debug/error.txt", written by the game's crash reports
};

// Sets game_program_missing when the game program is not a file, and
// documents_unknown (leaving the user paths empty) without documents; true
// when the installation word is still 0.
bool build_launcher_paths(LauncherPaths& paths, InstallationFlags& flags, const std::string& launcher_folder,
                          const std::optional<std::string>& documents_folder);

}  // namespace zolt::launcher

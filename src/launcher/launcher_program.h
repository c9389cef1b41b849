#pragma once
// The launcher from its command line to its exit code: language, paths, one
// instance at a time, the installation checks, the configuration, and then
// the options dialog or the game program.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "launcher/config_record.h"
#include "launcher/game_process.h"
#include "launcher/installation_checks.h"
#include "launcher/launcher_ui.h"

namespace zolt::launcher {

// Everything the launcher takes from the machine, so that tests can give a
// fake installation.
struct LauncherEnvironment {
    LauncherUi* ui = nullptr;
    GammaControl* gamma = nullptr;
    ProcessControl* processes = nullptr;
    std::string launcher_folder;
    std::optional<std::string> documents_folder;
    std::string settings_path;  // the game's machine-wide settings ("Language=")
    std::string locale;
    std::vector<RequiredLibrary> required_libraries;
    std::function<bool(const char*)> can_load_library;
    FreeSpaceQuery query_free_space;
    // False when another launcher holds the instance; the hold lasts until
    // the process ends.
    std::function<bool()> acquire_single_instance;
    std::function<bool(uint32_t, uint32_t, bool, uint32_t)> is_video_mode_usable;
    std::vector<std::string> sound_device_ids;
};

LauncherExitCode run_launcher(LauncherEnvironment& environment, int argument_count, const char* const* arguments);

// For a configuration problem found at start-up; true when the player may go on.
bool resolve_config_problem(LauncherUi& ui, LauncherConfig& config);

}  // namespace zolt::launcher

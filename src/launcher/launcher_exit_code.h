#pragma once
// The launcher's own process exit codes.
#include <cstdint>

namespace zolt::launcher {

enum class LauncherExitCode : uint32_t {
    normal_end = 0,
    system_failure = 1,  // out of memory or a broken system
    installation_problem = 2,
    directx_problem = 3,
    opengl_problem = 4,
    game_failed = 6,     // did not start, or ended with a failure code
    folder_problem = 7,  // a user folder cannot be created, or too little free space
    folder_path_too_long = 9,
    already_running = 10,
};

constexpr int get_launcher_exit_number(LauncherExitCode code) {
    return static_cast<int>(code);
}

}  // namespace zolt::launcher

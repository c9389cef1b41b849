#pragma once
// Starting the game program and reading how it ended: it runs as a separate
// process from the launcher's folder with the configuration file's path and
// the pass-through arguments; afterwards the configuration is reloaded, the
// display's gamma ramp put back, and the exit code turned into a message, a
// restart or a normal end.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/installation_checks.h"
#include "launcher/launcher_config.h"
#include "launcher/launcher_paths.h"
#include "launcher/launcher_strings.h"
#include "launcher/launcher_ui.h"

namespace zolt::launcher {

struct GammaRamp {
    std::array<uint16_t, 256> red{};
    std::array<uint16_t, 256> green{};
    std::array<uint16_t, 256> blue{};
};

// Entry i of each table is i x 257.
GammaRamp make_identity_gamma_ramp();

// The primary display's gamma ramp.
class GammaControl {
public:
    virtual ~GammaControl() = default;
    virtual bool read_ramp(GammaRamp& ramp) = 0;
    virtual bool write_ramp(const GammaRamp& ramp) = 0;
};

// Starting and waiting for a process.
class ProcessControl {
public:
    virtual ~ProcessControl() = default;
    // 0, or the error code of the launcher's messages.
    virtual uint32_t start(const std::string& program, const std::vector<std::string>& arguments,
                           const std::string& folder) = 0;
    // False when the wait itself failed; a process ended by a signal ends
    // with the game program's crash code.
    virtual bool wait(uint32_t* exit_code) = 0;
};

// The arguments with one blank between two, for the command line as logged.
std::string join_arguments(const std::vector<std::string>& arguments);
// "\"<game>\" config \"<Config.txt>\" <arguments>"; the process itself gets
// them as separate arguments, so one holding blanks stays whole.
std::string build_game_command_line(const LauncherPaths& paths, const std::vector<std::string>& arguments);
std::vector<std::string> build_game_arguments(const LauncherPaths& paths, const std::vector<std::string>& arguments);

// The message a game exit code shows: its own, or the general one.
LauncherString get_exit_code_message(uint32_t exit_code);

enum class GameEnd : uint32_t { normal_end, restart, message_shown };

class GameRunner {
public:
    GameRunner(LauncherUi& ui, GammaControl& gamma, ProcessControl& processes, LauncherConfig& config,
               const LauncherPaths& paths, const std::vector<std::string>& arguments);

    // False after the failure was shown.
    bool start_game();
    // Ends the launcher with exit code 1 when the wait fails.
    GameEnd wait_for_game();
    // Starts first when asked, waits, starts again while the game asks.
    LauncherExitCode run_game(bool start_first);

private:
    void restore_gamma_ramp();

    LauncherUi& ui_;
    GammaControl& gamma_;
    ProcessControl& processes_;
    LauncherConfig& config_;
    const LauncherPaths& paths_;
    const std::vector<std::string>& arguments_;
    GammaRamp saved_ramp_;
    bool is_ramp_saved_ = false;
};

}  // namespace zolt::launcher

#pragma once
// The launcher's command line: its own switches, in any letter case, act in
// order; every other argument goes to the game program, and one starting with
// "+" (joining a network game) also makes the start silent.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace zolt::launcher {

namespace launch_mode {
constexpr uint32_t silent = 0x01;        // start the game without the main window
constexpr uint32_t options_only = 0x02;  // show the options dialog and end
}  // namespace launch_mode

struct LauncherCommandLine {
    uint32_t launch_mode = 0;
    std::vector<std::string> pass_through_arguments;
};

// reset_gamma runs at once for "-reset-gamma".
void parse_argument(LauncherCommandLine& command_line, const char* argument, const std::function<void()>& reset_gamma);
// The arguments after the program name.
LauncherCommandLine parse_command_line(int argument_count, const char* const* arguments,
                                       const std::function<void()>& reset_gamma);

}  // namespace zolt::launcher

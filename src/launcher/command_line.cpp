#include "launcher/command_line.h"

#include <strings.h>

namespace zolt::launcher {

void parse_argument(LauncherCommandLine& command_line, const char* argument, const std::function<void()>& reset_gamma) {
    if (strcasecmp(argument, "-options") == 0) {
        command_line.launch_mode |= launch_mode::options_only;
    } else if (strcasecmp(argument, "-silent") == 0) {
        command_line.launch_mode |= launch_mode::silent;
    } else if (strcasecmp(argument, "-visible") == 0) {
        command_line.launch_mode &= ~launch_mode::silent;
    } else if (strcasecmp(argument, "-reset-gamma") == 0) {
        if (reset_gamma) {
            reset_gamma();
        }
    } else {
        command_line.pass_through_arguments.emplace_back(argument);
        if (argument[0] == '+') {
            command_line.launch_mode |= launch_mode::silent;
        }
    }
}

LauncherCommandLine parse_command_line(int argument_count, const char* const* arguments,
                                       const std::function<void()>& reset_gamma) {
    LauncherCommandLine command_line;
    for (int index = 1; index < argument_count; ++index) {
        if (arguments[index] != nullptr) {
            parse_argument(command_line, arguments[index], reset_gamma);
        }
    }
    return command_line;
}

}  // namespace zolt::launcher

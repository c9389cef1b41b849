#include "launcher/game_process.h"

#include <cstdlib>

#include "launcher/error_codes.h"
#include "launcher/launcher_messages.h"
#include "libs/system/exit_code.h"

namespace zolt::launcher {
namespace {

struct ExitCodeMessage {
    uint32_t exit_code;
    LauncherString message;
};

constexpr ExitCodeMessage exit_code_messages[] = {
    {get_exit_code_number(ExitCode::pixel_format), LauncherString::display_mode_failed},
    {get_exit_code_number(ExitCode::desktop_depth), LauncherString::desktop_depth_too_low},
    {get_exit_code_number(ExitCode::opengl_initialization), LauncherString::rendering_initialization_failed},
    {get_exit_code_number(ExitCode::vertex_buffer_memory), LauncherString::rendering_error},
    {get_exit_code_number(ExitCode::sound_initialization), LauncherString::sound_initialization_failed},
    {get_exit_code_number(ExitCode::sound_subsystem), LauncherString::sound_error},
    {get_exit_code_number(ExitCode::input), LauncherString::input_initialization_failed},
    {get_exit_code_number(ExitCode::thread_or_window_class), LauncherString::out_of_resources},
    {get_exit_code_number(ExitCode::file_input_output), LauncherString::file_error},
    {get_exit_code_number(ExitCode::save_folder), LauncherString::save_folder_problem},
    {get_exit_code_number(ExitCode::graphics_below_minimum), LauncherString::graphics_below_minimum},
    {get_exit_code_number(ExitCode::system_too_old), LauncherString::system_too_old},
    {get_exit_code_number(ExitCode::physx), LauncherString::physx_failed},
};

}  // namespace

GammaRamp make_identity_gamma_ramp() {
    GammaRamp ramp;
    for (uint32_t index = 0; index < 256; ++index) {
        const auto level = static_cast<uint16_t>(index * 257);
        ramp.red[index] = level;
        ramp.green[index] = level;
        ramp.blue[index] = level;
    }
    return ramp;
}

std::string join_arguments(const std::vector<std::string>& arguments) {
    std::string joined;
    for (const std::string& argument : arguments) {
        if (!joined.empty() || &argument != &arguments.front()) {
            joined += ' ';
        }
        joined += argument;
    }
    return joined;
}

std::string build_game_command_line(const LauncherPaths& paths, const std::vector<std::string>& arguments) {
    return "\"" + paths.game_program + "\" config \"" + paths.config_file + "\" " + join_arguments(arguments);
}

std::vector<std::string> build_game_arguments(const LauncherPaths& paths, const std::vector<std::string>& arguments) {
    std::vector<std::string> game_arguments = {"config", paths.config_file};
    game_arguments.insert(game_arguments.end(), arguments.begin(), arguments.end());
    return game_arguments;
}

LauncherString get_exit_code_message(uint32_t exit_code) {
    for (const ExitCodeMessage& row : exit_code_messages) {
        if (row.exit_code == exit_code) {
            return row.message;
        }
    }
    return LauncherString::game_failed;
}

GameRunner::GameRunner(LauncherUi& ui, GammaControl& gamma, ProcessControl& processes, LauncherConfig& config,
                       const LauncherPaths& paths, const std::vector<std::string>& arguments)
    : ui_(ui), gamma_(gamma), processes_(processes), config_(config), paths_(paths), arguments_(arguments) {}

bool GameRunner::start_game() {
    is_ramp_saved_ = gamma_.read_ramp(saved_ramp_);
    std::string folder = paths_.launcher_folder;
    if (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    const uint32_t error = processes_.start(paths_.game_program, build_game_arguments(paths_, arguments_), folder);
    if (error != 0) {
        show_message(ui_, LauncherString::game_start_failed, LauncherString::running_problem_title, MessageStyle::error,
                     {error, describe_error_code(error)});
        return false;
    }
    return true;
}

void GameRunner::restore_gamma_ramp() {
    if (is_ramp_saved_) {
        is_ramp_saved_ = false;
        gamma_.write_ramp(saved_ramp_);
    }
}

GameEnd GameRunner::wait_for_game() {
    uint32_t exit_code = 0;
    if (!processes_.wait(&exit_code)) {
        // Nothing sensible is left to do, but the display is not left dark.
        restore_gamma_ramp();
        std::exit(get_launcher_exit_number(LauncherExitCode::system_failure));
    }
    config_.reload_config();
    restore_gamma_ramp();
    if (exit_code == get_exit_code_number(ExitCode::normal_end)) {
        return GameEnd::normal_end;
    }
    if (exit_code == get_exit_code_number(ExitCode::restart)) {
        return GameEnd::restart;
    }
    const LauncherString message = get_exit_code_message(exit_code);
    show_message(ui_, message, LauncherString::running_problem_title, MessageStyle::error, {exit_code});
    return GameEnd::message_shown;
}

LauncherExitCode GameRunner::run_game(bool start_first) {
    for (;;) {
        if (start_first && !start_game()) {
            return LauncherExitCode::game_failed;
        }
        switch (wait_for_game()) {
        case GameEnd::normal_end:
            return LauncherExitCode::normal_end;
        case GameEnd::restart:
            start_first = true;
            break;
        case GameEnd::message_shown:
            return LauncherExitCode::game_failed;
        }
    }
}

}  // namespace zolt::launcher

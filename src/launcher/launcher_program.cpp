#include "launcher/launcher_program.h"

#include <utility>

#include "launcher/command_line.h"
#include "launcher/language.h"
#include "launcher/launcher_config.h"
#include "launcher/launcher_messages.h"
#include "launcher/launcher_paths.h"
#include "launcher/report_buffer.h"

namespace zolt::launcher {
namespace {

LauncherExitCode end_after_report(const LauncherPaths& paths, LauncherExitCode code) {
    write_startup_failure_report(paths.documents_folder);
    return code;
}

}  // namespace

bool resolve_config_problem(LauncherUi& ui, LauncherConfig& config) {
    const uint32_t status = config.get_record().status;
    bool is_confirmed = false;
    if ((status & config_status::no_usable_file) != 0) {
        is_confirmed = ui.run_first_run_dialog(config);
    } else {
        if ((status & config_status::invalid_entries) != 0) {
            show_message(ui, LauncherString::config_invalid_entries, LauncherString::config_problem_title,
                         MessageStyle::error, {config.get_path()});
        } else {
            show_message(ui, LauncherString::invalid_video_or_sound, LauncherString::warning_title,
                         MessageStyle::warning);
        }
        is_confirmed = ui.run_options_sheet(config);
    }
    // A save that fails has shown its message; the game may still run.
    if (is_confirmed) {
        config.save_config();
    }
    return is_confirmed;
}

LauncherExitCode run_launcher(LauncherEnvironment& environment, int argument_count, const char* const* arguments) {
    LauncherUi& ui = *environment.ui;
    const LauncherCommandLine command_line = parse_command_line(
        argument_count, arguments, [&environment] { environment.gamma->write_ramp(make_identity_gamma_ramp()); });

    LauncherPaths paths;
    paths.language_name = determine_language(environment.settings_path, environment.locale.c_str());
    InstallationFlags flags;
    build_launcher_paths(paths, flags, environment.launcher_folder, environment.documents_folder);

    if (!environment.acquire_single_instance()) {
        show_message(ui, LauncherString::already_running, LauncherString::running_problem_title, MessageStyle::error);
        return LauncherExitCode::already_running;
    }
    check_required_libraries(flags, environment.required_libraries, environment.can_load_library);
    if (const LauncherExitCode code = report_installation_problem(ui, flags); code != LauncherExitCode::normal_end) {
        return end_after_report(paths, code);
    }
    for (const std::string* folder : {&paths.user_folder, &paths.save_folder}) {
        if (const LauncherExitCode code = check_folder(ui, *folder); code != LauncherExitCode::normal_end) {
            return end_after_report(paths, code);
        }
    }
    for (const std::string* folder : {&paths.documents_folder, &paths.user_folder, &paths.save_folder}) {
        if (const LauncherExitCode code = check_free_space(ui, *folder, environment.query_free_space);
            code != LauncherExitCode::normal_end) {
            return end_after_report(paths, code);
        }
    }

    ConfigMachine machine;
    machine.save_folder = paths.save_folder;
    machine.language_number = get_language_number(paths.language_name);
    machine.is_video_mode_usable = environment.is_video_mode_usable;
    machine.sound_device_ids = environment.sound_device_ids;
    LauncherConfig config(ui, std::move(machine), paths.config_file);
    config.load_config();

    if ((command_line.launch_mode & launch_mode::options_only) != 0) {
        if (ui.run_options_sheet(config)) {
            config.save_config();
        }
        return LauncherExitCode::normal_end;
    }
    // Until the main window exists, a visible start goes the silent road.
    if (config.get_record().status != 0 && !resolve_config_problem(ui, config)) {
        return LauncherExitCode::normal_end;
    }
    GameRunner runner(ui, *environment.gamma, *environment.processes, config, paths,
                      command_line.pass_through_arguments);
    return runner.run_game(true);
}

}  // namespace zolt::launcher

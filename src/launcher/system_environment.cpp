#include "launcher/system_environment.h"

#include <cstdlib>

#include "launcher/error_codes.h"
#include "libs/system/exit_code.h"
#include "platform/launcher/gamma_ramp.h"
#include "platform/launcher/launcher_system.h"
#include "platform/system/folders.h"

namespace zolt::launcher {
namespace {

const char* get_variable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != 0 ? value : nullptr;
}

std::string get_settings_path() {
    std::string folder;
    if (const char* config_home = get_variable("XDG_CONFIG_HOME"); config_home != nullptr) {
        folder = config_home;
    } else if (const char* home = get_variable("HOME"); home != nullptr) {
        folder = std::string(home) + "/.config";
    }
    return folder + "/Harlune/Quorvane/launcher.ini";
}

std::string get_locale() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = get_variable(name); value != nullptr) {
            return value;
        }
    }
    return {};
}

// What the display can show comes with the options dialog; until then any
// mode of at least the smallest listed size is taken.
bool is_video_mode_usable(uint32_t width, uint32_t height, bool, uint32_t) {
    constexpr uint32_t largest_side = 16384;
    return width >= 640 && height >= 480 && width <= largest_side && height <= largest_side;
}

}  // namespace

bool SystemGammaControl::read_ramp(GammaRamp& ramp) {
    return platform::read_display_gamma_ramp(ramp.red.data(), ramp.green.data(), ramp.blue.data());
}

bool SystemGammaControl::write_ramp(const GammaRamp& ramp) {
    return platform::write_display_gamma_ramp(ramp.red.data(), ramp.green.data(), ramp.blue.data());
}

uint32_t SystemProcessControl::start(const std::string& program, const std::vector<std::string>& arguments,
                                     const std::string& folder) {
    pid_t process = -1;
    const uint32_t error = platform::start_process(program, arguments, folder, &process);
    if (error != 0) {
        return get_error_code(error);
    }
    process_ = process;
    return 0;
}

bool SystemProcessControl::wait(uint32_t* exit_code) {
    bool ended_by_signal = false;
    const bool waited = platform::wait_for_process(process_, exit_code, &ended_by_signal);
    process_ = -1;
    // A signal the game program's own crash report did not catch is a crash
    // all the same.
    if (waited && ended_by_signal) {
        *exit_code = get_exit_code_number(ExitCode::crash);
    }
    return waited;
}

LauncherEnvironment make_system_environment(LauncherUi& ui, GammaControl& gamma, ProcessControl& processes) {
    LauncherEnvironment environment;
    environment.ui = &ui;
    environment.gamma = &gamma;
    environment.processes = &processes;
    environment.launcher_folder = platform::get_launcher_folder();
    environment.documents_folder = platform::get_documents_folder();
    environment.settings_path = get_settings_path();
    environment.locale = get_locale();
    environment.required_libraries = get_required_libraries();
    environment.can_load_library = platform::can_load_library;
    environment.query_free_space = [](const std::string& path, uint64_t* free_bytes) {
        return get_error_code(platform::query_free_space(path, free_bytes));
    };
    // Tests that run launchers side by side give each its own name.
    const char* instance_name = get_variable("ZOLT_LAUNCHER_INSTANCE_NAME");
    const std::string name = instance_name != nullptr ? instance_name : single_instance_name;
    environment.acquire_single_instance = [name] { return platform::acquire_single_instance(name); };
    environment.is_video_mode_usable = is_video_mode_usable;
    environment.sound_device_ids = {"default", "none"};
    return environment;
}

}  // namespace zolt::launcher

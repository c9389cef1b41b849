#pragma once
// The launcher's string table: every text it shows, by number. Messages take
// numbered inserts (%1 a text, %1!u! an unsigned number); a code after a
// letter tells support which check failed.
#include <cstdint>

namespace zolt::launcher {

enum class LauncherString : uint32_t {
    main_window_title = 1,
    default_sound_device = 2,
    system_too_old = 3,
    physx_failed = 4,
    no_sound_device = 16,
    installation_problem_title = 32,
    installation_problem = 33,
    directx_problem = 34,
    opengl_problem = 35,
    folder_creation_failed = 37,
    too_little_free_space = 38,
    folder_path_too_long = 39,
    running_problem_title = 48,
    game_start_failed = 49,
    game_failed = 50,
    display_mode_failed = 51,
    desktop_depth_too_low = 52,
    rendering_initialization_failed = 53,
    rendering_error = 54,
    sound_initialization_failed = 55,
    sound_error = 56,
    input_initialization_failed = 57,
    out_of_resources = 58,
    file_error = 59,
    save_folder_problem = 60,
    graphics_below_minimum = 61,
    config_problem_title = 64,
    config_read_error = 65,
    config_write_error = 66,
    config_delete_error = 67,
    config_invalid_entries = 68,
    options_caption = 80,
    warning_title = 81,
    windowed_on_low_depth = 82,
    window_larger_than_desktop = 83,
    reset_question = 84,
    reset_done = 85,
    invalid_video_or_sound = 86,
    diagnostic_tool_problem_title = 96,
    diagnostic_tool_failed = 97,
    save_report_title = 112,
    report_file_filter = 113,
    report_save_error_title = 114,
    report_save_error = 115,
    report_default_name = 116,
    startup_report_name = 117,
    already_running = 118,
};

// The built-in English text; null for a number the table does not hold.
const char* find_launcher_string(uint32_t id);
const char* get_launcher_string(LauncherString id);

}  // namespace zolt::launcher

#include "launcher/launcher_strings.h"

#include <algorithm>
#include <iterator>

namespace zolt::launcher {
namespace {

struct StringRow {
    LauncherString id;
    const char* text;
};

// Sorted by number.
constexpr StringRow string_rows[] = {
    {LauncherString::main_window_title, "Quorvane"},
    {LauncherString::default_sound_device, "Default"},
    {LauncherString::system_too_old, "Quorvane requires Windows XP with Service Pack 2 or later to run."},
    {LauncherString::physx_failed,
     "Quorvane could not initialize NVIDIA PhysX.\n\nPossible causes are:\n- PhysX System Software is not properly "
     "installed. Try reinstalling version 8.09.04 or later and then reinstalling Quorvane.\n- The system is low on "
     "resources. Restart Windows and try again."},
    {LauncherString::no_sound_device, "No sound"},
    {LauncherString::installation_problem_title, "Problem with installation"},
    {LauncherString::installation_problem,
     "Quorvane is not properly installed on this computer or the installation is corrupted. Please use the "
     "installation CDs to reinstall Quorvane and then try running Quorvane again.\n\nThe following information might "
     "be useful if you contact technical support:\nError code: A-%1!u!."},
    {LauncherString::directx_problem,
     "DirectX is not properly installed on this computer or the installation is corrupted. Please use the installation "
     "CDs to reinstall DirectX or download and install DirectX from "
     "https://www.microsoft.com/download/details.aspx?id=35 and then try running Quorvane again.\n\nThe following "
     "information might be useful if you contact technical support:\nError code: B-%1!u!."},
    {LauncherString::opengl_problem,
     "OpenGL is not properly installed on this computer or the installation is corrupted. This is most likely caused "
     "by outdated or corrupted display drivers. Please install a recent version of drivers for your display adapter "
     "and then try running Quorvane again.\n\nThe following information might be useful if you contact technical "
     "support:\nError code: C-%1!u!."},
    {LauncherString::folder_creation_failed,
     "It was not possible to create the folder '%1' that Quorvane needs for its operation.\n\nThere are a few possible "
     "causes for this failure.\n- There is not enough space on the disk. Free some space and try running Quorvane "
     "again.\n- You do not have sufficient privileges to write to the parent folder. Make sure you have privileges to "
     "write to the specified location and try running Quorvane again.\n\nThe following information might be useful if "
     "you contact technical support:\nError code: E-%2!u!.\nError message: %3"},
    {LauncherString::too_little_free_space,
     "There is not enough disk space to run Quorvane.\n\nQuorvane needs at least %2!u! MB of free disk space, but the "
     "device containing the folder '%1' has only %3!u! MB free. Please free some space on the disk and try running "
     "Quorvane again.\n\nThe following information might be useful if you contact technical support:\nError code: "
     "F-%4!u!.\nError message: %5"},
    {LauncherString::folder_path_too_long,
     "There is a problem with the '%1' folder that Quorvane needs for its operation.\n\nThere are a few possible "
     "causes for this failure.\n- The path to your profile folder is too long.\n- Your profile folder is "
     "damaged.\n\nThe following information might be useful if you contact technical support:\nError code: "
     "L-%2!u!\nError message: %3."},
    {LauncherString::running_problem_title, "Problem running Quorvane"},
    {LauncherString::game_start_failed,
     "It was not possible to start Quorvane.\n\nThere are a few possible causes for this failure:\n- Quorvane is not "
     "properly installed or the installation is damaged. Reinstall Quorvane and try running Quorvane again.\n- The "
     "system is low on resources. Restart Windows and try running Quorvane again.\n\nThe following information might "
     "be useful if you contact technical support:\nError code: G-%1!u!.\nError message:%2"},
    {LauncherString::game_failed,
     "Quorvane encountered a problem while it was running.\n\nThere are a few possible causes for this failure:\n- "
     "System drivers, display drivers, sound drivers, DirectX, or NVIDIA PhysX are not properly installed. Reinstall "
     "them, then reinstall Quorvane and try running Quorvane again.\n- The system is low on resources. Restart Windows "
     "and try running Quorvane again.\n\nThe following information might be useful for technical support:\nExit code: "
     "H-%1!u!."},
    {LauncherString::display_mode_failed,
     "Quorvane was unable to switch to the requested display mode. Set Quorvane to run in a different display mode "
     "using the shortcut in the Start menu and try running Quorvane again."},
    {LauncherString::desktop_depth_too_low,
     "Quorvane was configured to run in a window, but your desktop is set to 16-bit color depth or less. You need to "
     "either set the desktop color depth to at least 24 bits (true color), or configure Quorvane to run fullscreen "
     "using the shortcut in the Start menu."},
    {LauncherString::rendering_initialization_failed,
     "Quorvane was unable to initialize the rendering subsystem.\n\nThere are a few possible causes for this "
     "failure:\n- Display drivers are not properly installed. Reinstall them and try running Quorvane again.\n- The "
     "display drivers on your system are outdated. Update drivers for your display adapter to the latest available "
     "version, and try running Quorvane again.\n- Full hardware acceleration is not enabled in the Troubleshooting tab "
     "of the Advanced settings of the Display properties Control Panel. Set it to full acceleration and try running "
     "Quorvane again.\n- The system is low on resources. Restart Windows and try running Quorvane again."},
    {LauncherString::rendering_error,
     "Quorvane encountered an error in the rendering subsystem.\n\nThere are a few possible causes for this "
     "failure:\n- The display drivers on your system are outdated. Update drivers for your display adapter to the "
     "latest available version, and try running Quorvane again.\n- The system is low on resources. Restart Windows and "
     "try running Quorvane again."},
    {LauncherString::sound_initialization_failed,
     "Quorvane was unable to initialize the sound subsystem.\n\nThere are a few possible causes for this failure:\n- "
     "Sound device is not properly configured or an invalid sound device is selected. Use the shortcut in the Start "
     "menu to configure Quorvane sound device and then try running Quorvane again.\n- Sound drivers or DirectX are not "
     "properly installed. Reinstall them, then reinstall Quorvane and try running Quorvane again.\n- The sound drivers "
     "on your system are outdated. Update drivers for your sound card to the latest available version, then reinstall "
     "Quorvane and try running Quorvane again.\n- The system is low on resources. Restart Windows and try running "
     "Quorvane again."},
    {LauncherString::sound_error,
     "Quorvane encountered an error in the sound subsystem.\n\nThere are a few possible causes for this failure:\n- "
     "Sound drivers or DirectX are not properly installed. Reinstall them, then reinstall Quorvane and try running "
     "Quorvane again.\n- The sound drivers on your system are outdated. Update drivers for your sound card to the "
     "latest available version, then reinstall Quorvane and try running Quorvane again.\n- The system is low on "
     "resources. Restart Windows and try running Quorvane again."},
    {LauncherString::input_initialization_failed,
     "Quorvane was unable to initialize the input subsystem.\n\nThere are a few possible causes for this failure:\n- "
     "Your mouse or keyboard are not working properly. Make sure the mouse and keyboard are working properly and try "
     "running Quorvane again.\n- DirectX is not properly installed. Reinstall it and try running Quorvane again.\n- "
     "The system is low on resources. Restart Windows and try running Quorvane again."},
    {LauncherString::out_of_resources,
     "Quorvane was unable to start because the system is out of resources. Make sure you have enough free space on the "
     "disk, restart Windows and try running Quorvane again."},
    {LauncherString::file_error,
     "Quorvane encountered an error while reading or writing a file.\n\nThere are a few possible causes for this "
     "failure:\n- The game disc is dirty or damaged. Clean it and try running Quorvane again.\n- There is not enough "
     "space on the hard disk. Make sure you have at least 50MB free and try running Quorvane again.\n- The system is "
     "low on resources. Restart Windows and try running Quorvane again."},
    {LauncherString::save_folder_problem,
     "Quorvane encountered a problem with the directory containing save games.\n\nMake sure you have enough free space "
     "on the disk and try running Quorvane again."},
    {LauncherString::graphics_below_minimum,
     "Quorvane was unable to initialize the rendering subsystem. It looks like your graphic hardware does not meet the "
     "minimum requirements for Quorvane.\n\nIf you are certain you have adequate hardware for Quorvane, there are a "
     "few other possible causes for this failure:\n- Display drivers are not properly installed. Reinstall them and "
     "try running Quorvane again.\n- The display drivers on your system are outdated. Update drivers for your display "
     "adapter to the latest available version, and try running Quorvane again.\n- Full hardware acceleration is not "
     "enabled in the Troubleshooting tab of the Advanced settings of the Display properties Control Panel. Set it to "
     "full acceleration and try running Quorvane again.\n- The system is low on resources. Restart Windows and try "
     "running Quorvane again."},
    {LauncherString::config_problem_title, "Problem with configuration file"},
    {LauncherString::config_read_error,
     "It was not possible to load the game configuration file '%1'. Options will be reset to their default values and "
     "the configuration file will be overwritten later.\n\nThe following information might be useful if you contact "
     "technical support:\nError code: I-%2!u!.\nError message: %3"},
    {LauncherString::config_write_error,
     "It was not possible to save the game configuration file '%1'.\n\nThere are a few possible causes for this "
     "failure.\n- There is not enough space on the disk. Free some space and try running Quorvane again.\n- You do not "
     "have sufficient privileges to write to the parent folder. Make sure you have privileges to write to the "
     "specified location and try running Quorvane again.\n\nThe following information might be useful if you contact "
     "technical support:\nError code: J-%2!u!.\nError message: %3"},
    {LauncherString::config_delete_error,
     "It was not possible to delete the old game configuration file '%1'.\n\nThere are a few possible causes for this "
     "failure.\n- You do not have sufficient privileges to delete the file. Make sure you the file is not read only "
     "and that you have sufficient privileges to delete it and then try running Quorvane again. You may also try "
     "deleting the specified file manually.\n\nThe following information might be useful if you contact technical "
     "support:\nError code: K-%2!u!.\nError message: %3"},
    {LauncherString::config_invalid_entries,
     "It was not possible to load the game configuration file '%1', because it contains invalid entries.\n\nOptions "
     "will be reset to their default values and the configuration file will be overwritten later.\n\nIt is likely that "
     "the file has been damaged or an error occured when it was saved the last time."},
    {LauncherString::options_caption, "Quorvane options"},
    {LauncherString::warning_title, "Warning"},
    {LauncherString::windowed_on_low_depth,
     "You have selected to run Quorvane in a window, but your desktop is set to 16-bit color depth (high color) or "
     "less. Quorvane will not be able to run. Do you still wish to use the windowed mode?"},
    {LauncherString::window_larger_than_desktop,
     "You have selected to run Quorvane in a window, but the window size is bigger than your current desktop size. "
     "Quorvane will not be able to run. Do you still wish to use the selected mode?"},
    {LauncherString::reset_question,
     "All game options (including, but not limited to, screen resolution, sound options, and keyboard mapping) will be "
     "reset to their default values and the Quorvane Launcher will be closed. This action can not be undone.\n\nAre "
     "you absolutely sure that you want to reset the options to their default values?"},
    {LauncherString::reset_done,
     "The game options have been successfully reset to their default values. Quorvane Launcher will now close; run it "
     "again to start the game or change its options."},
    {LauncherString::invalid_video_or_sound,
     "Some of the game options (screen resolution or sound device) loaded from the configuration file are invalid. You "
     "will now be taken to the Quorvane options dialog box where you can reset the game options.\n\nThis is expected "
     "when you update display or sound card drivers, when you change the hardware or when you change the display "
     "properties in Windows (like resolution or desktop color depth)."},
    {LauncherString::diagnostic_tool_problem_title, "Problem running DXDIAG"},
    {LauncherString::diagnostic_tool_failed,
     "It was not possible to run the DXDIAG tool. Try running it directly from the Start menu.\n\nError code: "
     "M-%1!u!.\nError message: %2"},
    {LauncherString::save_report_title, "Save report"},
    {LauncherString::report_file_filter, "Text Documents (*.txt)|*.txt|All Files|*.*"},
    {LauncherString::report_save_error_title, "Error saving report file"},
    {LauncherString::report_save_error,
     "It was not possible to save the report to the file '%1'.\n\nThe following information might be useful if you "
     "contact technical support:\nError code: N-%2!u!.\nError message: %3"},
    {LauncherString::report_default_name, "QuorvaneReport.txt"},
    {LauncherString::startup_report_name, "LauncherReport.txt"},
    {LauncherString::already_running, "Quorvane is already running."},
};

}  // namespace

const char* find_launcher_string(uint32_t id) {
    const auto row = std::lower_bound(
        std::begin(string_rows), std::end(string_rows), id,
        [](const StringRow& entry, uint32_t value) { return static_cast<uint32_t>(entry.id) < value; });
    return row != std::end(string_rows) && static_cast<uint32_t>(row->id) == id ? row->text : nullptr;
}

const char* get_launcher_string(LauncherString id) {
    return find_launcher_string(static_cast<uint32_t>(id));
}

}  // namespace zolt::launcher

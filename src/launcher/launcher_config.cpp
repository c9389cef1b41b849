#include "launcher/launcher_config.h"

#include <cerrno>
#include <utility>

#include "launcher/error_codes.h"
#include "launcher/launcher_messages.h"
#include "libs/io/file_replacement.h"
#include "platform/system/files.h"

namespace zolt::launcher {

LauncherConfig::LauncherConfig(LauncherUi& ui, ConfigMachine machine, std::string path)
    : ui_(ui), machine_(std::move(machine)), path_(std::move(path)) {}

uint32_t LauncherConfig::read_config_file(bool* valid) {
    *valid = false;
    platform::FileHandle handle = platform::invalid_file_handle;
    uint32_t error =
        platform::open_file(path_.c_str(), platform::FileAccess::read, platform::FileCreation::open_existing, &handle);
    if (error != 0) {
        return get_error_code(error);
    }
    uint64_t size = 0;
    error = platform::get_file_size(handle, &size);
    std::string text;
    if (error == 0 && size == 0) {
        error = empty_file_code;
    } else if (error == 0 && size <= config_file_size_limit) {
        text.resize(static_cast<size_t>(size));
        uint32_t transferred = 0;
        error = platform::read_file_at(handle, 0, text.data(), static_cast<uint32_t>(size), &transferred);
        text.resize(transferred);
    }
    platform::close_file(handle);
    if (error != 0) {
        return get_error_code(error);
    }
    *valid = size <= config_file_size_limit && parse_config(record_, machine_, text);
    return 0;
}

void LauncherConfig::load_default_config() {
    record_.reset();
    const uint32_t status = record_.status;
    parse_config(record_, machine_, default_config_text);
    record_.status = status;
}

bool LauncherConfig::load_config() {
    record_.status = 0;
    bool valid = false;
    const uint32_t error = read_config_file(&valid);
    if (error == file_not_found_code || error == path_not_found_code) {
        load_default_config();
        record_.status = config_status::no_usable_file;
        is_changed_ = true;
        return true;
    }
    if (error != 0) {
        load_default_config();
        record_.status = config_status::no_usable_file;
        is_changed_ = true;
        show_message(ui_, LauncherString::config_read_error, LauncherString::config_problem_title, MessageStyle::error,
                     {path_, error, describe_error_code(error)});
        return false;
    }
    if (!valid) {
        load_default_config();
        record_.status = config_status::invalid_entries;
        is_changed_ = true;
        return true;
    }
    if ((record_.status & config_status::needs_rewrite) != 0) {
        record_.status &= ~config_status::needs_rewrite;
        is_changed_ = true;
        save_config();
    }
    return true;
}

void LauncherConfig::reload_config() {
    const ConfigRecord saved = record_;
    record_.status = 0;
    bool valid = false;
    const uint32_t error = read_config_file(&valid);
    if (error != 0 || !valid) {
        record_ = saved;
        return;
    }
    // The game program leaves out settings at their defaults, so a missing
    // save folder or language says nothing against its file: its other keys
    // are taken, and the launcher's own only where they check out.
    const uint32_t complaints = record_.status & (config_status::video_invalid | config_status::sound_invalid);
    if ((complaints & config_status::video_invalid) != 0) {
        record_.window_width = saved.window_width;
        record_.window_height = saved.window_height;
        record_.use_fullscreen = saved.use_fullscreen;
        record_.fullscreen_refresh_rate = saved.fullscreen_refresh_rate;
    }
    if ((complaints & config_status::sound_invalid) != 0) {
        record_.xaudio_device_name = saved.xaudio_device_name;
    }
    record_.status = complaints != 0 ? saved.status : 0;
}

uint32_t LauncherConfig::write_config_file() {
    const std::string text = write_config_text(record_, machine_);
    io::FileReplacement replacement;
    uint32_t error = replacement.begin(path_.c_str(), path_.c_str());
    if (error != 0) {
        return get_error_code(error);
    }
    uint32_t transferred = 0;
    error = platform::write_file_at(replacement.get_handle(), 0, text.data(), static_cast<uint32_t>(text.size()),
                                    &transferred);
    if (error == 0 && transferred != text.size()) {
        error = ENOSPC;
    }
    if (error == 0) {
        error = replacement.commit();
    }
    return error != 0 ? get_error_code(error) : 0;
}

bool LauncherConfig::save_config() {
    if (!is_changed_) {
        return true;
    }
    const uint32_t error = write_config_file();
    if (error != 0) {
        show_message(ui_, LauncherString::config_write_error, LauncherString::config_problem_title, MessageStyle::error,
                     {path_, error, describe_error_code(error)});
        return false;
    }
    record_.status = 0;
    is_changed_ = false;
    return true;
}

bool LauncherConfig::delete_config() {
    const uint32_t error = get_error_code(platform::delete_file(path_.c_str()));
    if (error == 0 || error == file_not_found_code || error == path_not_found_code) {
        return true;
    }
    show_message(ui_, LauncherString::config_delete_error, LauncherString::config_problem_title, MessageStyle::error,
                 {path_, error, describe_error_code(error)});
    return false;
}

}  // namespace zolt::launcher

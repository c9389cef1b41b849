#pragma once
// The configuration file on the launcher's side: the start-up load with its
// fall-back to the defaults, the reload after the game program ran, the save
// through a temporary file that replaces the file whole, and the delete of
// the options reset. Failures are shown and survive: the launcher goes on
// with the record it has.
#include <cstdint>
#include <string>

#include "launcher/config_record.h"
#include "launcher/launcher_ui.h"

namespace zolt::launcher {

class LauncherConfig {
public:
    LauncherConfig(LauncherUi& ui, ConfigMachine machine, std::string path);

    // False after a read error was shown; the defaults are then in place.
    bool load_config();
    // Takes what the game program wrote when its file reads cleanly.
    void reload_config();
    // Writes when changed; false after a write error was shown.
    bool save_config();
    // True when the file is gone (or was never there); the record stays.
    bool delete_config();
    void load_default_config();
    // 0 when the file was read (valid then tells whether it parsed), else the
    // error code of the launcher's messages.
    uint32_t read_config_file(bool* valid);

    ConfigRecord& get_record() { return record_; }
    const ConfigMachine& get_machine() const { return machine_; }
    const std::string& get_path() const { return path_; }
    bool is_changed() const { return is_changed_; }
    void set_changed() { is_changed_ = true; }

private:
    uint32_t write_config_file();

    LauncherUi& ui_;
    ConfigMachine machine_;
    std::string path_;
    ConfigRecord record_;
    bool is_changed_ = false;
};

}  // namespace zolt::launcher

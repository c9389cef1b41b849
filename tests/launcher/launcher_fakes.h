#pragma once
// A fake installation for the launcher: a launcher folder with a stand-in
// game program, a documents folder, and a front end that records what it
// would show. The stand-in is a shell script that logs each run and ends with
// the next code of its list ("SEGV" for a crash by signal), and can replace
// the configuration file the way the game program does.
#include <sys/stat.h>
#include <atomic>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "launcher/game_process.h"
#include "launcher/launcher_config.h"
#include "launcher/launcher_program.h"
#include "launcher/system_environment.h"
#include "libs/io/temporary_folder.h"
#include "platform/launcher/launcher_system.h"

namespace zolt::launcher::test {

struct ShownMessage {
    std::string title;
    std::string text;
    MessageStyle style = MessageStyle::error;
};

class RecordingUi : public LauncherUi {
public:
    MessageAnswer show_message(const std::string& title, const std::string& text, MessageStyle style) override {
        messages.push_back({title, text, style});
        return style == MessageStyle::question ? MessageAnswer::no : MessageAnswer::ok;
    }
    bool run_first_run_dialog(LauncherConfig&) override {
        ++first_run_dialogs;
        return accept_dialogs;
    }
    bool run_options_sheet(LauncherConfig&) override {
        ++options_sheets;
        return accept_dialogs;
    }

    std::vector<ShownMessage> messages;
    int first_run_dialogs = 0;
    int options_sheets = 0;
    bool accept_dialogs = true;
};

class FakeGamma : public GammaControl {
public:
    bool read_ramp(GammaRamp& ramp) override {
        ++reads;
        ramp = current;
        return is_readable;
    }
    bool write_ramp(const GammaRamp& ramp) override {
        ++writes;
        current = ramp;
        return true;
    }

    GammaRamp current;
    bool is_readable = true;
    int reads = 0;
    int writes = 0;
};

inline const char* const stand_in_game_script = R"(#!/bin/sh
folder=$(dirname "$0")
printf '%s|%s\n' "$PWD" "$*" >> "$folder/runs.txt"
run=$(wc -l < "$folder/runs.txt")
if [ -f "$folder/game_config.txt" ]; then cp "$folder/game_config.txt" "$2"; fi
code=$(sed -n "${run}p" "$folder/exit_codes.txt")
if [ "$code" = SEGV ]; then kill -SEGV $$; fi
exit "$code"
)";

class FakeInstallation {
public:
    FakeInstallation() {
        std::filesystem::create_directories(get_launcher_folder());
        std::filesystem::create_directories(get_documents_folder());
        const std::string game = folder_.write_file("game/zolt", stand_in_game_script);
        chmod(game.c_str(), 0755);
        set_exit_codes({"0"});
        static std::atomic<int> instance_count{0};
        instance_name_ = "zolt-launcher-test-" + std::to_string(getpid()) + "-" + std::to_string(++instance_count);

        environment.ui = &ui;
        environment.gamma = &gamma;
        environment.processes = &processes;
        environment.launcher_folder = get_launcher_folder();
        environment.documents_folder = get_documents_folder();
        environment.settings_path = folder_.get_path("launcher.ini");
        environment.locale = "en_GB.UTF-8";
        environment.required_libraries = get_required_libraries();
        environment.can_load_library = [this](const char* name) { return missing_libraries.count(name) == 0; };
        environment.query_free_space = [this](const std::string&, uint64_t* free_bytes) {
            *free_bytes = free_bytes_;
            return free_space_error_;
        };
        environment.acquire_single_instance = [this] { return platform::acquire_single_instance(instance_name_); };
        environment.is_video_mode_usable = [](uint32_t width, uint32_t height, bool, uint32_t) {
            return width >= 640 && height >= 480;
        };
        environment.sound_device_ids = {"default", "none"};
    }

    std::string get_launcher_folder() const { return folder_.get_path("game"); }
    std::string get_documents_folder() const { return folder_.get_path("Documents"); }
    std::string get_user_folder() const { return get_documents_folder() + "/Harlune/Quorvane"; }
    std::string get_config_path() const { return get_user_folder() + "/Config.txt"; }
    std::string get_save_folder() const { return get_user_folder() + "/Saves"; }
    const zolt::test::TemporaryFolder& get_folder() const { return folder_; }

    void set_exit_codes(const std::vector<std::string>& codes) {
        std::string text;
        for (const std::string& code : codes) {
            text += code + "\n";
        }
        folder_.write_file("game/exit_codes.txt", text);
    }
    // What the stand-in writes over the configuration file on every run.
    void set_game_config(const std::string& text) { folder_.write_file("game/game_config.txt", text); }
    void write_config(const std::string& text) {
        std::filesystem::create_directories(get_user_folder());
        folder_.write_file("Documents/Harlune/Quorvane/Config.txt", text);
    }
    std::vector<std::string> read_runs() const {
        std::vector<std::string> runs;
        std::string text = zolt::test::read_file_bytes(folder_.get_path("game/runs.txt"));
        for (size_t start = 0; start < text.size();) {
            const size_t end = text.find('\n', start);
            runs.push_back(text.substr(start, end - start));
            start = end == std::string::npos ? text.size() : end + 1;
        }
        return runs;
    }
    void set_free_space(uint64_t bytes, uint32_t error = 0) {
        free_bytes_ = bytes;
        free_space_error_ = error;
    }

    LauncherExitCode run(const std::vector<std::string>& arguments = {"-silent"}) {
        std::vector<const char*> pointers = {"launcher"};
        for (const std::string& argument : arguments) {
            pointers.push_back(argument.c_str());
        }
        return run_launcher(environment, static_cast<int>(pointers.size()), pointers.data());
    }

    RecordingUi ui;
    FakeGamma gamma;
    SystemProcessControl processes;
    std::set<std::string> missing_libraries;
    LauncherEnvironment environment;

private:
    zolt::test::TemporaryFolder folder_;
    std::string instance_name_;
    uint64_t free_bytes_ = uint64_t{1} << 40;
    uint32_t free_space_error_ = 0;
};

}  // namespace zolt::launcher::test

#include <gtest/gtest.h>

#include <filesystem>

#include "launcher/game_process.h"
#include "launcher/launcher_fakes.h"
#include "libs/system/exit_code.h"

namespace zolt::launcher {
namespace {

// A start with a configuration that needs no dialog.
void write_clean_config(test::FakeInstallation& installation) {
    installation.write_config("save_path = \"" + installation.get_save_folder() +
                              "\" ;\r\nxaudio_device_name = \"default\" ;\r\nwindow_width = 1024 ;\r\n"
                              "window_height = 768 ;\r\nuse_fullscreen = 1 ;\r\nfullscreen_refresh_rate = 0 ;\r\n"
                              "default_language = 1 ;\r\n");
}

TEST(LauncherGame, EachExitCodeGivesItsMessageAndTheLaunchersExitCode) {
    struct Case {
        std::vector<std::string> codes;  // one per run of the stand-in
        LauncherExitCode exit_code;
        const char* message_start;  // empty: no message
    };
    const Case cases[] = {
        {{"0"}, LauncherExitCode::normal_end, ""},
        {{"32", "32", "0"}, LauncherExitCode::normal_end, ""},
        {{"32", "34"}, LauncherExitCode::game_failed, "Quorvane was unable to switch to the requested display mode."},
        {{"35"}, LauncherExitCode::game_failed, "Quorvane was configured to run in a window"},
        {{"36"}, LauncherExitCode::game_failed, "Quorvane was unable to initialize the rendering subsystem.\n\n"},
        {{"37"}, LauncherExitCode::game_failed, "Quorvane encountered an error in the rendering subsystem."},
        {{"38"}, LauncherExitCode::game_failed, "Quorvane was unable to initialize the sound subsystem."},
        {{"39"}, LauncherExitCode::game_failed, "Quorvane encountered an error in the sound subsystem."},
        {{"40"}, LauncherExitCode::game_failed, "Quorvane was unable to initialize the input subsystem."},
        {{"41"}, LauncherExitCode::game_failed, "Quorvane was unable to start because the system is out of resources."},
        {{"42"}, LauncherExitCode::game_failed, "Quorvane encountered an error while reading or writing a file."},
        {{"44"}, LauncherExitCode::game_failed, "Quorvane encountered a problem with the directory containing save"},
        {{"45"}, LauncherExitCode::game_failed, "Quorvane was unable to initialize the rendering subsystem. It looks"},
        {{"46"}, LauncherExitCode::game_failed, "Quorvane requires Windows XP"},
        {{"48"}, LauncherExitCode::game_failed, "Quorvane could not initialize NVIDIA PhysX."},
        {{"43"}, LauncherExitCode::game_failed, "Quorvane encountered a problem while it was running."},
        {{"47"}, LauncherExitCode::game_failed, "Quorvane encountered a problem while it was running."},
        {{"1"}, LauncherExitCode::game_failed, "Quorvane encountered a problem while it was running."},
        {{"SEGV"}, LauncherExitCode::game_failed, "Quorvane encountered a problem while it was running."},
    };
    for (const Case& row : cases) {
        test::FakeInstallation installation;
        write_clean_config(installation);
        installation.set_exit_codes(row.codes);
        EXPECT_EQ(installation.run(), row.exit_code) << row.codes.back();
        EXPECT_EQ(installation.read_runs().size(), row.codes.size()) << row.codes.back();
        // The ramp is read before each run and put back after it.
        EXPECT_EQ(installation.gamma.reads, static_cast<int>(row.codes.size())) << row.codes.back();
        EXPECT_EQ(installation.gamma.writes, static_cast<int>(row.codes.size())) << row.codes.back();
        if (row.message_start[0] == 0) {
            EXPECT_TRUE(installation.ui.messages.empty()) << row.codes.back();
            continue;
        }
        ASSERT_EQ(installation.ui.messages.size(), 1u) << row.codes.back();
        const test::ShownMessage& message = installation.ui.messages[0];
        EXPECT_EQ(message.title, "Problem running Quorvane");
        EXPECT_EQ(message.style, MessageStyle::error);
        EXPECT_EQ(message.text.rfind(row.message_start, 0), 0u) << message.text;
        if (get_exit_code_message(std::atoi(row.codes.back().c_str())) == LauncherString::game_failed) {
            const std::string code = row.codes.back() == "SEGV" ? "43" : row.codes.back();
            EXPECT_NE(message.text.find("Exit code: H-" + code + "."), std::string::npos) << message.text;
        }
    }
}

TEST(LauncherGame, GameStartsInTheLaunchersFolderWithTheConfigurationAndTheArgumentsWhole) {
    test::FakeInstallation installation;
    write_clean_config(installation);
    EXPECT_EQ(installation.run({"+connect", "127.0.0.1:27015", "player_name", "Ann Lee"}),
              LauncherExitCode::normal_end);
    const std::vector<std::string> runs = installation.read_runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], installation.get_launcher_folder() + "|config " + installation.get_config_path() +
                           " +connect 127.0.0.1:27015 player_name Ann Lee");

    LauncherPaths paths;
    paths.game_program = "/games/quorvane/zolt";
    paths.config_file = "/home/a b/Config.txt";
    EXPECT_EQ(build_game_command_line(paths, {}), "\"/games/quorvane/zolt\" config \"/home/a b/Config.txt\" ");
    EXPECT_EQ(build_game_command_line(paths, {"x", "Ann Lee"}),
              "\"/games/quorvane/zolt\" config \"/home/a b/Config.txt\" x Ann Lee");
    EXPECT_EQ(build_game_arguments(paths, {"Ann Lee"}),
              (std::vector<std::string>{"config", "/home/a b/Config.txt", "Ann Lee"}));
}

TEST(LauncherGame, WhatTheGameWroteIsReloadedAfterEachRun) {
    test::FakeInstallation installation;
    write_clean_config(installation);
    installation.set_game_config(
        "bind = 7\r\nwindow_width = 1280\r\nwindow_height = 1024\r\nuse_fullscreen = 0\r\n"
        "fullscreen_refresh_rate = 0\r\n");
    installation.set_exit_codes({"32", "34"});
    EXPECT_EQ(installation.run(), LauncherExitCode::game_failed);
    EXPECT_EQ(installation.read_runs().size(), 2u);
    // The launcher writes nothing while nothing changed on its side.
    EXPECT_EQ(zolt::test::read_file_bytes(installation.get_config_path()).rfind("bind = 7\r\n", 0), 0u);
}

TEST(LauncherGame, TheGameProgramWithoutItsContentEndsInTheGeneralMessage) {
    test::FakeInstallation installation;
    write_clean_config(installation);
    std::filesystem::remove(installation.get_launcher_folder() + "/zolt");
    std::filesystem::create_symlink(ZOLT_BINARY_PATH, installation.get_launcher_folder() + "/zolt");
    EXPECT_EQ(installation.run(), LauncherExitCode::game_failed);
    ASSERT_EQ(installation.ui.messages.size(), 1u);
    EXPECT_NE(installation.ui.messages[0].text.find("Exit code: H-43."), std::string::npos)
        << installation.ui.messages[0].text;
}

TEST(LauncherGame, AGameProgramThatCannotStartShowsItsError) {
    test::FakeInstallation installation;
    write_clean_config(installation);
    // There but not a program the system can run.
    installation.get_folder().write_file("game/zolt", "not a program");
    EXPECT_EQ(installation.run(), LauncherExitCode::game_failed);
    ASSERT_EQ(installation.ui.messages.size(), 1u);
    EXPECT_NE(installation.ui.messages[0].text.find("It was not possible to start Quorvane."), std::string::npos);
    EXPECT_NE(installation.ui.messages[0].text.find("Error code: G-"), std::string::npos);
    EXPECT_EQ(installation.gamma.writes, 0);
}

}  // namespace
}  // namespace zolt::launcher

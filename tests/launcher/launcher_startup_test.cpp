#include <gtest/gtest.h>

#include <filesystem>

#include "launcher/command_line.h"
#include "launcher/installation_checks.h"
#include "launcher/language.h"
#include "launcher/launcher_fakes.h"

namespace zolt::launcher {
namespace {

TEST(LauncherCommandLine, SwitchesActInOrderAndTheRestIsPassedOn) {
    struct Case {
        std::vector<const char*> arguments;
        uint32_t mode;
        std::vector<std::string> passed;
        int gamma_resets;
    };
    const Case cases[] = {
        {{"-OPTIONS", "-Silent"}, launch_mode::options_only | launch_mode::silent, {}, 0},
        {{"--silent", "/silent"}, 0, {"--silent", "/silent"}, 0},
        {{"+connect", "127.0.0.1:27015"}, launch_mode::silent, {"+connect", "127.0.0.1:27015"}, 0},
        {{"+connect", "127.0.0.1:27015", "-visible"}, 0, {"+connect", "127.0.0.1:27015"}, 0},
        {{"-visible", "+connect_lobby", "5"}, launch_mode::silent, {"+connect_lobby", "5"}, 0},
        {{"-reset-gamma", "window_width", "1024", "-RESET-GAMMA"}, 0, {"window_width", "1024"}, 2},
    };
    for (const Case& row : cases) {
        int gamma_resets = 0;
        LauncherCommandLine command_line;
        for (const char* argument : row.arguments) {
            parse_argument(command_line, argument, [&gamma_resets] { ++gamma_resets; });
        }
        EXPECT_EQ(command_line.launch_mode, row.mode) << row.arguments[0];
        EXPECT_EQ(command_line.pass_through_arguments, row.passed) << row.arguments[0];
        EXPECT_EQ(gamma_resets, row.gamma_resets) << row.arguments[0];
    }
}

TEST(LauncherLanguage, SettingsFileWinsOverTheLocaleAndUnknownNamesAreEnglish) {
    const zolt::test::TemporaryFolder folder;
    EXPECT_EQ(determine_language(folder.get_path("none.ini"), "de_DE.UTF-8"), "german");
    EXPECT_EQ(determine_language(folder.get_path("none.ini"), "it"), "italian");
    EXPECT_EQ(determine_language(folder.get_path("none.ini"), "pt_BR.UTF-8"), "english");
    EXPECT_EQ(determine_language(folder.get_path("none.ini"), "C"), "english");
    const std::string settings = folder.write_file("launcher.ini", "Other=1\r\nLanguage=klingon\r\n");
    EXPECT_EQ(determine_language(settings, "fr_FR.UTF-8"), "klingon");
    EXPECT_EQ(get_language_number("klingon"), 1u);
    EXPECT_EQ(get_language_number("French"), 4u);
    const std::string empty = folder.write_file("empty.ini", "Language=\n");
    EXPECT_EQ(determine_language(empty, "es_ES"), "spanish");
}

// Each start-up failure of a fake installation: its message, its exit code,
// and the start-up report beside the configuration file.
TEST(LauncherStartup, FailedChecksShowTheirMessageAndEndWithTheirCode) {
    struct Case {
        const char* name;
        std::function<void(test::FakeInstallation&)> break_installation;
        LauncherExitCode exit_code;
        const char* title;
        const char* code;
    };
    const Case cases[] = {
        {"missing game",
         [](test::FakeInstallation& installation) {
             std::filesystem::remove(installation.get_launcher_folder() + "/zolt");
         },
         LauncherExitCode::installation_problem, "Problem with installation", "A-4."},
        {"missing game and libraries",
         [](test::FakeInstallation& installation) {
             std::filesystem::remove(installation.get_launcher_folder() + "/zolt");
             installation.missing_libraries = {"libGL.so.1", "libSDL2-2.0.so.0"};
         },
         LauncherExitCode::installation_problem, "Problem with installation", "A-4."},
        {"missing input library",
         [](test::FakeInstallation& installation) {
             installation.missing_libraries = {"libGL.so.1", "libSDL2-2.0.so.0"};
         },
         LauncherExitCode::directx_problem, "Problem with installation", "B-1."},
        {"missing GL", [](test::FakeInstallation& installation) { installation.missing_libraries = {"libGL.so.1"}; },
         LauncherExitCode::opengl_problem, "Problem with installation", "C-1."},
        {"folder cannot be made",
         [](test::FakeInstallation& installation) {
             installation.get_folder().write_file("Documents/Harlune", "a file in the way");
         },
         LauncherExitCode::folder_problem, "Problem running Quorvane", "E-183."},
        {"save folder name taken",
         [](test::FakeInstallation& installation) {
             std::filesystem::create_directories(installation.get_user_folder());
             installation.get_folder().write_file("Documents/Harlune/Quorvane/Saves", "");
         },
         LauncherExitCode::folder_problem, "Problem running Quorvane", "E-183."},
        {"long path",
         [](test::FakeInstallation& installation) {
             const std::string documents = installation.get_documents_folder() + "/" + std::string(240, 'd');
             installation.environment.documents_folder = documents;
         },
         LauncherExitCode::folder_path_too_long, "Problem running Quorvane", "L-206"},
        {"no free space", [](test::FakeInstallation& installation) { installation.set_free_space(52428799); },
         LauncherExitCode::folder_problem, "Problem running Quorvane", "F-112."},
        {"free space unknown", [](test::FakeInstallation& installation) { installation.set_free_space(0, 5); },
         LauncherExitCode::folder_problem, "Problem running Quorvane", "F-5."},
    };
    for (const Case& row : cases) {
        test::FakeInstallation installation;
        row.break_installation(installation);
        EXPECT_EQ(installation.run(), row.exit_code) << row.name;
        ASSERT_EQ(installation.ui.messages.size(), 1u) << row.name;
        EXPECT_EQ(installation.ui.messages[0].title, row.title) << row.name;
        EXPECT_NE(installation.ui.messages[0].text.find(row.code), std::string::npos)
            << row.name << ": " << installation.ui.messages[0].text;
        EXPECT_TRUE(installation.read_runs().empty()) << row.name;
        const std::string report = zolt::test::read_file_bytes(installation.environment.documents_folder.value_or("") +
                                                               "/Harlune/Quorvane/LauncherReport.txt");
        // Only a folder that cannot be made leaves the report unwritten.
        if (std::string(row.name) != "folder cannot be made") {
            ASSERT_GE(report.size(), 2u) << row.name;
            EXPECT_EQ(report.substr(0, 2), "\xFF\xFE") << row.name;
        }
    }
}

TEST(LauncherStartup, LimitsAreInclusiveWhereTheyShouldBe) {
    struct Case {
        uint64_t free_bytes;
        uint32_t save_folder_length;
        LauncherExitCode exit_code;
    };
    const Case cases[] = {
        {52428800, 259, LauncherExitCode::normal_end},
        {52428799, 259, LauncherExitCode::folder_problem},
        {52428800, 260, LauncherExitCode::folder_path_too_long},
    };
    for (const Case& row : cases) {
        test::FakeInstallation installation;
        installation.set_free_space(row.free_bytes);
        // "/Harlune/Quorvane/Saves" is 23 characters.
        const std::string documents = installation.get_documents_folder();
        const std::string long_documents =
            documents + "/" + std::string(row.save_folder_length - 23 - documents.size() - 1, 'd');
        installation.environment.documents_folder = long_documents;
        EXPECT_EQ(installation.run(), row.exit_code) << row.free_bytes << " " << row.save_folder_length;
        if (row.exit_code == LauncherExitCode::normal_end) {
            EXPECT_TRUE(installation.ui.messages.empty());
            EXPECT_EQ(installation.read_runs().size(), 1u);
            EXPECT_TRUE(std::filesystem::is_directory(long_documents + "/Harlune/Quorvane/Saves"));
        }
    }
}

TEST(LauncherStartup, SecondLauncherIsRefusedWithoutAReport) {
    test::FakeInstallation first;
    ASSERT_TRUE(first.environment.acquire_single_instance());
    test::FakeInstallation second;
    second.environment.acquire_single_instance = first.environment.acquire_single_instance;
    EXPECT_EQ(second.run(), LauncherExitCode::already_running);
    ASSERT_EQ(second.ui.messages.size(), 1u);
    EXPECT_EQ(second.ui.messages[0].text, "Quorvane is already running.");
    EXPECT_EQ(second.ui.messages[0].title, "Problem running Quorvane");
    EXPECT_FALSE(std::filesystem::exists(second.get_user_folder()));
}

TEST(LauncherStartup, GammaResetHappensEvenWhenACheckEndsTheLauncher) {
    test::FakeInstallation installation;
    installation.gamma.current.red[10] = 1;
    std::filesystem::remove(installation.get_launcher_folder() + "/zolt");
    EXPECT_EQ(installation.run({"-reset-gamma"}), LauncherExitCode::installation_problem);
    EXPECT_EQ(installation.gamma.writes, 1);
    EXPECT_EQ(installation.gamma.current.red[10], 10 * 257);
    EXPECT_EQ(installation.gamma.current.blue[255], 65535);
}

TEST(LauncherStartup, ConfigurationProblemsAreResolvedBeforeTheGameStarts) {
    {
        test::FakeInstallation first_run;
        EXPECT_EQ(first_run.run(), LauncherExitCode::normal_end);
        EXPECT_EQ(first_run.ui.first_run_dialogs, 1);
        const std::string written = zolt::test::read_file_bytes(first_run.get_config_path());
        EXPECT_NE(written.find("shadowmaps_enabled = 0 ;\r\nsave_path = \"" + first_run.get_save_folder() + "\" ;\r\n"),
                  std::string::npos)
            << written;
        EXPECT_NE(written.find("default_language = 1 ;\r\n"), std::string::npos) << written;
    }
    {
        test::FakeInstallation cancelled;
        cancelled.ui.accept_dialogs = false;
        EXPECT_EQ(cancelled.run(), LauncherExitCode::normal_end);
        EXPECT_TRUE(cancelled.read_runs().empty());
        EXPECT_FALSE(std::filesystem::exists(cancelled.get_config_path()));
    }
    {
        test::FakeInstallation invalid;
        invalid.write_config("junk\r\n");
        EXPECT_EQ(invalid.run(), LauncherExitCode::normal_end);
        ASSERT_EQ(invalid.ui.messages.size(), 1u);
        EXPECT_NE(invalid.ui.messages[0].text.find("because it contains invalid entries"), std::string::npos);
        EXPECT_EQ(invalid.ui.options_sheets, 1);
        EXPECT_EQ(invalid.read_runs().size(), 1u);
    }
    {
        test::FakeInstallation options;
        EXPECT_EQ(options.run({"-options", "-silent"}), LauncherExitCode::normal_end);
        EXPECT_EQ(options.ui.options_sheets, 1);
        EXPECT_TRUE(options.read_runs().empty());
    }
}

}  // namespace
}  // namespace zolt::launcher

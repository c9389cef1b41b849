#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "libs/io/temporary_folder.h"
#include "platform/display/xvfb_server.h"
#include "support/child_process.h"
#include "zasm/lib/zasm_command.h"

namespace zolt {
namespace {

std::string run_command(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r"); pipe != nullptr) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        pclose(pipe);
    }
    while (!output.empty() && (output.back() == '\n' || output.back() == ' ')) {
        output.pop_back();
    }
    return output;
}

// An installation in a folder of its own: the launcher beside a game program,
// and the user's folders, so that nothing of the machine's is touched.
class DesktopInstallation {
public:
    explicit DesktopInstallation(const std::string& display) {
        std::filesystem::create_directories(get_user_folder());
        std::filesystem::copy_file(ZOLT_LAUNCHER_PATH, folder_.get_path("launcher"));
        run_.environment_overrides = {
            "DISPLAY=" + display,
            "HOME=" + folder_.get_folder().string(),
            "XDG_DOCUMENTS_DIR=" + folder_.get_path("Documents"),
            "XDG_CONFIG_HOME=" + folder_.get_path("config"),
            "ZOLT_LAUNCHER_INSTANCE_NAME=zolt-launcher-desktop-" + std::to_string(getpid()),
            "NO_AT_BRIDGE=1",
        };
        run_.working_folder = folder_.get_folder().string();
        run_.timeout_milliseconds = 90000;
        // A windowed mode the launcher takes as it is.
        folder_.write_file("Documents/Harlune/Quorvane/Config.txt",
                           "save_path = \"" + get_user_folder() +
                               "/Saves\" ;\r\nxaudio_device_name = \"default\" ;\r\nwindow_width = 640 ;\r\n"
                               "window_height = 480 ;\r\nuse_fullscreen = 0 ;\r\nfullscreen_refresh_rate = 0 ;\r\n"
                               "default_language = 1 ;\r\n");
    }

    std::string get_user_folder() const { return folder_.get_path("Documents/Harlune/Quorvane"); }
    const test::TemporaryFolder& get_folder() const { return folder_; }
    test::ChildResult run_launcher(const std::vector<std::string>& arguments) {
        run_.arguments = arguments;
        return test::run_program(folder_.get_path("launcher"), run_);
    }

private:
    test::TemporaryFolder folder_;
    test::ProgramRun run_;
};

// The screen as a picture (X window dump), for a failure to show what was
// there.
std::string take_screenshot(const std::string& display) {
    const std::string path = "/tmp/zolt-launcher-screen-" + std::to_string(getpid()) + ".xwd";
    run_command("xwd -root -silent -display " + display + " -out " + path + " 2>&1");
    return std::filesystem::exists(path) ? "screenshot: " + path : "no screenshot";
}

TEST(LauncherDesktop, AFailingExitCodeShowsAMessageBoxAndEndsTheLauncher) {
    test::XvfbServer server("1024x768x24");
    if (!test::XvfbServer::is_installed() || run_command("command -v xdotool").empty()) {
        GTEST_SKIP() << "needs Xvfb and xdotool";
    }
    ASSERT_TRUE(server.is_running()) << server.get_failure();
    const std::string display = server.get_display();
    DesktopInstallation installation(display);
    const std::string game = installation.get_folder().write_file("zolt", "#!/bin/sh\nexit 34\n");
    chmod(game.c_str(), 0755);

    test::ChildResult result;
    std::thread launcher([&] { result = installation.run_launcher({"-silent"}); });
    const std::string xdotool = "DISPLAY=" + display + " xdotool ";
    std::string window;
    for (int attempt = 0; attempt < 300 && window.empty(); ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        window = run_command(xdotool + "search --name '^Problem running Quorvane$' 2>/dev/null | head -1");
    }
    const std::string screenshot = window.empty() ? take_screenshot(display) : "";
    EXPECT_FALSE(window.empty()) << "no message box; " << screenshot;
    if (!window.empty()) {
        const std::string geometry = run_command(xdotool + "getwindowgeometry " + window);
        EXPECT_NE(geometry.find("Geometry:"), std::string::npos) << geometry;
        // OK is the default button.
        for (int attempt = 0; attempt < 20; ++attempt) {
            run_command(xdotool + "windowfocus --sync " + window + " key --clearmodifiers Return 2>&1");
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            if (run_command(xdotool + "search --name '^Problem running Quorvane$' 2>/dev/null").empty()) {
                break;
            }
        }
    }
    launcher.join();
    EXPECT_TRUE(result.exited) << result.standard_error;
    EXPECT_EQ(result.exit_code, 6) << result.standard_error;
}

// The road of `make run`: the launcher starts the game program from its own
// folder, which runs the sample's self-check and quits; the launcher then
// reads back what the game wrote and ends normally.
TEST(LauncherDesktop, TheLauncherStartsTheGameOnTheSampleContent) {
    test::XvfbServer server("1024x768x24");
    if (!test::XvfbServer::is_installed()) {
        GTEST_SKIP() << server.get_failure();
    }
    ASSERT_TRUE(server.is_running()) << server.get_failure();
    DesktopInstallation installation(server.get_display());
    const test::TemporaryFolder& folder = installation.get_folder();
    std::filesystem::create_symlink(ZOLT_BINARY_PATH, folder.get_path("zolt"));
    const std::string main_source = folder.write_file("main.zasm", R"(.code 0 1
.entry quiet
.entry main
quiet:
    end_task
main:
    push_zero
    push_word code(0, 9, 4)
    start_task
    call code(0, 2, 2)
    call builtin(188)
    end_task
)");
    const std::string pack = folder.get_path("game.pack");
    const std::string self_check = std::string(ZOLT_CONTENT_SOURCE_PATH) + "/self_check.zasm";
    const std::string level = std::string(ZOLT_CONTENT_SOURCE_PATH) + "/level.zasm";
    const std::string figure = std::string(ZOLT_CONTENT_SOURCE_PATH) + "/figure.zasm";
    std::vector<const char*> arguments = {"zasm",         "assemble",          "--key",
                                          "0",            pack.c_str(),        main_source.c_str(),
                                          self_check.c_str(), level.c_str(),   figure.c_str()};
    ASSERT_EQ(tools::run_zasm(static_cast<int>(arguments.size()), const_cast<char**>(arguments.data())), 0);
    for (const char* name : {"textures.pack", "level.pack", "figure.pack"}) {
        std::filesystem::copy_file(std::string(ZOLT_CONTENT_PATH) + "/" + name, folder.get_path(name));
    }
    folder.write_file("pack.list", "game.pack\ntextures.pack\nlevel.pack\nfigure.pack\n");

    const test::ChildResult result = installation.run_launcher({});
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exit_code, 0) << result.standard_error;
    const std::string written = test::read_file_bytes(installation.get_user_folder() + "/Config.txt");
    EXPECT_NE(written.find("dm_levels = 8191\r\n"), std::string::npos) << written;
}

}  // namespace
}  // namespace zolt

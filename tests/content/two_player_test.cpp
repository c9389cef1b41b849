#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "libs/io/temporary_folder.h"
#include "platform/online/enet_online_client.h"
#include "support/child_process.h"
#include "zasm/lib/zasm_command.h"

namespace zolt {
namespace {

// The first task starts only the two-player mode and waits; entry 4 hands a
// game object's messages to its handler code, as the sample's does.
constexpr const char* first_task = R"(.code 0 1
.entry quiet
.entry main
.entry quiet
.entry quiet
.entry object_handler
.entry quiet
quiet:
    end_task
object_handler:
    push_r0
    push_r1
    call_popped
    drop1
    end_task
main:
    push_zero
    push_word code(0, 8, 1)
    start_task
idle:
    set_r0 100000
    wait
    jump idle
)";

// A game folder with the two-player pack and an empty configuration file for
// the report.
void make_game_folder(const test::TemporaryFolder& folder) {
    const std::string main_source = folder.write_file("main.zasm", first_task);
    const std::string pack = folder.get_path("game.pack");
    const std::string two_player = std::string(ZOLT_CONTENT_SOURCE_PATH) + "/two_player.zasm";
    std::vector<const char*> arguments = {"zasm",       "assemble",          "--key",           "0",
                                          pack.c_str(), main_source.c_str(), two_player.c_str()};
    ASSERT_EQ(tools::run_zasm(static_cast<int>(arguments.size()), const_cast<char**>(arguments.data())), 0);
    std::filesystem::copy_file(std::string(ZOLT_CONTENT_PATH) + "/textures.pack", folder.get_path("textures.pack"));
    folder.write_file("pack.list", "game.pack\ntextures.pack\n");
    folder.write_file("result.txt", "");
}

test::ProgramRun make_run(const test::TemporaryFolder& folder, std::vector<std::string> online_arguments) {
    test::ProgramRun run;
    run.working_folder = folder.get_folder().string();
    run.arguments = {"config", "result.txt", "window_width", "160", "window_height", "120"};
    run.arguments.insert(run.arguments.end(), online_arguments.begin(), online_arguments.end());
    // No display and no sound: the game runs offscreen.
    run.environment_overrides = {"DISPLAY=", "WAYLAND_DISPLAY=", "SDL_AUDIODRIVER=dummy"};
    run.timeout_milliseconds = 100000;
    return run;
}

// The value a report line "name = value" gives; -1 when it is missing.
long read_report(const test::TemporaryFolder& folder, const std::string& name) {
    const std::string text = test::read_file_bytes(folder.get_path("result.txt"));
    const size_t found = text.find(name + " = ");
    return found == std::string::npos ? -1 : std::stol(text.substr(found + name.size() + 3));
}

// Waits until the game at that address answers a LAN search, which it does
// only once it hosts: a player started before that may give up while a
// loaded machine is still starting the host. False after a minute.
bool wait_until_hosted(uint32_t network) {
    platform::EnetSettings settings;
    settings.account = 3;
    settings.bind_address = 0x7F000003u | (network << 8);
    settings.lan_first = 0x7F000001u | (network << 8);
    settings.lan_last = settings.lan_first;
    platform::EnetOnlineClient searcher;
    std::string message;
    if (!searcher.start(settings, &message)) {
        ADD_FAILURE() << message;
        return false;
    }
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < limit) {
        if (!searcher.request_lan_server_list(searcher.get_app_id())) {
            return false;
        }
        for (;;) {
            platform::ServerItem item;
            const platform::LanSearchAnswer answer = searcher.poll_lan_server_list(&item);
            if (answer == platform::LanSearchAnswer::responded) {
                return true;
            }
            if (answer == platform::LanSearchAnswer::complete) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    return false;
}

// The whole program twice on one machine: a host and a player at two
// loopback addresses, over ENet. The player finds the host's game through
// "+connect", both go through the handshake, loading and start, and for ten
// seconds each moves its avatar and sends the other its position; each copy
// of the other's avatar takes the updates in order with the right position.
// The host stops the game and both end with exit code 0. Addresses of their
// own keep the test apart from others that run at the same time.
TEST(TwoPlayer, AHostAndAPlayerPlayTenSecondsOverEnetAndEndCleanly) {
    const test::TemporaryFolder host_folder;
    const test::TemporaryFolder player_folder;
    make_game_folder(host_folder);
    make_game_folder(player_folder);
    const uint32_t network = 2 + static_cast<uint32_t>(getpid()) % 250;
    const std::string host_address = "127.0." + std::to_string(network) + ".1";
    const std::string player_address = "127.0." + std::to_string(network) + ".2";

    test::ChildResult host;
    std::thread host_thread(
        [&] { host = test::run_program(ZOLT_BINARY_PATH, make_run(host_folder, {"+host", host_address})); });
    test::ChildResult player;
    if (wait_until_hosted(network)) {
        player = test::run_program(ZOLT_BINARY_PATH,
                                   make_run(player_folder, {"+join", player_address, "+connect", host_address + ":27015"}));
    } else {
        ADD_FAILURE() << "the host never hosted";
    }
    host_thread.join();

    EXPECT_TRUE(host.exited);
    EXPECT_EQ(host.exit_code, ExitCode::normal_end) << host.standard_error;
    EXPECT_TRUE(player.exited);
    EXPECT_EQ(player.exit_code, ExitCode::normal_end) << player.standard_error;
    // At least half of ten seconds of frames; none wrong. A variable at its
    // default of 0 is not written.
    EXPECT_GT(read_report(host_folder, "ctf_levels"), 300)
        << "updates the host took from the player\nhost:\n"
        << host.standard_error << "\nplayer:\n"
        << player.standard_error;
    EXPECT_GT(read_report(player_folder, "ctf_levels"), 300) << "updates the player took from the host";
    EXPECT_LE(read_report(host_folder, "conquest_levels"), 0);
    EXPECT_LE(read_report(player_folder, "conquest_levels"), 0);
}

// Offline, and with options that name no address, the mode ends at once and
// the game runs on; asked to quit, it ends with 0.
TEST(TwoPlayer, BadOnlineOptionsLeaveTheGameOffline) {
    const test::TemporaryFolder folder;
    make_game_folder(folder);
    test::ProgramRun run = make_run(folder, {"+join", "127.0.0.2"});
    run.terminate_after_milliseconds = 3000;
    const test::ChildResult result = test::run_program(ZOLT_BINARY_PATH, run);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exit_code, ExitCode::normal_end) << result.standard_error;
    EXPECT_NE(result.standard_error.find("playing offline: +join needs the game to join"), std::string::npos)
        << result.standard_error;
    EXPECT_EQ(read_report(folder, "ctf_levels"), -1);
}

}  // namespace
}  // namespace zolt

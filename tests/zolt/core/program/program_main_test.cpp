#include "zolt/core/program/program_main.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/game_folder.h"
#include "zolt/network/network_services.h"

namespace zolt {
namespace {

TEST(ProgramMain, StartAffinityByMode) {
    struct Case {
        uint32_t mode;
        uint32_t system_mask;
        std::optional<uint32_t> expected;
    };
    const Case cases[] = {
        {0, 0x0C, std::nullopt}, {1, 0x0C, 0x04}, {1, 0x01, 0x01}, {1, 0x80000000u, 0x80000000u},
        {1, 0x00, 0x00},         {2, 0x0C, 0x0C}, {7, 0xFF, 0xFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(choose_start_affinity(c.mode, c.system_mask), c.expected) << c.mode << " " << c.system_mask;
    }
}

TEST(ProgramMain, WorkerAffinityByMode) {
    EXPECT_EQ(choose_thread_affinity_mask(0, 0xF0), 0u);
    EXPECT_EQ(choose_thread_affinity_mask(1, 0xF0), 0x10u);
    EXPECT_EQ(choose_thread_affinity_mask(1, 0), 0u);
    EXPECT_EQ(choose_thread_affinity_mask(2, 0xF0), 0xF0u);
}

TEST(ProgramMain, SecondMainThreadRegistrationIsFatal) {
    const test::ChildResult result = test::run_in_child([] {
        register_as_main_thread();
        register_as_main_thread();
    });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("Main thread can not be registered more than once"), std::string::npos);
}

TEST(ProgramMain, ConnectArguments) {
    struct Case {
        std::vector<const char*> arguments;
        bool pending;
        bool to_lobby;
        uint32_t address;
        uint16_t port;
        uint64_t lobby_id;
    };
    const Case cases[] = {
        {{"+connect", "10.1.2.3:27015"}, true, false, 0x0A010203u, 27015, 0},
        {{"+connect_lobby", "109775241058209793", "+connect", "1.2.3.4:5"}, true, true, 0, 0, 109775241058209793ull},
        {{"+connect", "1.2.3:5"}, false, false, 0, 0, 0},
        {{"+connect", "1.2.3.256:5"}, false, false, 0, 0, 0},
        {{"+connect"}, false, false, 0, 0, 0},
        {{"+connect_lobby", "12x"}, false, false, 0, 0, 0},
        {{"window_width", "800"}, false, false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        core::cancel_connect_request();
        core::parse_connect_arguments(static_cast<int>(c.arguments.size()), c.arguments.data());
        const network::ConnectRequest& request = network::get_connect_request();
        EXPECT_EQ(request.pending, c.pending) << c.arguments[0];
        EXPECT_EQ(request.to_lobby, c.to_lobby);
        EXPECT_EQ(request.address, c.address);
        EXPECT_EQ(request.port, c.port);
        EXPECT_EQ(request.lobby_id, c.lobby_id);
    }
}

TEST(ZoltProgram, EndsWithZeroOnTerminateSignal) {
    test::ProgramRun run;
    run.terminate_after_milliseconds = 500;
    run.working_folder = test::make_game_folder();
    const test::ChildResult result = test::run_program(ZOLT_BINARY_PATH, run);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exit_code, ExitCode::normal_end) << result.standard_error;
}

TEST(ZoltProgram, SpecialFilesAreRefusedWithTheirNameAndReasonInsteadOfBlocking) {
    struct Case {
        const char* name;
        // Makes the special file in the game folder and answers the program's arguments.
        std::function<std::vector<std::string>(const std::string& folder)> prepare;
        int exit_code;
        std::string report;
    };
    const auto make_fifo = [](const std::string& path) { mkfifo(path.c_str(), 0600); };
    const auto list_packs = [](const std::string& folder, const std::string& names) {
        std::ofstream(folder + "/pack.list") << names << "\n";
    };
    const std::string fifo_reason = "a FIFO, not a regular file";
    const Case cases[] = {
        {"FIFO named as a pack",
         [&](const std::string& folder) {
             make_fifo(folder + "/fifo.pack");
             list_packs(folder, "fifo.pack");
             return std::vector<std::string>{};
         },
         42, "IO error 536870929 encountered while opening a file.\nfifo.pack: " + fifo_reason},
        {"folder named as a pack",
         [&](const std::string& folder) {
             std::filesystem::create_directory(folder + "/folder.pack");
             list_packs(folder, "folder.pack");
             return std::vector<std::string>{};
         },
         42, "IO error 21 encountered while opening a file.\nfolder.pack: a folder, not a regular file"},
        {"device named as a pack",
         [&](const std::string& folder) {
             list_packs(folder, "/dev/zero");
             return std::vector<std::string>{};
         },
         42, "IO error 536870930 encountered while opening a file.\n/dev/zero: a device, not a regular file"},
        {"FIFO as the pack list",
         [&](const std::string& folder) {
             std::filesystem::remove(folder + "/pack.list");
             make_fifo(folder + "/pack.list");
             return std::vector<std::string>{};
         },
         43, "unable to open pack list pack.list\npack.list: " + fifo_reason},
        {"FIFO named as the configuration file",
         [&](const std::string& folder) {
             make_fifo(folder + "/settings");
             return std::vector<std::string>{"config", "settings"};
         },
         43, "unable to open config file settings\nsettings: " + fifo_reason},
        {"FIFO in the default configuration file's place",
         [&](const std::string& folder) {
             make_fifo(folder + "/config.txt");
             return std::vector<std::string>{};
         },
         43, "unable to open config file config.txt\nconfig.txt: " + fifo_reason},
        {"folder named as the configuration file",
         [&](const std::string& folder) {
             std::filesystem::create_directory(folder + "/settings");
             return std::vector<std::string>{"config", "settings"};
         },
         43, "unable to open config file settings\nsettings: a folder, not a regular file"},
        {"device named as the configuration file",
         [&](const std::string&) {
             return std::vector<std::string>{"config", "/dev/zero"};
         },
         43, "unable to open config file /dev/zero\n/dev/zero: a device, not a regular file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ProgramRun run;
        run.working_folder = test::make_game_folder();
        run.arguments = c.prepare(run.working_folder);
        run.timeout_milliseconds = 10000;
        const test::ChildResult result = test::run_program(ZOLT_BINARY_PATH, run);
        EXPECT_TRUE(result.exited) << "signal " << result.signal;
        EXPECT_EQ(result.exit_code, c.exit_code) << result.standard_error;
        EXPECT_NE(result.standard_error.find("zolt: error: " + c.report + "\n"), std::string::npos)
            << result.standard_error;
        std::filesystem::remove_all(run.working_folder);
    }
}

TEST(ZoltProgram, HelpRequestPrintsUsage) {
    for (const char* argument : {"h", "?", "--h", "-?"}) {
        test::ProgramRun run;
        run.arguments = {argument};
        const test::ChildResult result = test::run_program(ZOLT_BINARY_PATH, run);
        EXPECT_EQ(result.exit_code, ExitCode::normal_end) << argument;
        EXPECT_NE(result.standard_output.find("usage: zolt"), std::string::npos) << argument;
    }
}

}  // namespace
}  // namespace zolt

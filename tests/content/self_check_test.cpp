#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "libs/io/temporary_folder.h"
#include "platform/display/xvfb_server.h"
#include "support/child_process.h"
#include "zasm/lib/zasm_command.h"
#include "zolt/core/script_objects/random_generator.h"

namespace zolt {
namespace {

// The first task builds the sample level's rooms (without its viewport: this
// run draws nothing), runs the sample content's self-check and quits, so the
// whole road runs in the real program: pack list, pack, code objects,
// tasks waiting on their clock, messages and listeners, strings, arrays,
// dictionaries, placements, random generators, a stack of physics crates,
// the sample's texture pack made into texture objects, the sample level's
// rooms found by point, the configuration file and the quit builtin.
constexpr const char* first_task = R"(.code 0 1
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
)";

// The game pack with the first task above, beside the sample's texture and
// level packs as the build made them.
bool assemble_packs(const test::TemporaryFolder& folder) {
    const std::string main_source = folder.write_file("main.zasm", first_task);
    const std::string pack = folder.get_path("game.pack");
    const std::string self_check = std::string(ZOLT_CONTENT_SOURCE_PATH) + "/self_check.zasm";
    const std::string crates = std::string(ZOLT_CONTENT_SOURCE_PATH) + "/crates.zasm";
    const std::string level = std::string(ZOLT_CONTENT_SOURCE_PATH) + "/level.zasm";
    const std::string figure = std::string(ZOLT_CONTENT_SOURCE_PATH) + "/figure.zasm";
    std::vector<const char*> arguments = {
        "zasm",         "assemble",    "--key",       "0", pack.c_str(), main_source.c_str(), self_check.c_str(),
        crates.c_str(), level.c_str(), figure.c_str()};
    if (tools::run_zasm(static_cast<int>(arguments.size()), const_cast<char**>(arguments.data())) != 0) {
        return false;
    }
    for (const char* name : {"textures.pack", "level.pack", "figure.pack"}) {
        std::filesystem::copy_file(std::string(ZOLT_CONTENT_PATH) + "/" + name, folder.get_path(name));
    }
    folder.write_file("pack.list", "game.pack\ntextures.pack\nlevel.pack\nfigure.pack\n");
    return true;
}

TEST(SelfCheck, TheSampleSelfCheckPassesInTheProgramUnderXAndTheGameQuits) {
    test::XvfbServer server;
    if (!test::XvfbServer::is_installed()) {
        GTEST_SKIP() << server.get_failure();
    }
    ASSERT_TRUE(server.is_running()) << server.get_failure();
    const test::TemporaryFolder folder;
    ASSERT_TRUE(assemble_packs(folder));
    // The configuration file must exist when it is named.
    folder.write_file("result.txt", "");

    test::ProgramRun run;
    run.arguments = {"config", "result.txt", "window_width", "160", "window_height", "120"};
    run.environment_overrides = {"DISPLAY=" + server.get_display()};
    run.working_folder = folder.get_folder().string();
    // A sanitized start and stop is slow on a loaded machine.
    run.timeout_milliseconds = 90000;
    const test::ChildResult result = test::run_program(ZOLT_BINARY_PATH, run);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exit_code, ExitCode::normal_end) << result.standard_error;

    core::RandomGenerator seeded;
    seeded.seed(12345);
    seeded.next();
    seeded.next();
    const std::string written = test::read_file_bytes(folder.get_path("result.txt"));
    EXPECT_NE(written.find("dm_levels = 8191\r\n"), std::string::npos) << written;
    EXPECT_NE(written.find("tdm_levels = " + std::to_string(seeded.next()) + "\r\n"), std::string::npos) << written;
}

}  // namespace
}  // namespace zolt

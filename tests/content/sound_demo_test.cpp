#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "libs/io/temporary_folder.h"
#include "platform/display/xvfb_server.h"
#include "support/child_process.h"
#include "zasm/lib/zasm_command.h"

namespace zolt {
namespace {

// Four seconds of 48 kHz stereo float samples: the hum has faded in and
// footsteps were heard by then.
constexpr uintmax_t heard_bytes_wanted = 4 * 48000 * 2 * sizeof(float);

// The first task starts only the sample level's sounds and waits, since the
// tasks it starts end with it.
constexpr const char* first_task = R"(.code 0 1
.entry quiet
.entry main
quiet:
    end_task
main:
    push_zero
    push_word code(0, 4, 1)
    start_task
idle:
    set_r0 100000
    wait
    jump idle
)";

// The whole program plays the sample level's sounds on SDL's disk driver,
// which writes what was heard (32-bit float samples) to a file: the hall's
// hum fades in and the first footsteps sound within the first seconds. Its
// window must be the active one, or the game is silent: hence the X server.
TEST(SoundDemo, TheSampleLevelIsHeardThroughTheDiskDriver) {
    test::XvfbServer server;
    if (!test::XvfbServer::is_installed()) {
        GTEST_SKIP() << server.get_failure();
    }
    ASSERT_TRUE(server.is_running()) << server.get_failure();
    const test::TemporaryFolder folder;
    const std::string main_source = folder.write_file("main.zasm", first_task);
    const std::string pack = folder.get_path("game.pack");
    const std::string demo = std::string(ZOLT_CONTENT_SOURCE_PATH) + "/sound_demo.zasm";
    std::vector<const char*> arguments = {"zasm",       "assemble",          "--key",     "0",
                                          pack.c_str(), main_source.c_str(), demo.c_str()};
    ASSERT_EQ(tools::run_zasm(static_cast<int>(arguments.size()), const_cast<char**>(arguments.data())), 0);
    for (const char* name : {"textures.pack", "sounds.pack"}) {
        std::filesystem::copy_file(std::string(ZOLT_CONTENT_PATH) + "/" + name, folder.get_path(name));
    }
    folder.write_file("pack.list", "game.pack\ntextures.pack\nsounds.pack\n");

    const std::string heard = folder.get_path("heard.raw");
    test::ProgramRun run;
    run.working_folder = folder.get_folder().string();
    run.arguments = {"window_width", "160", "window_height", "120"};
    run.environment_overrides = {"DISPLAY=" + server.get_display(), "SDL_AUDIODRIVER=disk",
                                 "SDL_DISKAUDIOFILE=" + heard};
    // Ended once enough was heard; a loaded machine takes longer to get there.
    run.terminate_after_milliseconds = 30000;
    run.terminate_when = [&heard] {
        std::error_code error;
        return std::filesystem::file_size(heard, error) >= heard_bytes_wanted && !error;
    };
    run.timeout_milliseconds = 60000;
    const test::ChildResult result = test::run_program(ZOLT_BINARY_PATH, run);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exit_code, ExitCode::normal_end) << result.standard_error;

    const std::string bytes = test::read_file_bytes(heard);
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    ASSERT_GE(bytes.size(), heard_bytes_wanted) << "less than four seconds were written";
    double sum = 0.0;
    for (const float sample : samples) {
        ASSERT_TRUE(std::isfinite(sample) && std::fabs(sample) <= 1.0f);
        sum += double{sample} * sample;
    }
    EXPECT_GT(std::sqrt(sum / samples.size()), 0.005);
}

}  // namespace
}  // namespace zolt

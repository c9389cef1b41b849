#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/game_folder.h"

namespace zolt {
namespace {

// The whole program with sound: no device at all, SDL's silent driver, and
// SDL's disk driver, which writes what the program played to a file (what it
// writes is checked with the sample level's sounds, tests/content).
TEST(ZoltProgramSound, RunsWithoutErrorWithTheDeviceNoneTheDummyDriverAndTheDiskDriver) {
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::vector<std::string> environment;
    };
    const std::string folder = test::make_game_folder();
    const std::string heard = folder + "/heard.raw";
    const Case cases[] = {
        {"device none", {"xaudio_device_name=None"}, {"SDL_AUDIODRIVER=dummy"}},
        {"dummy driver", {}, {"SDL_AUDIODRIVER=dummy"}},
        {"disk driver", {"xaudio_device_name=default"}, {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + heard}},
    };
    for (const Case& row : cases) {
        test::ProgramRun run;
        run.terminate_after_milliseconds = 1500;
        run.working_folder = folder;
        run.arguments = row.arguments;
        run.environment_overrides = row.environment;
        const test::ChildResult result = test::run_program(ZOLT_BINARY_PATH, run);
        EXPECT_TRUE(result.exited) << row.name;
        EXPECT_EQ(result.exit_code, ExitCode::normal_end) << row.name << ": " << result.standard_error;
    }
}

}  // namespace
}  // namespace zolt

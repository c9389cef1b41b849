#include "zolt/core/config/config_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "libs/io/temporary_folder.h"
#include "libs/utility/config_command_line.h"
#include "libs/utility/config_text.h"
#include "support/child_process.h"
#include "zolt/core/config/config_support_builtins.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/program/engine.h"
#include "zolt/core/program/program_main.h"
#include "zolt/core/resources/language.h"
#include "zolt/physics/physx_server.h"
#include "zolt/sound/sound_manager.h"

namespace zolt {
namespace {

TEST(ConfigSupport, ModulesDeclareTheirRows) {
    struct Case {
        uint32_t number;
        const char* name;
        ConfigVariableType type;
        uint32_t flags;
        const void* storage;
    };
    const Case cases[] = {
        {7, "multithreading_mode", ConfigVariableType::Unsigned, config_written_when_changed, &multithreading_mode},
        {9, "show_subtitles", ConfigVariableType::Bool, config_profile_variable, nullptr},
        {31, "dm_player_limit", ConfigVariableType::Unsigned, config_profile_variable, nullptr},
        {37, "default_language", ConfigVariableType::Unsigned, config_always_written, &default_language},
        {38, "pack_list", ConfigVariableType::String, config_never_written, &pack_list},
        {43, "mouse_acceleration_factor", ConfigVariableType::Float, config_written_when_changed,
         &mouse_acceleration_factor},
        {47, "config", ConfigVariableType::String, config_never_written, &config},
        {50, "disable_physx_physics", ConfigVariableType::Bool, config_written_when_changed,
         &physics::disable_physx_physics},
        {55, "sound_environment_enabled", ConfigVariableType::Bool, config_written_when_changed,
         &sound::sound_environment_enabled},
        {56, "xaudio_device_name", ConfigVariableType::String, config_written_when_changed, &sound::xaudio_device_name},
        {125, "save_path", ConfigVariableType::String, config_written_when_changed, &save_path},
    };
    const ConfigVariableTable& table = get_config_variable_table();
    for (const Case& c : cases) {
        const ConfigVariableInfo* info = table.get_variable(c.number);
        ASSERT_NE(info, nullptr) << c.name;
        EXPECT_STREQ(info->name, c.name);
        EXPECT_EQ(info->type, c.type) << c.name;
        EXPECT_EQ(info->flags, c.flags) << c.name;
        if (c.storage != nullptr) {
            EXPECT_EQ(info->value, c.storage) << c.name;
        }
        EXPECT_TRUE(table.has_default_value(c.number)) << c.name;
    }
    for (uint32_t number : {4u, 5u, 6u, 46u, 52u, 53u, 54u, 94u, 115u, 116u, 121u, 122u, 127u}) {
        EXPECT_EQ(table.get_variable(number), nullptr) << number;
    }
    EXPECT_STREQ(save_path, ".");
    EXPECT_STREQ(pack_list, "pack.list");
    EXPECT_EQ(config, nullptr);
    EXPECT_EQ(default_language, 1u);
}

// The program's table is shared by the whole test process; these run apart.
std::map<std::string, std::string> run_with_program_table(const std::function<void()>& body) {
    const test::ChildResult result = test::run_in_child(body);
    EXPECT_EQ(result.exit_code, 0) << result.standard_error;
    std::map<std::string, std::string> values;
    size_t start = 0;
    for (size_t end; (end = result.standard_output.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = result.standard_output.substr(start, end - start);
        if (const size_t equals_sign = line.find('='); equals_sign != std::string::npos) {
            values[line.substr(0, equals_sign)] = line.substr(equals_sign + 1);
        }
    }
    return values;
}

void print_value(const char* name, uint32_t number) {
    std::printf("%s=%u\n", name, builtin_get_config_u32(number));
    std::fflush(stdout);
}

TEST(ConfigSupport, OutOfRangeAndUnparsedValuesLeaveVariablesAlone) {
    const auto values = run_with_program_table([] {
        const char* arguments[] = {"multithreading_mode", "7", "--Show_Subtitles=maybe", "--dm_frag_limit", "0x64"};
        parse_config_command_line(5, arguments);
        char text[] = "dm_player_limit = 1\ntdm_player_limit = 2\nconquest_score_limit=5000;\nteam_color = -1";
        parse_config_text(text);
        print_value("mode", 7);
        print_value("subtitles", 9);
        print_value("frag", 23);
        print_value("dm_players", 31);
        print_value("tdm_players", 32);
        print_value("score", 26);
        print_value("color", 35);
    });
    EXPECT_EQ(values.at("mode"), "2");
    EXPECT_EQ(values.at("subtitles"), "1");
    EXPECT_EQ(values.at("frag"), "100");
    EXPECT_EQ(values.at("dm_players"), "8");
    EXPECT_EQ(values.at("tdm_players"), "2");
    EXPECT_EQ(values.at("score"), "5000");
    EXPECT_EQ(values.at("color"), "2");
}

TEST(ConfigSupport, FileReadAfterTheCommandLineWins) {
    test::TemporaryFolder folder;
    folder.write_file("config.txt", "multithreading_mode = 1\nsave_path = \"/games/my saves\"\n");
    const std::string named = folder.write_file("named.txt", "multithreading_mode = 0\n");
    const std::string folder_path = folder.get_folder().string();
    const auto values = run_with_program_table([&] {
        std::filesystem::current_path(folder_path);
        const char* arguments[] = {"--multithreading_mode=0", "default_language", "3"};
        parse_config_command_line(3, arguments);
        core::load_startup_config_file();
        print_value("mode", 7);
        print_value("language", 37);
        std::printf("save_path=%s\n", save_path);
    });
    EXPECT_EQ(values.at("mode"), "1");
    EXPECT_EQ(values.at("language"), "3");
    EXPECT_EQ(values.at("save_path"), "/games/my saves");

    const auto named_values = run_with_program_table([&] {
        std::filesystem::current_path(folder_path);
        const char* arguments[] = {"config", named.c_str(), "multithreading_mode", "2"};
        parse_config_command_line(4, arguments);
        core::load_startup_config_file();
        print_value("mode", 7);
    });
    EXPECT_EQ(named_values.at("mode"), "0");

    const auto no_file_values = run_with_program_table([&] {
        std::filesystem::current_path(folder_path);
        const char* arguments[] = {"config", "", "multithreading_mode", "0"};
        parse_config_command_line(4, arguments);
        std::printf("no_path=%d\n", core::get_config_file_path() == nullptr);
        core::load_startup_config_file();
        print_value("mode", 7);
        std::printf("saved=%u\n", builtin_save_config_file());
    });
    EXPECT_EQ(no_file_values.at("no_path"), "1");
    EXPECT_EQ(no_file_values.at("mode"), "0");
    EXPECT_EQ(no_file_values.at("saved"), "0");

    const std::string missing = folder.get_path("missing.txt");
    const test::ChildResult result = test::run_in_child([&] {
        const char* arguments[] = {"config", missing.c_str()};
        parse_config_command_line(2, arguments);
        core::load_startup_config_file();
    });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("unable to open config file " + missing), std::string::npos);
}

TEST(ConfigSupport, ProgramReadsTheFileThatConfigNames) {
    test::TemporaryFolder folder;
    const std::string missing = folder.get_path("missing.txt");
    test::ProgramRun run;
    run.arguments = {"--config", missing};
    run.environment_overrides = {"HOME=" + folder.get_folder().string(),
                                 "XDG_DOCUMENTS_DIR=" + folder.get_folder().string()};
    const test::ChildResult result = test::run_program(ZOLT_BINARY_PATH, run);
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("unable to open config file " + missing), std::string::npos)
        << result.standard_error;
}

// The window's rows are always written, after the core's.
constexpr const char* always_written_window_lines =
    "window_width = 640\r\nwindow_height = 480\r\nuse_fullscreen = 0\r\nfullscreen_refresh_rate = 0\r\n";

TEST(ConfigSupport, SaveWithoutConfigWritesTheFileThatWasRead) {
    test::TemporaryFolder folder;
    const std::string folder_path = folder.get_folder().string();
    const auto values = run_with_program_table([&] {
        std::filesystem::current_path(folder_path);
        core::load_startup_config_file();
        set_config_unsigned(7, 1);
        set_config_unsigned(37, 4);
        std::printf("saved=%u\n", builtin_save_config_file());
    });
    EXPECT_EQ(values.at("saved"), "1");
    EXPECT_EQ(test::read_file_bytes(folder.get_path("config.txt")),
              std::string("multithreading_mode = 1\r\ndefault_language = 4\r\n") + always_written_window_lines);

    const std::string named = folder.get_path("Named.txt");
    const auto named_values = run_with_program_table([&] {
        const char* arguments[] = {"--config", named.c_str(), "--show_tutorial", "0"};
        parse_config_command_line(4, arguments);
        std::printf("path=%s\n", core::get_config_file_path());
        std::printf("saved=%u\n", builtin_save_config_file());
    });
    EXPECT_EQ(named_values.at("path"), named);
    EXPECT_EQ(named_values.at("saved"), "1");
    EXPECT_EQ(test::read_file_bytes(named),
              std::string("show_tutorial = 0\r\ndefault_language = 1\r\n") + always_written_window_lines);
}

TEST(ConfigSupport, BuiltinsConvertBetweenTypesAndNeverWriteOverStorage) {
    const auto values = run_with_program_table([] {
        // A number given to a string variable changes nothing.
        const char* arguments[] = {"config", "x.txt"};
        parse_config_command_line(2, arguments);
        const char* const before = config;
        set_config_unsigned(47, 0x1234);
        set_config_signed(47, -1);
        set_config_float(47, 1.0f);
        set_config_bool(47, 1);
        std::printf("config_kept=%d\n", config == before && std::strcmp(config, "x.txt") == 0);
        std::printf("config_reads=%u %d %g %u %g\n", builtin_get_config_u32(47), builtin_get_config_s32(47),
                    builtin_get_config_float(47), builtin_get_config_bool(47), builtin_get_config_as_float(47));
        // Bool variables take any non-zero value as true, NaN included.
        set_config_unsigned(9, 256);
        std::printf("subtitles_256=%u\n", builtin_get_config_u32(9));
        set_config_by_type(9, 0.0f);
        std::printf("subtitles_0=%u\n", builtin_get_config_bool(9));
        set_config_by_type(9, std::nanf(""));
        std::printf("subtitles_nan=%u\n", builtin_get_config_s32(9));
        // Floats to integers truncate toward zero; what the type cannot hold,
        // or the range refuses, is ignored.
        set_config_by_type(7, 1.9f);
        print_value("mode_1_9", 7);
        set_config_by_type(7, -1.0f);
        set_config_float(7, std::nanf(""));
        set_config_float(7, 3.0f);
        print_value("mode_after_refusals", 7);
        set_config_signed(27, -1);
        std::printf("levels=%u %d\n", builtin_get_config_u32(27), builtin_get_config_s32(27));
        set_config_float(27, 6e9f);
        print_value("levels_after_huge", 27);
        // Integers to floats convert.
        set_config_unsigned(10, 1);
        std::printf("music=%g %g\n", builtin_get_config_float(10), builtin_get_config_as_float(10));
        set_config_by_type(10, 0.25f);
        std::printf("music_u32=%u\n", builtin_get_config_u32(10));
        std::printf("mode_float=%g\n", builtin_get_config_as_float(7));
        // Empty slots and numbers outside the table read as 0.
        std::printf("empty=%u %g %u\n", builtin_get_config_u32(4), builtin_get_config_as_float(0),
                    builtin_get_config_bool(200));
    });
    EXPECT_EQ(values.at("config_kept"), "1");
    EXPECT_EQ(values.at("config_reads"), "0 0 0 0 0");
    EXPECT_EQ(values.at("subtitles_256"), "1");
    EXPECT_EQ(values.at("subtitles_0"), "0");
    EXPECT_EQ(values.at("subtitles_nan"), "1");
    EXPECT_EQ(values.at("mode_1_9"), "1");
    EXPECT_EQ(values.at("mode_after_refusals"), "1");
    EXPECT_EQ(values.at("levels"), "4294967295 -1");
    EXPECT_EQ(values.at("levels_after_huge"), "4294967295");
    EXPECT_EQ(values.at("music"), "1 1");
    EXPECT_EQ(values.at("music_u32"), "0");
    EXPECT_EQ(values.at("mode_float"), "1");
    EXPECT_EQ(values.at("empty"), "0 0 0");
}

TEST(ConfigSupport, SettingAnEmptySlotIsFatal) {
    const test::ChildResult result = test::run_in_child([] { set_config_bool(4, 1); });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("Attempting to set config variable 4 which does not exist in current build"),
              std::string::npos);
}

// Arrays as the array server will keep them: words by handle.
class FakeArrays final : public ConfigArrayAccess {
public:
    uint32_t create_array(const uint32_t* words, uint32_t word_count) override {
        arrays[next_handle] = std::vector<uint32_t>(words, words + word_count);
        return next_handle++;
    }
    bool get_array_words(uint32_t handle, const uint32_t** words, uint32_t* word_count) override {
        const auto found = arrays.find(handle);
        if (found == arrays.end()) {
            return false;
        }
        *words = found->second.data();
        *word_count = static_cast<uint32_t>(found->second.size());
        return true;
    }
    void destroy_array(uint32_t handle) override { arrays.erase(handle); }

    std::map<uint32_t, std::vector<uint32_t>> arrays;
    uint32_t next_handle = 0x07000001;
};

std::string get_array_text(const std::vector<uint32_t>& words) {
    return std::string(reinterpret_cast<const char*>(words.data()));
}

TEST(ConfigSupport, ProfileExportAndImportRoundTrip) {
    const auto values = run_with_program_table([] {
        FakeArrays arrays;
        set_config_unsigned(23, 42);
        set_config_bool(9, 0);
        set_config_unsigned(7, 3);
        const uint32_t handle = builtin_get_profile_config(arrays);
        const std::vector<uint32_t>& words = arrays.arrays.at(handle);
        const std::string text = get_array_text(words);
        std::printf("sized=%d\n", words.size() == (text.size() + 4) / 4 && text.size() / 4 == words.size() - 1);
        std::printf("has_frag=%d\n", text.find("dm_frag_limit = 42\r\n") != std::string::npos);
        std::printf("has_mode=%d\n", text.find("multithreading_mode") != std::string::npos);
        std::printf("starts=%s\n", text.substr(0, text.find('\r')).c_str());

        set_config_unsigned(23, 10);
        set_config_bool(9, 1);
        builtin_set_profile_config(arrays, handle);
        print_value("frag", 23);
        print_value("subtitles", 9);
        std::printf("destroyed=%d\n", arrays.arrays.empty());

        // Left alone: an empty array, and text without its terminator.
        const uint32_t empty = arrays.create_array(nullptr, 0);
        builtin_set_profile_config(arrays, empty);
        const uint32_t unterminated_words[] = {0x3D202020, 0x20202031};
        const uint32_t unterminated = arrays.create_array(unterminated_words, 2);
        builtin_set_profile_config(arrays, unterminated);
        std::printf("kept=%zu\n", arrays.arrays.size());
    });
    EXPECT_EQ(values.at("sized"), "1");
    EXPECT_EQ(values.at("has_frag"), "1");
    EXPECT_EQ(values.at("has_mode"), "0");
    EXPECT_EQ(values.at("starts"), "show_subtitles = 0");
    EXPECT_EQ(values.at("frag"), "42");
    EXPECT_EQ(values.at("subtitles"), "0");
    EXPECT_EQ(values.at("destroyed"), "1");
    EXPECT_EQ(values.at("kept"), "2");

    const test::ChildResult result = test::run_in_child([] {
        FakeArrays arrays;
        builtin_set_profile_config(arrays, 0x12345678);
    });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("set_config_variables requires a configuration array"), std::string::npos);
}

}  // namespace
}  // namespace zolt

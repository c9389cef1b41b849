#include <gtest/gtest.h>

#include <filesystem>

#include "launcher/error_codes.h"
#include "launcher/launcher_config.h"
#include "launcher/launcher_fakes.h"
#include "libs/io/temporary_folder.h"
#include "platform/system/files.h"
#include "support/child_process.h"

namespace zolt::launcher {
namespace {

ConfigMachine make_machine() {
    ConfigMachine machine;
    machine.save_folder = "/home/player/Documents/Harlune/Quorvane/Saves";
    machine.language_number = 1;
    machine.is_video_mode_usable = [](uint32_t width, uint32_t height, bool, uint32_t) {
        return width >= 640 && height >= 480 && width <= 4096 && height <= 4096;
    };
    machine.sound_device_ids = {"default", "none", "device 7"};
    return machine;
}

// The launcher's keys as a file that needs nothing rewritten.
std::string make_clean_text(const std::string& extra = "") {
    return extra +
           "save_path = \"/home/player/Documents/Harlune/Quorvane/Saves\" ;\r\n"
           "xaudio_device_name = \"device 7\" ;\r\n"
           "window_width = 1024 ;\r\nwindow_height = 768 ;\r\nuse_fullscreen = 0 ;\r\n"
           "fullscreen_refresh_rate = 60 ;\r\ndefault_language = 1 ;\r\n";
}

TEST(LauncherConfigText, DefaultTextIsExactAndGivesTheDefaults) {
    EXPECT_EQ(default_config_text.size(), 131u);
    EXPECT_EQ(default_config_text,
              "xaudio_device_name = \"default\" ;\r\nwindow_width = 800 ;\r\nwindow_height = 600 ;\r\n"
              "use_fullscreen = 1 ;\r\nshadowmaps_enabled = 0 ;\r\n\r\n\r\n");
    ConfigRecord record;
    EXPECT_TRUE(parse_config(record, make_machine(), default_config_text));
    EXPECT_EQ(record.status & config_status::video_invalid, config_status::video_invalid);
    EXPECT_EQ(record.window_width, 800u);
    EXPECT_EQ(record.window_height, 600u);
    EXPECT_TRUE(record.use_fullscreen);
    ASSERT_EQ(record.unknown_pairs.size(), 1u);
    EXPECT_EQ(record.unknown_pairs[0].key, "shadowmaps_enabled");
}

TEST(LauncherConfigText, RoundTripKeepsUnknownKeysInOrderAndInTheirQuoting) {
    const ConfigMachine machine = make_machine();
    const std::string text = make_clean_text(
        "# a comment\r\nshadowmaps_enabled = 0 ;\r\nplayer_name = \"Ann Lee\"\r\n\r\nquote = 'say \"hi\"'\r\n"
        "empty_name = \"\"\r\nbind = 5 ;\r\nbind = 6 ;\r\n");
    ConfigRecord record;
    ASSERT_TRUE(parse_config(record, machine, text));
    EXPECT_EQ(record.status, 0u);
    EXPECT_EQ(record.window_width, 1024u);
    EXPECT_FALSE(record.use_fullscreen);
    EXPECT_EQ(record.xaudio_device_name, "device 7");
    const std::string written = write_config_text(record, machine);
    EXPECT_EQ(written,
              "shadowmaps_enabled = 0 ;\r\nplayer_name = \"Ann Lee\" ;\r\nquote = 'say \"hi\"' ;\r\n"
              "empty_name = \"\" ;\r\nbind = 5 ;\r\nbind = 6 ;\r\n" +
                  make_clean_text());
    ConfigRecord again;
    ASSERT_TRUE(parse_config(again, machine, written));
    EXPECT_EQ(write_config_text(again, machine), written);
}

TEST(LauncherConfigText, LineRulesDecideValidityAndWhatCounts) {
    struct Case {
        const char* name;
        std::string text;
        bool valid;
        uint32_t status;  // after parsing, when valid
        uint32_t width;
    };
    const std::string display = "window_height = 768\nuse_fullscreen = 1\nfullscreen_refresh_rate = 0\n";
    const std::string save_path = "save_path = /home/player/Documents/Harlune/Quorvane/Saves\n";
    const std::string language = "default_language = 1\n";
    const std::string rest = display + save_path + language;
    const Case cases[] = {
        {"fewer than four characters", "a=b\n" + rest, false, 0, 0},
        {"blanks make four", "a = b\n" + rest, true, config_status::video_invalid, 800},
        {"no equals sign", "window_width 1024\n" + rest, false, 0, 0},
        {"empty key", "\"\" = 5\n" + rest, false, 0, 0},
        {"bare empty value", "name = ;\n" + rest, false, 0, 0},
        {"capitals, no blanks, no semicolon", "WINDOW_WIDTH=1024\n" + rest, true, 0, 1024},
        {"number in quotes", "window_width = \"1024\"\n" + rest, true, 0, 1024},
        {"number with a unit is ignored", "window_width = 800px\n" + rest, true, config_status::video_invalid, 800},
        {"negative wraps and fails the display", "window_width = -1\n" + rest, true, config_status::video_invalid, 800},
        {"later line wins", "window_width = 640\nwindow_width = 1280\n" + rest, true, 0, 1280},
        {"other save folder asks for a rewrite", "window_width = 1024\nsave_path = /elsewhere\n" + display + language,
         true, config_status::needs_rewrite, 1024},
        {"other language asks for a rewrite", "window_width = 1024\ndefault_language = 3\n" + display + save_path, true,
         config_status::needs_rewrite, 1024},
        {"unknown sound device", "window_width = 1024\nxaudio_device_name = gone\n" + rest, true,
         config_status::sound_invalid, 1024},
        {"last line keeps its carriage return", rest + "window_width = 1024\r", true, config_status::video_invalid,
         800},
        {"junk", std::string("\x01\x02\x03\xFF garbage\n", 13) + rest, false, 0, 0},
    };
    for (const Case& row : cases) {
        ConfigRecord record;
        const bool valid = parse_config(record, make_machine(), row.text);
        EXPECT_EQ(valid, row.valid) << row.name;
        if (valid) {
            EXPECT_EQ(record.status, row.status) << row.name;
            EXPECT_EQ(record.window_width, row.width) << row.name;
        }
    }
}

class LauncherConfigFile : public ::testing::Test {
protected:
    LauncherConfigFile() : config_(ui_, make_machine(), folder_.get_path("Config.txt")) {}

    test::RecordingUi ui_;
    zolt::test::TemporaryFolder folder_;
    LauncherConfig config_;
};

TEST_F(LauncherConfigFile, BadFilesGiveTheirMessageAndTheDefaults) {
    struct Case {
        const char* name;
        bool is_folder;
        std::string text;
        uint32_t status;
        const char* message_code;  // empty: no message
    };
    const Case cases[] = {
        {"missing", false, "", config_status::no_usable_file, ""},
        {"empty", false, "", config_status::no_usable_file, "I-1006."},
        {"a folder", true, "", config_status::no_usable_file, "I-5."},
        {"junk", false, "\x01\x02\x03\n", config_status::invalid_entries, ""},
        {"truncated inside a line", false, make_clean_text().substr(0, make_clean_text().find("xaudio") + 10),
         config_status::invalid_entries, ""},
        {"too big", false, std::string(config_file_size_limit + 1, '#'), config_status::invalid_entries, ""},
    };
    for (const Case& row : cases) {
        std::filesystem::remove_all(config_.get_path());
        if (row.is_folder) {
            std::filesystem::create_directory(config_.get_path());
        } else if (std::string(row.name) != "missing") {
            folder_.write_file("Config.txt", row.text);
        }
        ui_.messages.clear();
        config_.get_record().window_width = 1;
        config_.load_config();
        EXPECT_EQ(config_.get_record().status, row.status) << row.name;
        EXPECT_EQ(config_.get_record().window_width, 800u) << row.name;
        EXPECT_TRUE(config_.is_changed()) << row.name;
        if (row.message_code[0] == 0) {
            EXPECT_TRUE(ui_.messages.empty()) << row.name;
        } else {
            ASSERT_EQ(ui_.messages.size(), 1u) << row.name;
            EXPECT_EQ(ui_.messages[0].title, "Problem with configuration file");
            EXPECT_NE(ui_.messages[0].text.find(config_.get_path()), std::string::npos);
            EXPECT_NE(ui_.messages[0].text.find(row.message_code), std::string::npos) << ui_.messages[0].text;
        }
    }
}

TEST_F(LauncherConfigFile, FileOfTheLimitIsReadAndARewriteIsSavedAtOnce) {
    std::string text = make_clean_text("player_name = x\r\n");
    text.replace(text.find("default_language = 1"), 20, "default_language = 3");
    text.append(config_file_size_limit - text.size(), '\n');
    folder_.write_file("Config.txt", text);
    EXPECT_TRUE(config_.load_config());
    EXPECT_EQ(config_.get_record().status, 0u);
    EXPECT_FALSE(config_.is_changed());
    const std::string saved = zolt::test::read_file_bytes(config_.get_path());
    EXPECT_EQ(saved, "player_name = x ;\r\n" + make_clean_text());
}

TEST_F(LauncherConfigFile, FailedSaveLeavesTheOldFileWholeAndNoTemporaryFile) {
    folder_.write_file("Config.txt", "old = 1\r\n");
    config_.set_changed();
    platform::inject_file_fault(platform::FileCall::write, ENOSPC);
    EXPECT_FALSE(config_.save_config());
    EXPECT_EQ(zolt::test::read_file_bytes(config_.get_path()), "old = 1\r\n");
    EXPECT_TRUE(config_.is_changed());
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_NE(ui_.messages[0].text.find("J-112."), std::string::npos) << ui_.messages[0].text;
    size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder_.get_folder())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1u);

    ui_.messages.clear();
    EXPECT_TRUE(config_.save_config());
    EXPECT_FALSE(config_.is_changed());
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(LauncherConfigFile, ReloadTakesTheGamesFileUnlessItIsBroken) {
    folder_.write_file("Config.txt", make_clean_text("bind = 1\r\n"));
    ASSERT_TRUE(config_.load_config());

    // The game leaves out what is at its default, language included.
    folder_.write_file("Config.txt",
                       "bind = 2\r\nwindow_width = 1280\r\nwindow_height = 1024\r\nuse_fullscreen = 1\r\n"
                       "fullscreen_refresh_rate = 0\r\n");
    config_.reload_config();
    EXPECT_EQ(config_.get_record().window_width, 1280u);
    ASSERT_EQ(config_.get_record().unknown_pairs.size(), 1u);
    EXPECT_EQ(config_.get_record().unknown_pairs[0].written_value, "2");
    EXPECT_EQ(config_.get_record().status, 0u);

    // An unusable display mode keeps the launcher's; other keys still come.
    folder_.write_file("Config.txt", "bind = 3\r\nwindow_width = 99999\r\n");
    config_.reload_config();
    EXPECT_EQ(config_.get_record().window_width, 1280u);
    EXPECT_EQ(config_.get_record().unknown_pairs[0].written_value, "3");

    for (const char* broken : {"a=b\r\n", ""}) {
        folder_.write_file("Config.txt", broken);
        config_.reload_config();
        EXPECT_EQ(config_.get_record().window_width, 1280u);
        EXPECT_EQ(config_.get_record().unknown_pairs[0].written_value, "3");
    }
    std::filesystem::remove(config_.get_path());
    config_.reload_config();
    EXPECT_EQ(config_.get_record().unknown_pairs[0].written_value, "3");
}

TEST_F(LauncherConfigFile, DeletingAFileThatIsNotThereSucceedsSilently) {
    EXPECT_TRUE(config_.delete_config());
    folder_.write_file("Config.txt", "a = b\r\n");
    EXPECT_TRUE(config_.delete_config());
    EXPECT_FALSE(std::filesystem::exists(config_.get_path()));
    EXPECT_TRUE(ui_.messages.empty());
}

}  // namespace
}  // namespace zolt::launcher

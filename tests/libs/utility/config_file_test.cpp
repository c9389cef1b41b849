#include "libs/utility/config_file.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "libs/io/temporary_folder.h"
#include "libs/utility/config_test_table.h"
#include "libs/utility/config_text.h"
#include "platform/system/files.h"
#include "support/child_process.h"

namespace zolt {
namespace {

using test::TestConfig;
using test::TemporaryFolder;
using test::read_file_bytes;

size_t count_entries(const std::filesystem::path& folder) {
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) {
        ++count;
    }
    return count;
}

TEST(ConfigFile, ReadsSettingsAndKeepsUnknownKeys) {
    TemporaryFolder folder;
    const std::string path = folder.write_file(
        "Config.txt", "# written by hand\r\ncount = 7\r\nwindow_width = 1024;\r\nKEY_A = \"jump high\"\r\n");
    auto config = TestConfig::make();
    load_config_file(config->table, true, path.c_str());
    EXPECT_EQ(config->count, 7u);
    EXPECT_STREQ(config->table.get_unknown_keys().find("window_width"), "1024");
    EXPECT_STREQ(config->table.get_unknown_keys().find("key_a"), "jump high");
}

TEST(ConfigFile, MissingFileReadsAsNothingUnlessItMustExist) {
    TemporaryFolder folder;
    const std::string path = folder.get_path("Config.txt");
    auto config = TestConfig::make();
    load_config_file(config->table, false, path.c_str());
    EXPECT_EQ(config->count, 5u);
    const test::ChildResult result = test::run_in_child([&path] {
        auto config = TestConfig::make();
        load_config_file(config->table, true, path.c_str());
    });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("unable to open config file " + path), std::string::npos);
}

TEST(ConfigFile, FileOf64KilobytesIsTooBig) {
    TemporaryFolder folder;
    // One byte less fits, however long its lines are.
    const std::string last_line = "\ncount = 7\n";
    const std::string fitting = std::string(65535 - last_line.size(), 'x') + last_line;
    const std::string fitting_path = folder.write_file("fits.txt", fitting);
    auto config = TestConfig::make();
    load_config_file(config->table, true, fitting_path.c_str());
    EXPECT_EQ(config->count, 7u);

    const std::string path = folder.write_file("big.txt", fitting + " ");
    const test::ChildResult result = test::run_in_child([&path] {
        auto config = TestConfig::make();
        load_config_file(config->table, false, path.c_str());
    });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("config file " + path + " is too big"), std::string::npos);
}

TEST(ConfigFile, GarbageNeverLosesTheSettingsAroundIt) {
    TemporaryFolder folder;
    std::string garbage("count = 7\n", 10);
    garbage += std::string("\0\x01\xFF\"'#;=\t \r", 12);
    garbage += std::string(30000, '=') + "\n" + std::string(20000, '\'') + "\n";
    garbage += "odd_line_without_value\nflag = 1\nlost_key = 'kept value'\n";
    const std::string path = folder.write_file("Config.txt", garbage);
    auto config = TestConfig::make();
    load_config_file(config->table, true, path.c_str());
    EXPECT_EQ(config->count, 7u);
    EXPECT_TRUE(config->flag);
    EXPECT_STREQ(config->table.get_unknown_keys().find("lost_key"), "kept value");

    ASSERT_TRUE(write_config_file(config->table, path.c_str()));
    auto read_back = TestConfig::make();
    load_config_file(read_back->table, true, path.c_str());
    EXPECT_EQ(read_back->count, 7u);
    EXPECT_TRUE(read_back->flag);
    EXPECT_STREQ(read_back->table.get_unknown_keys().find("lost_key"), "kept value");
}

TEST(ConfigFile, FirstSaveCreatesTheFileThroughATemporaryOne) {
    TemporaryFolder folder;
    const std::string path = folder.get_path("Config.txt");
    auto config = TestConfig::make();
    config->count = 9;
    ASSERT_TRUE(write_config_file(config->table, path.c_str()));
    EXPECT_EQ(read_file_bytes(path), "count = 9\r\noffset = -3\r\n");
    EXPECT_EQ(count_entries(folder.get_folder()), 1u);

    // The next save replaces it, keeping the keys it does not know.
    folder.write_file("Config.txt", "count = 9\nwindow_width = 800\nKEY_A = jump\n");
    auto reloaded = TestConfig::make();
    load_config_file(reloaded->table, true, path.c_str());
    reloaded->flag = true;
    ASSERT_TRUE(write_config_file(reloaded->table, path.c_str()));
    EXPECT_EQ(read_file_bytes(path), "flag = 1\r\ncount = 9\r\noffset = -3\r\nwindow_width = 800\r\nKEY_A = jump\r\n");
    EXPECT_EQ(count_entries(folder.get_folder()), 1u);
}

TEST(ConfigFile, TemporaryFileStaysBesideTheTarget) {
    TemporaryFolder folder;
    std::filesystem::create_directories(folder.get_folder() / "my.settings");
    const std::string path = folder.get_path("my.settings/Config");
    auto config = TestConfig::make();
    ASSERT_TRUE(write_config_file(config->table, path.c_str()));
    EXPECT_EQ(read_file_bytes(path), "offset = -3\r\n");
    EXPECT_EQ(count_entries(folder.get_folder()), 1u);
    EXPECT_EQ(count_entries(folder.get_folder() / "my.settings"), 1u);
    // A target named .tmp gets a temporary file of another name.
    const std::string tmp_path = folder.get_path("my.settings/Config.tmp");
    ASSERT_TRUE(write_config_file(config->table, tmp_path.c_str()));
    EXPECT_EQ(read_file_bytes(tmp_path), "offset = -3\r\n");
    EXPECT_EQ(count_entries(folder.get_folder() / "my.settings"), 2u);
}

TEST(ConfigFile, FailedSaveRemovesTheTemporaryFileAndKeepsTheOldOne) {
    TemporaryFolder folder;
    const std::string path = folder.write_file("Config.txt", "count = 2\n");
    auto config = TestConfig::make();
    const platform::FileCall failing_calls[] = {platform::FileCall::rename, platform::FileCall::write,
                                                platform::FileCall::close};
    for (platform::FileCall call : failing_calls) {
        platform::inject_file_fault(call, ENOSPC);
        EXPECT_FALSE(write_config_file(config->table, path.c_str())) << static_cast<uint32_t>(call);
        EXPECT_EQ(read_file_bytes(path), "count = 2\n");
        EXPECT_EQ(count_entries(folder.get_folder()), 1u);
    }
    EXPECT_FALSE(write_config_file(config->table, folder.get_path("missing/Config.txt").c_str()));
    EXPECT_EQ(count_entries(folder.get_folder()), 1u);
}

void dump_too_much(StringBuffer& buffer) {
    for (int line = 0; line < 7000; ++line) {
        buffer.append("KEY_NUMBER = action");
    }
}

TEST(ConfigFile, TextThatFillsTheBufferIsNotWritten) {
    TemporaryFolder folder;
    const std::string path = folder.write_file("Config.txt", "count = 2\n");
    auto config = TestConfig::make();
    ConfigHook hook;
    hook.dump = dump_too_much;
    config->table.register_hook(&hook);
    EXPECT_FALSE(write_config_file(config->table, path.c_str()));
    EXPECT_EQ(read_file_bytes(path), "count = 2\n");
    EXPECT_EQ(count_entries(folder.get_folder()), 1u);
    config->table.unregister_hook(&hook);
}

}  // namespace
}  // namespace zolt

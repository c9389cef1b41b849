#include "libs/utility/config_file.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "libs/io/temporary_folder.h"
#include "libs/utility/config_test_table.h"
#include "libs/utility/config_text.h"
#include "platform/system/files.h"
#include "support/child_process.h"

namespace zolt {
namespace {

using test::read_file_bytes;
using test::TemporaryFolder;
using test::TestConfig;

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
    const platform::FileFault faults[] = {
        {platform::FileCall::write, platform::FileFaultKind::fail, EIO, 0},
        {platform::FileCall::write, platform::FileFaultKind::short_transfer, 3, 0},
        {platform::FileCall::flush, platform::FileFaultKind::fail, EIO, 0},
    };
    for (const platform::FileFault& fault : faults) {
        platform::arm_file_fault(fault);
        EXPECT_FALSE(write_config_file(config->table, path.c_str())) << static_cast<uint32_t>(fault.kind);
        EXPECT_EQ(read_file_bytes(path), "count = 2\n");
        EXPECT_EQ(count_entries(folder.get_folder()), 1u);
    }
    EXPECT_FALSE(write_config_file(config->table, folder.get_path("missing/Config.txt").c_str()));
    EXPECT_EQ(count_entries(folder.get_folder()), 1u);
}

// A configuration whose file text holds value repeated count times.
std::unique_ptr<TestConfig> make_config_with(char value, size_t count) {
    auto config = TestConfig::make();
    std::string text = "KEY_TEXT = " + std::string(count, value) + "\n";
    parse_config_text(config->table, text.data(), static_cast<uint32_t>(text.size()), true);
    return config;
}

TEST(ConfigFile, WritersRacingAndKilledLeaveOneWritersWholeText) {
    TemporaryFolder folder;
    // Texts of different lengths, so that one cut into the other shows.
    const auto first = make_config_with('a', 20000);
    const auto second = make_config_with('b', 3000);
    const std::string first_path = folder.get_path("first.txt");
    const std::string second_path = folder.get_path("second.txt");
    ASSERT_TRUE(write_config_file(first->table, first_path.c_str()));
    ASSERT_TRUE(write_config_file(second->table, second_path.c_str()));
    const std::string first_text = read_file_bytes(first_path);
    const std::string second_text = read_file_bytes(second_path);
    const std::string path = folder.get_path("Config.txt");
    std::mt19937 random(18);
    for (int trial = 0; trial < 40; ++trial) {
        folder.write_file("Config.txt", first_text);
        pid_t writers[2];
        for (int index = 0; index < 2; ++index) {
            writers[index] = fork();
            ASSERT_GE(writers[index], 0);
            if (writers[index] == 0) {
                const ConfigVariableTable& table = index == 0 ? first->table : second->table;
                // A pause between creating the file and writing it widens
                // the window in which the other writer may replace the file.
                platform::FileFault stall;
                stall.call = platform::FileCall::write;
                stall.kind = platform::FileFaultKind::stall;
                stall.value = 1 + index;
                for (;;) {
                    platform::arm_file_fault(stall);
                    write_config_file(table, path.c_str());
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 30000));
        for (const pid_t writer : writers) {
            kill(writer, SIGKILL);
            waitpid(writer, nullptr, 0);
        }
        const std::string text = read_file_bytes(path);
        ASSERT_TRUE(text == first_text || text == second_text)
            << "trial " << trial << ": " << text.size() << " bytes, starting " << text.substr(0, 20);
    }
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

#include "libs/io/whole_file.h"

#include <gtest/gtest.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "libs/io/temporary_folder.h"
#include "platform/system/files.h"
#include "support/child_process.h"

namespace zolt::io {
namespace {

using test::TemporaryFolder;

TEST(WholeFile, ReadWholeFileFillsUpToCapacityLessOneAndEndsWithNul) {
    TemporaryFolder folder;
    char buffer[9];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_TRUE(read_whole_file(buffer, 9, folder.write_file("eight", "12345678").c_str(), "pack list", true));
    EXPECT_STREQ(buffer, "12345678");
    EXPECT_TRUE(read_whole_file(buffer, 9, folder.write_file("empty", "").c_str(), "pack list", true));
    EXPECT_STREQ(buffer, "");

    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_FALSE(read_whole_file(buffer, 9, folder.get_path("missing").c_str(), "pack list", false));
    EXPECT_EQ(buffer[0], 0);
}

TEST(WholeFile, ReadWholeFileHaltsThroughTheErrorRoutine) {
    TemporaryFolder folder;
    const std::string nine = folder.write_file("nine", "123456789");
    const std::string missing = folder.get_path("missing");
    struct Case {
        std::function<void()> act;
        std::string report;
    };
    const Case cases[] = {
        {[&] {
             char buffer[9];
             read_whole_file(buffer, 9, nine.c_str(), "configuration file", false);
         },
         "zolt: error: configuration file " + nine + " is too big\n"},
        {[&] {
             char buffer[9];
             read_whole_file(buffer, 9, missing.c_str(), "configuration file", true);
         },
         "zolt: error: unable to open configuration file " + missing + "\n"},
        {[&] {
             char buffer[16];
             platform::inject_file_fault(platform::FileCall::read, EIO);
             read_whole_file(buffer, 16, nine.c_str(), "pack list", false);
         },
         "zolt: error: error reading pack list " + nine + "\n"},
    };
    for (const Case& c : cases) {
        const test::ChildResult result = test::run_in_child(c.act);
        ASSERT_TRUE(result.exited);
        EXPECT_EQ(result.exit_code, ExitCode::crash) << result.standard_error;
        EXPECT_NE(result.standard_error.find(c.report), std::string::npos) << result.standard_error;
    }
}

TEST(WholeFile, WriteWholeFileReplacesContentAndAnswersFalseOnAnyFailure) {
    TemporaryFolder folder;
    const std::string path = folder.write_file("Config.txt", "a much longer old content");
    EXPECT_TRUE(write_whole_file(path.c_str(), "new", 3));
    EXPECT_EQ(test::read_file_bytes(path), "new");

    EXPECT_FALSE(write_whole_file(folder.get_path("no/such/folder").c_str(), "x", 1));
    EXPECT_FALSE(write_whole_file("/dev/full", "x", 1));
    platform::inject_file_fault(platform::FileCall::close, EIO);
    EXPECT_FALSE(write_whole_file(path.c_str(), "after", 5));
    EXPECT_EQ(test::read_file_bytes(path), "after");
}

TEST(WholeFile, ReadFileToNewBufferAnswersTheBytesOrNull) {
    TemporaryFolder folder;
    uint32_t length = 99;
    void* buffer = read_file_to_new_buffer(&length, folder.write_file("movie.ogg", "OggS data").c_str());
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(length, 9u);
    EXPECT_EQ(std::memcmp(buffer, "OggS data", 9), 0);
    std::free(buffer);

    buffer = read_file_to_new_buffer(&length, folder.write_file("empty.ogg", "").c_str());
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(length, 0u);
    std::free(buffer);

    length = 99;
    EXPECT_EQ(read_file_to_new_buffer(&length, folder.get_path("missing.ogg").c_str()), nullptr);
    EXPECT_EQ(length, 99u);
    EXPECT_EQ(read_file_to_new_buffer(nullptr, folder.get_path("no/folder.ogg").c_str()), nullptr);
    // A read that comes back short (the file shrank after its size was taken).
    platform::inject_file_fault(platform::FileCall::read, 0);
    EXPECT_EQ(read_file_to_new_buffer(&length, folder.get_path("movie.ogg").c_str()), nullptr);
}

TEST(WholeFile, FormatToBufferAlwaysTerminates) {
    char buffer[8];
    format_to_buffer(buffer, sizeof buffer, "%s\\%08u", "movies", 12u);
    EXPECT_STREQ(buffer, "movies\\");
    format_to_buffer(buffer, sizeof buffer, "%u", 42u);
    EXPECT_STREQ(buffer, "42");
    format_to_buffer(buffer, 1, "abc");
    EXPECT_STREQ(buffer, "");
}

}  // namespace
}  // namespace zolt::io

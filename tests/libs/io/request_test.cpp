#include "libs/io/request.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "libs/io/temporary_folder.h"
#include "platform/system/files.h"
#include "support/child_process.h"

namespace zolt::io {
namespace {

using test::TemporaryFolder;

TEST(IoRequest, WritesAndReadsAtTheirOffsetsAndTracksThePosition) {
    TemporaryFolder folder;
    const std::string path = folder.get_path("data.bin");
    Request request;
    request.do_open(path.c_str(), open_read_write_always);
    ASSERT_TRUE(request.handle_error(request.flags));
    EXPECT_EQ(request.position, 0u);

    request.do_write(10, "hello", 5);
    ASSERT_TRUE(request.handle_error(request.flags));
    EXPECT_EQ(request.transferred, 5u);
    EXPECT_EQ(request.position, 15u);
    request.do_write(2, "ab", 2);
    EXPECT_EQ(request.position, 4u);

    char text[6] = {};
    request.do_read(10, text, 5);
    ASSERT_TRUE(request.handle_error(request.flags));
    EXPECT_STREQ(text, "hello");
    EXPECT_EQ(request.position, 15u);
    EXPECT_EQ(request.get_file_size(), 15u);
    EXPECT_EQ(request.type, request_get_size);

    request.do_presize(100);
    EXPECT_EQ(request.error, 0u);
    EXPECT_EQ(request.get_file_size(), 100u);
    request.do_presize(3);
    EXPECT_EQ(request.get_file_size(), 3u);
    request.do_close();
    EXPECT_EQ(request.error, 0u);
    EXPECT_EQ(request.handle, platform::invalid_file_handle);
    EXPECT_EQ(test::read_file_bytes(path), std::string("\0\0a", 3));
}

TEST(IoRequest, ReadPastTheEndIsShortAndQuietOnlyWhenAsked) {
    TemporaryFolder folder;
    const std::string path = folder.write_file("twenty.bin", "0123456789abcdefghij");
    Request request;
    request.do_open(path.c_str(), open_read | quiet_short_read);
    char buffer[10] = {};
    request.do_read(16, buffer, 10);
    EXPECT_EQ(request.transferred, 4u);
    EXPECT_EQ(request.position, 20u);
    EXPECT_EQ(request.error, error_short_read);
    EXPECT_EQ(std::string(buffer, 4), "ghij");
    EXPECT_FALSE(request.handle_error(request.flags));
}

TEST(IoRequest, OpenModesCreateTruncateAndRefuseAsTheirTableSays) {
    struct Case {
        uint32_t mode;
        bool exists;
        uint32_t open_error;
        bool can_read;
        bool can_write;
        const char* content_after;  // null: no file
    };
    const Case cases[] = {
        {open_read, true, 0, true, false, "oldd"},
        {open_read, false, ENOENT, false, false, nullptr},
        {open_create_new, true, EEXIST, false, false, "oldd"},
        {open_create_new, false, 0, false, true, "new"},
        {open_create_always, true, 0, false, true, "new"},
        {open_write_always, true, 0, false, true, "newd"},
        {open_write_always, false, 0, false, true, "new"},
        {open_read_write, true, 0, true, true, "newd"},
        {open_read_write, false, ENOENT, false, false, nullptr},
        {open_read_write_always, false, 0, true, true, "new"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("mode " + std::to_string(c.mode) + (c.exists ? " existing" : " missing"));
        TemporaryFolder folder;
        const std::string path = c.exists ? folder.write_file("file", "oldd") : folder.get_path("file");
        Request request;
        request.do_open(path.c_str(), c.mode | quiet_failure);
        EXPECT_EQ(request.error, c.open_error);
        if (c.open_error == 0) {
            char byte;
            request.do_read(0, &byte, 1);
            EXPECT_EQ(request.error == 0 || request.error == error_short_read, c.can_read) << request.error;
            request.do_write(0, "new", 3);
            EXPECT_EQ(request.error == 0, c.can_write) << request.error;
            request.do_close();
        }
        if (c.content_after == nullptr) {
            EXPECT_FALSE(std::filesystem::exists(path));
        } else {
            EXPECT_EQ(test::read_file_bytes(path), c.content_after);
        }
    }
}

TEST(IoRequest, PathsTakeEitherSeparatorAndMustFitTheLimitAsUtf8) {
    TemporaryFolder folder;
    std::filesystem::create_directory(folder.get_path("packs"));
    folder.write_file("packs/pack.list", "x");
    Request request;
    request.do_open((folder.get_folder().string() + "\\packs\\pack.list").c_str(), open_read | quiet_failure);
    EXPECT_EQ(request.error, 0u);
    request.do_close();

    request.do_open("bad\xC3(name", open_read | quiet_failure);
    EXPECT_EQ(request.error, error_invalid_path);
    EXPECT_EQ(request.handle, platform::invalid_file_handle);
    request.do_open("overlong\xC0\xAF", open_read | quiet_failure);
    EXPECT_EQ(request.error, error_invalid_path);

    // 259 units and a NUL fit; a character outside the basic plane takes two.
    const std::string base = folder.get_path("");
    const std::string fits = base + std::string(max_path_units - 1 - base.size(), 'a');
    request.do_open(fits.c_str(), open_read | quiet_failure);
    EXPECT_EQ(request.error, static_cast<uint32_t>(ENOENT));
    request.do_open((fits + "a").c_str(), open_read | quiet_failure);
    EXPECT_EQ(request.error, error_invalid_path);
    const std::string two_units = fits.substr(0, fits.size() - 2) + "\xF0\x9F\x98\x80";
    request.do_open(two_units.c_str(), open_read | quiet_failure);
    EXPECT_EQ(request.error, static_cast<uint32_t>(ENOENT));
    request.do_open((fits.substr(0, fits.size() - 1) + "\xF0\x9F\x98\x80").c_str(), open_read | quiet_failure);
    EXPECT_EQ(request.error, error_invalid_path);
}

TEST(IoRequest, FourGigabyteFileHasNoThirtyTwoBitSize) {
    TemporaryFolder folder;
    const std::string path = folder.get_path("huge.bin");
    Request request;
    request.do_open(path.c_str(), open_read_write_always);
    ASSERT_EQ(platform::set_file_size(request.handle, 0xFFFFFFFFull), 0u);
    EXPECT_EQ(request.get_file_size(), 0xFFFFFFFFu);
    EXPECT_EQ(request.error, 0u);
    ASSERT_EQ(platform::set_file_size(request.handle, 0x100000000ull), 0u);
    EXPECT_EQ(request.get_file_size(), 0xFFFFFFFFu);
    EXPECT_EQ(request.error, error_file_too_large);
    EXPECT_FALSE(request.handle_error(open_read | quiet_file_too_large));
    request.do_presize(0);
}

// Two threads read one shared handle at different offsets at once; with a
// shared file pointer a seek of one would land between the other's seek and read.
TEST(IoRequest, ThreadsSharingOneHandleEachReadTheirOwnOffsets) {
    TemporaryFolder folder;
    std::string content(1 << 20, '\0');
    for (size_t index = 0; index < content.size(); ++index) {
        content[index] = static_cast<char>((index * 2654435761u) >> 13);
    }
    const std::string path = folder.write_file("pack.bin", content);
    Request owner;
    owner.do_open(path.c_str(), open_read);
    ASSERT_TRUE(owner.handle_error(owner.flags));

    std::atomic<int> mismatches{0};
    auto reader = [&](uint32_t seed) {
        Request request;
        request.flags = open_read | handle_not_owned;
        request.handle = owner.handle;
        std::vector<char> buffer(4096);
        for (uint32_t round = 0; round < 3000; ++round) {
            seed = seed * 1664525u + 1013904223u;
            const uint32_t offset = seed % (content.size() - buffer.size());
            request.do_read(offset, buffer.data(), static_cast<uint32_t>(buffer.size()));
            if (request.error != 0 || std::memcmp(buffer.data(), content.data() + offset, buffer.size()) != 0) {
                ++mismatches;
            }
        }
    };
    std::thread first(reader, 1u);
    std::thread second(reader, 2u);
    first.join();
    second.join();
    EXPECT_EQ(mismatches.load(), 0);
}

// Each row leaves a request in a failed state and asks handle_error; quiet
// rows answer false and the process goes on.
struct FailureCase {
    const char* name;
    std::function<bool(const TemporaryFolder&)> fail;
    ExitCode exit_code;
    // The crash report's lines, "{folder}" standing for the test's folder;
    // empty for a quiet failure.
    std::string report;
};

std::string io_error(uint64_t error, const char* verb) {
    return "zolt: error: IO error " + std::to_string(error) + " encountered while " + verb + " a file.";
}

// The report and the line after it that names the file and the reason.
std::string io_error(uint64_t error, const char* verb, const std::string& path, const std::string& reason) {
    return io_error(error, verb) + "\n" + path + ": " + reason;
}

bool open_and_handle(const std::string& path, uint32_t flags) {
    Request request;
    request.do_open(path.c_str(), flags);
    const bool answer = request.handle_error(flags);
    request.flags = quiet_failure;
    return answer;
}

TEST(IoRequestFailure, EachFailureIsQuietOrEndsWithTheFileExitCodeAndItsMessage) {
    // A quiet failure answers false and the child goes on to end normally.
    constexpr ExitCode quiet = ExitCode::normal_end;
    constexpr ExitCode io_failure = ExitCode::file_input_output;
    const std::vector<FailureCase> cases = {
        {"missing file", [](const TemporaryFolder& f) { return open_and_handle(f.get_path("none"), 0x1); }, io_failure,
         io_error(ENOENT, "opening", "{folder}/none", "No such file or directory")},
        {"missing file made quiet", [](const TemporaryFolder& f) { return open_and_handle(f.get_path("none"), 0x81); },
         quiet, ""},
        {"missing folder made quiet",
         [](const TemporaryFolder& f) { return open_and_handle(f.get_path("none/pack.list"), 0x81); }, quiet, ""},
        {"path through a file made quiet",
         [](const TemporaryFolder& f) { return open_and_handle(f.write_file("file", "") + "/x", 0x81); }, quiet, ""},
        {"path through a file",
         [](const TemporaryFolder& f) { return open_and_handle(f.write_file("file", "") + "/x", 0x1); }, io_failure,
         io_error(ENOTDIR, "opening")},
        {"missing folder while creating",
         [](const TemporaryFolder& f) { return open_and_handle(f.get_path("none/x"), 0x83); }, io_failure,
         io_error(ENOENT, "opening")},
        {"create new over an existing file",
         [](const TemporaryFolder& f) { return open_and_handle(f.write_file("file", ""), 0x2); }, io_failure,
         io_error(EEXIST, "opening")},
        {"path that is not UTF-8", [](const TemporaryFolder&) { return open_and_handle("\xFF", 0x81); }, io_failure,
         io_error(error_invalid_path, "opening", "\xFF", "the path is not well-formed UTF-8 or is too long")},
        {"folder", [](const TemporaryFolder& f) { return open_and_handle(f.get_folder().string(), 0x81); }, io_failure,
         io_error(EISDIR, "opening", "{folder}", "a folder, not a regular file")},
        {"FIFO without a writer, which must not block",
         [](const TemporaryFolder& f) {
             mkfifo(f.get_path("fifo").c_str(), 0600);
             return open_and_handle(f.get_path("fifo"), 0x81);
         },
         io_failure, io_error(platform::fifo_file_error, "opening", "{folder}/fifo", "a FIFO, not a regular file")},
        {"FIFO opened for writing without a reader",
         [](const TemporaryFolder& f) {
             mkfifo(f.get_path("fifo").c_str(), 0600);
             return open_and_handle(f.get_path("fifo"), 0x4);
         },
         io_failure, io_error(platform::fifo_file_error, "opening", "{folder}/fifo", "a FIFO, not a regular file")},
        {"device", [](const TemporaryFolder&) { return open_and_handle("/dev/zero", 0x1); }, io_failure,
         io_error(platform::device_file_error, "opening", "/dev/zero", "a device, not a regular file")},
        {"every failure quiet", [](const TemporaryFolder&) { return open_and_handle("\xFF", 0x41); }, quiet, ""},
        {"close of a closed handle",
         [](const TemporaryFolder& f) {
             Request request;
             request.do_open(f.write_file("file", "").c_str(), 0x1);
             platform::close_file(request.handle);
             request.do_close();
             return request.handle_error(0x1);
         },
         io_failure, io_error(EBADF, "closing")},
        {"short read",
         [](const TemporaryFolder& f) {
             Request request;
             request.do_open(f.write_file("file", "abc").c_str(), 0x1);
             char buffer[8];
             request.do_read(0, buffer, 8);
             return request.handle_error(0x1);
         },
         io_failure,
         io_error(error_short_read, "reading from", "{folder}/file", "the file ends before the bytes asked for")},
        {"short read made quiet",
         [](const TemporaryFolder& f) {
             Request request;
             request.do_open(f.write_file("file", "abc").c_str(), 0x101);
             char buffer[8];
             request.do_read(0, buffer, 8);
             return request.handle_error(0x101);
         },
         quiet, ""},
        {"read failing on the device is no short read",
         [](const TemporaryFolder& f) {
             Request request;
             request.do_open(f.write_file("file", "abc").c_str(), 0x101);
             platform::inject_file_fault(platform::FileCall::read, EIO);
             char buffer[8];
             request.do_read(0, buffer, 8);
             return request.handle_error(0x101);
         },
         io_failure, io_error(EIO, "reading from", "{folder}/file", "Input/output error")},
        {"write to a full disk",
         [](const TemporaryFolder& f) {
             Request request;
             request.do_open(f.get_path("file").c_str(), 0x3);
             platform::inject_file_fault(platform::FileCall::write, ENOSPC);
             request.do_write(0, "data", 4);
             return request.handle_error(0x3);
         },
         io_failure, io_error(ENOSPC, "writing to", "{folder}/file", "No space left on device")},
        {"write that moves too few bytes",
         [](const TemporaryFolder& f) {
             Request request;
             request.do_open(f.get_path("file").c_str(), 0x3);
             platform::inject_file_fault(platform::FileCall::write, 0);
             request.do_write(0, "data", 4);
             return request.handle_error(0x3);
         },
         io_failure,
         io_error(error_short_write, "writing to", "{folder}/file", "the disk took fewer bytes than were written")},
        {"presize of a file open for reading",
         [](const TemporaryFolder& f) {
             Request request;
             request.do_open(f.write_file("file", "").c_str(), 0x1);
             request.do_presize(64);
             return request.handle_error(0x1);
         },
         io_failure, io_error(EINVAL, "presizing")},
        {"size of 4 GB",
         [](const TemporaryFolder& f) {
             Request request;
             request.do_open(f.get_path("file").c_str(), 0x6);
             platform::set_file_size(request.handle, 0x100000000ull);
             request.get_file_size();
             return request.handle_error(0x1);
         },
         io_failure, io_error(error_file_too_large, "getting size of")},
        {"size of 4 GB made quiet",
         [](const TemporaryFolder& f) {
             Request request;
             request.do_open(f.get_path("file").c_str(), 0x206);
             platform::set_file_size(request.handle, 0x100000000ull);
             request.get_file_size();
             return request.handle_error(0x201);
         },
         quiet, ""},
        {"size of a closed handle",
         [](const TemporaryFolder& f) {
             Request request;
             request.do_open(f.write_file("file", "").c_str(), 0x1);
             platform::close_file(request.handle);
             request.get_file_size();
             return request.handle_error(0x201);
         },
         io_failure, io_error(EBADF, "getting size of")},
        {"close failing when the request is destroyed",
         [](const TemporaryFolder& f) {
             Request request;
             request.do_open(f.write_file("file", "").c_str(), 0x1);
             platform::inject_file_fault(platform::FileCall::close, EIO);
             return true;
         },
         io_failure, io_error(EIO, "closing")},
        {"open mode 7", [](const TemporaryFolder& f) { return open_and_handle(f.get_path("file"), 0x47); },
         ExitCode::crash, "zolt: fatal error: Invalid open flags 0x00000047"},
        {"request type outside the table",
         [](const TemporaryFolder&) {
             Request request;
             request.type = 7;
             request.error = 5;
             return request.handle_error(0);
         },
         ExitCode::crash, "zolt: fatal error: Invalid IO request type 7."},
        {"queued request of an unknown type",
         [](const TemporaryFolder&) {
             Request request;
             request.type = 9;
             request.process_request();
             return true;
         },
         ExitCode::crash, "zolt: fatal error: unknown request type 9"},
    };
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder folder;
        const test::ChildResult result = test::run_in_child([&] {
            const bool answer = c.fail(folder);
            std::fprintf(stderr, "answered %d\n", answer ? 1 : 0);
        });
        ASSERT_TRUE(result.exited);
        EXPECT_EQ(result.exit_code, c.exit_code) << result.standard_error;
        if (c.report.empty()) {
            EXPECT_NE(result.standard_error.find("answered 0"), std::string::npos) << result.standard_error;
            EXPECT_EQ(result.standard_error.find("zolt:"), std::string::npos) << result.standard_error;
        } else {
            std::string report = c.report;
            for (size_t at; (at = report.find("{folder}")) != std::string::npos;) {
                report.replace(at, 8, folder.get_folder().string());
            }
            EXPECT_NE(result.standard_error.find(report + "\n"), std::string::npos) << result.standard_error;
            EXPECT_EQ(result.standard_error.find("answered"), std::string::npos) << result.standard_error;
        }
    }
}

}  // namespace
}  // namespace zolt::io

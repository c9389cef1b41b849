#include <gtest/gtest.h>
#include <zlib.h>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "libs/io/temporary_folder.h"
#include "libs/utility/crc32.h"
#include "platform/system/files.h"
#include "support/child_process.h"
#include "zolt/storage/load_stream_file.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_file_layout.h"
#include "zolt/storage/save_status.h"
#include "zolt/storage/save_stream_file.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::storage {
namespace {

using test::TemporaryFolder;

// Save files in a temporary folder, named as the game names them and joined
// with the backslash the game writes.
class TestSaveFiles final : public SaveFileProvider {
public:
    explicit TestSaveFiles(const TemporaryFolder& folder) : folder_(folder.get_folder().string()) {
        for (uint32_t index = 0; index < storage_block_size; ++index) {
            record_[index] = static_cast<uint8_t>(index * 13 + 1);
        }
        const uint32_t crc = compute_crc32(record_, storage_block_size);
        std::memcpy(record_ + storage_block_size, &crc, 4);
    }
    bool make_save_file_path(uint32_t save_id, char* path, uint32_t capacity) const override {
        const int length = std::snprintf(path, capacity, "%s\\s%03u%05u.zsv", folder_.c_str(), (save_id >> 16) & 0xFF,
                                         save_id & 0xFFFF);
        return length > 0 && static_cast<uint32_t>(length) < capacity;
    }
    const uint8_t* get_storage_record() const override { return record_; }

    std::string get_path(uint32_t save_id) const {
        char path[1100];
        make_save_file_path(save_id, path, sizeof path);
        std::string native = path;
        native[folder_.size()] = '/';
        return native;
    }
    std::vector<std::string> list_folder() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

private:
    std::string folder_;
    uint8_t record_[storage_record_size];
};

constexpr uint32_t save_id = 0x00030005;

float float_from_bits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, 4);
    return value;
}

uint32_t bits_of(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return bits;
}

void write_every_field(SaveStream& stream) {
    stream.write_u8(0xFE);
    stream.write_u16(0xBEEF);
    stream.write_u32(0xDEADBEEF);
    stream.write_s8(-5);
    stream.write_s16(-30000);
    stream.write_s32(std::numeric_limits<int32_t>::min());
    stream.write_f32(1.5f);
    stream.write_f32(float_from_bits(0x7FC01234));
    stream.write_f32(-0.0f);
    stream.write_bool(true);
    stream.write_bool(false);
    stream.write_u32_pair(0x11223344, 0x55667788);
    stream.write("xyz", 3);
}

// The layout the fields above must have: little-endian, each with its width.
const std::vector<uint8_t> every_field_bytes = {0xFE, 0xEF, 0xBE, 0xEF, 0xBE, 0xAD, 0xDE, 0xFB, 0xD0, 0x8A,
                                                0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0xC0, 0x3F, 0x34, 0x12,
                                                0xC0, 0x7F, 0x00, 0x00, 0x00, 0x80, 0x01, 0x00, 0x44, 0x33,
                                                0x22, 0x11, 0x88, 0x77, 0x66, 0x55, 'x',  'y',  'z'};

void check_every_field(LoadStream& stream) {
    EXPECT_EQ(stream.read_u8(), 0xFE);
    EXPECT_EQ(stream.read_u16(), 0xBEEF);
    EXPECT_EQ(stream.read_u32(), 0xDEADBEEFu);
    EXPECT_EQ(stream.read_s8(), -5);
    EXPECT_EQ(stream.read_s16(), -30000);
    EXPECT_EQ(stream.read_s32(), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(stream.read_f32(), 1.5f);
    EXPECT_EQ(bits_of(stream.read_f32()), 0x7FC01234u);
    EXPECT_EQ(bits_of(stream.read_f32()), 0x80000000u);
    EXPECT_TRUE(stream.read_bool());
    EXPECT_FALSE(stream.read_bool());
    uint32_t first = 0;
    uint32_t second = 0;
    stream.read_u32_pair(first, second);
    EXPECT_EQ(first, 0x11223344u);
    EXPECT_EQ(second, 0x55667788u);
    char text[3];
    stream.read(text, 3);
    EXPECT_EQ(std::string(text, 3), "xyz");
}

bool save_bytes(const TestSaveFiles& files, uint32_t id, const std::string& bytes) {
    FileSaveStream stream(files);
    if (!stream.open(id)) {
        return false;
    }
    stream.write(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return stream.finish();
}

// The stream bytes of a save, or "refused" when the load refuses it.
std::string load_bytes(const TestSaveFiles& files, uint32_t id) {
    FileLoadStream stream(files);
    if (!stream.open(id)) {
        return "refused";
    }
    std::string bytes(stream.get_remaining_size(), '\0');
    stream.read(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return bytes;
}

void write_filler(SaveStream& stream, uint32_t byte_count) {
    static const std::vector<uint8_t> filler(1 << 16, 0xA5);
    while (byte_count > 0) {
        const uint32_t count = std::min<uint32_t>(byte_count, static_cast<uint32_t>(filler.size()));
        stream.write(filler.data(), count);
        byte_count -= count;
    }
}

TEST(SaveStreams, EveryFieldTypeRoundTripsLittleEndianThroughAFile) {
    TemporaryFolder folder;
    TestSaveFiles files(folder);
    {
        FileSaveStream stream(files);
        ASSERT_TRUE(stream.open(save_id));
        write_every_field(stream);
        ASSERT_TRUE(stream.finish());
    }
    const std::string file = test::read_file_bytes(files.get_path(save_id));
    ASSERT_EQ(file.size(), save_stream_offset + every_field_bytes.size() + 4);
    EXPECT_EQ(std::memcmp(file.data() + save_stream_offset, every_field_bytes.data(), every_field_bytes.size()), 0);

    FileLoadStream stream(files);
    ASSERT_TRUE(stream.open(save_id));
    EXPECT_EQ(get_save_status(), save_status_none);
    EXPECT_EQ(stream.get_remaining_size(), every_field_bytes.size());
    check_every_field(stream);
    EXPECT_FALSE(stream.can_read(1));
    EXPECT_TRUE(stream.can_read(0));
}

TEST(SaveStreams, EveryFieldTypeRoundTripsThroughAMemorySlot) {
    MemorySaveStream save;
    ASSERT_TRUE(save.open(0x10000002));
    write_every_field(save);
    ASSERT_TRUE(save.finish());
    MemoryLoadStream load;
    ASSERT_TRUE(load.open(0x10000002));
    EXPECT_EQ(load.get_remaining_size(), save_stream_capacity);
    check_every_field(load);
}

TEST(SaveStreams, TenByteSaveIsReservedAreaStorageRecordStreamAndCrc) {
    TemporaryFolder folder;
    TestSaveFiles files(folder);
    ASSERT_TRUE(save_bytes(files, save_id, "0123456789"));
    const std::string file = test::read_file_bytes(files.get_path(save_id));
    ASSERT_EQ(file.size(), 16388u + 10 + 4);
    EXPECT_EQ(file.substr(0, 12288), std::string(12288, '\0'));
    EXPECT_EQ(std::memcmp(file.data() + 12288, files.get_storage_record(), 4100), 0);
    EXPECT_EQ(file.substr(16388, 10), "0123456789");
    const uint32_t expected_register =
        static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>("0123456789"), 10)) ^ 0xFFFFFFFFu;
    uint32_t stored_register;
    std::memcpy(&stored_register, file.data() + file.size() - 4, 4);
    EXPECT_EQ(stored_register, expected_register);
    EXPECT_EQ(compute_crc32(file.data() + 16388, 14), 0u);
    EXPECT_EQ(files.list_folder(), std::vector<std::string>{"s00300005.zsv"});
    EXPECT_EQ(load_bytes(files, save_id), "0123456789");
}

// A stream with a small buffer that counts its flushes.
class CountingSaveStream final : public SaveStream {
public:
    CountingSaveStream() { set_buffer(buffer_, sizeof buffer_); }
    bool open(uint32_t) override { return true; }
    bool finish() override { return true; }
    std::vector<uint32_t> flushes;
    std::string flushed;

protected:
    void flush_buffer(uint8_t*& buffer, uint32_t& buffer_size, uint32_t used) override {
        flushes.push_back(used);
        flushed.append(reinterpret_cast<const char*>(buffer), used);
    }

private:
    uint8_t buffer_[16];
};

TEST(SaveStreams, FlushComesWithTheFirstWriteThatFindsTheBufferFull) {
    CountingSaveStream stream;
    stream.write("0123456789abcdef", 16);
    EXPECT_TRUE(stream.flushes.empty());
    stream.write_u8('g');
    EXPECT_EQ(stream.flushes, std::vector<uint32_t>{16});
    EXPECT_EQ(stream.flushed, "0123456789abcdef");
    // A field split across the end of the buffer.
    stream.write("hijklmnopqrstu", 14);
    stream.write_u32(0x78777676);
    EXPECT_EQ(stream.flushes, (std::vector<uint32_t>{16, 16}));
    EXPECT_EQ(stream.flushed, "0123456789abcdefghijklmnopqrstuv");
}

// A stream fed in chunks of three bytes.
class ChunkedLoadStream final : public LoadStream {
public:
    explicit ChunkedLoadStream(std::string data) : data_(std::move(data)) {}
    bool open(uint32_t) override { return true; }
    uint32_t consumed = 0;

protected:
    uint32_t fill_buffer(uint8_t*& buffer, uint32_t& buffer_size) override {
        const size_t count = std::min<size_t>(3, data_.size() - offset_);
        std::memcpy(chunk_, data_.data() + offset_, count);
        offset_ += count;
        buffer = chunk_;
        buffer_size = static_cast<uint32_t>(count);
        return buffer_size;
    }
    void buffer_consumed(uint8_t* buffer, uint32_t buffer_size) override {
        EXPECT_EQ(buffer, chunk_);
        ++consumed;
    }

private:
    std::string data_;
    size_t offset_ = 0;
    uint8_t chunk_[3];
};

TEST(LoadStreams, ReadsAcrossRefillsAndReportsEachUsedUpBuffer) {
    ChunkedLoadStream stream(
        std::string(reinterpret_cast<const char*>(every_field_bytes.data()), every_field_bytes.size()));
    check_every_field(stream);
    EXPECT_EQ(stream.consumed, every_field_bytes.size() / 3);
}

TEST(LoadStreams, FileLoadRefusesDamagedAndTruncatedFilesWithStatus6) {
    TemporaryFolder folder;
    TestSaveFiles files(folder);
    const std::string stream_bytes(1000, 'w');
    ASSERT_TRUE(save_bytes(files, save_id, stream_bytes));
    const std::string good = test::read_file_bytes(files.get_path(save_id));
    struct Case {
        const char* name;
        std::string file;
    };
    std::vector<Case> cases;
    for (const size_t offset : {size_t{16388}, size_t{16388 + 500}, size_t{16388 + 999}, good.size() - 1}) {
        std::string damaged = good;
        damaged[offset] ^= 0x10;
        cases.push_back({"flipped byte", damaged});
    }
    for (const size_t size : {good.size() - 1, size_t{16388 + 3}, size_t{16388}, size_t{16387}, size_t{0}}) {
        cases.push_back({"truncated", good.substr(0, size)});
    }
    // A stream part of its CRC alone is a valid empty stream.
    cases.push_back({"empty stream", good.substr(0, 16388) + std::string("\xFF\xFF\xFF\xFF", 4)});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.file.size()));
        folder.write_file("s00300005.zsv", c.file);
        const bool is_empty_stream = c.file.size() == 16392 && c.file.substr(16388) == "\xFF\xFF\xFF\xFF";
        EXPECT_EQ(load_bytes(files, save_id), is_empty_stream ? "" : "refused");
        EXPECT_EQ(get_save_status(), is_empty_stream ? save_status_none : save_status_bad_file);
    }

    folder.write_file("s00300005.zsv", good);
    std::filesystem::resize_file(files.get_path(save_id), 16388 + save_stream_capacity + 1);
    EXPECT_EQ(load_bytes(files, save_id), "refused");
    EXPECT_EQ(get_save_status(), save_status_bad_file);

    EXPECT_EQ(load_bytes(files, 0x00030006), "refused");
    EXPECT_EQ(get_save_status(), save_status_file_error);
}

TEST(LoadStreams, ReadingPastTheEndOfALoadedStreamPanics) {
    TemporaryFolder folder;
    TestSaveFiles files(folder);
    ASSERT_TRUE(save_bytes(files, save_id, "abcd"));
    const test::ChildResult past_end = test::run_in_child([&] {
        FileLoadStream stream(files);
        if (stream.open(save_id)) {
            stream.read_u32();
            stream.read_u8();
        }
    });
    const test::ChildResult refused = test::run_in_child([&] {
        FileLoadStream stream(files);
        stream.open(0x00030009);
        stream.read_u8();
    });
    for (const test::ChildResult& result : {past_end, refused}) {
        EXPECT_EQ(result.exit_code, ExitCode::crash);
        EXPECT_NE(
            result.standard_error.find("zolt: fatal error: no fill buffer callback when load buffer became empty"),
            std::string::npos)
            << result.standard_error;
    }
}

TEST(FileSaveStreams, StreamThatCouldNotLoadAgainFailsAndKeepsThePreviousSave) {
    TemporaryFolder folder;
    TestSaveFiles files(folder);
    {
        FileSaveStream stream(files);
        ASSERT_TRUE(stream.open(save_id));
        write_filler(stream, save_stream_capacity - 4);
        EXPECT_TRUE(stream.finish());
    }
    EXPECT_EQ(std::filesystem::file_size(files.get_path(save_id)), save_stream_offset + save_stream_capacity);
    EXPECT_EQ(load_bytes(files, save_id).size(), save_stream_capacity - 4);

    for (const uint32_t size : {save_stream_capacity - 3, save_stream_capacity + 100}) {
        ASSERT_TRUE(save_bytes(files, save_id, "previous"));
        FileSaveStream stream(files);
        ASSERT_TRUE(stream.open(save_id));
        write_filler(stream, size);
        EXPECT_FALSE(stream.finish());
        EXPECT_EQ(get_save_status(), save_status_bad_file);
        EXPECT_EQ(load_bytes(files, save_id), "previous");
        EXPECT_EQ(files.list_folder(), std::vector<std::string>{"s00300005.zsv"});
    }
}

TEST(FileSaveStreams, FailedSaveKeepsThePreviousSaveAndLeavesNoTemporaryFile) {
    struct Case {
        const char* name;
        platform::FileCall call;
        uint32_t error;
        bool fails_at_open;
        uint32_t status;
    };
    const Case cases[] = {
        {"disk full while writing the stream", platform::FileCall::write, ENOSPC, false, save_status_disk_full},
        {"quota reached while writing the stream", platform::FileCall::write, EDQUOT, false, save_status_disk_full},
        {"device error while writing the stream", platform::FileCall::write, EIO, false, save_status_file_error},
        {"stream write moving no bytes", platform::FileCall::write, 0, false, save_status_file_error},
        {"close failing", platform::FileCall::close, EIO, false, save_status_file_error},
        {"replacing the previous save failing", platform::FileCall::rename, EXDEV, false, save_status_file_error},
        {"disk full while writing the reserved area", platform::FileCall::write, ENOSPC, true, save_status_disk_full},
        {"file cannot be made", platform::FileCall::open, EDQUOT, true, save_status_disk_full},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder folder;
        TestSaveFiles files(folder);
        ASSERT_TRUE(save_bytes(files, save_id, "previous"));
        FileSaveStream stream(files);
        if (c.fails_at_open) {
            platform::inject_file_fault(c.call, c.error);
            EXPECT_FALSE(stream.open(save_id));
            // A caller that writes on regardless loses nothing but the save.
            write_filler(stream, save_stream_capacity + 100);
            EXPECT_FALSE(stream.finish());
        } else {
            ASSERT_TRUE(stream.open(save_id));
            write_every_field(stream);
            platform::inject_file_fault(c.call, c.error);
            EXPECT_FALSE(stream.finish());
        }
        EXPECT_EQ(get_save_status(), c.status);
        EXPECT_EQ(load_bytes(files, save_id), "previous");
        EXPECT_EQ(files.list_folder(), std::vector<std::string>{"s00300005.zsv"});
    }
}

TEST(FileSaveStreams, FaultOnALaterCallKeepsThePreviousSave) {
    struct Case {
        const char* name;
        platform::FileFault fault;
        uint32_t status;
    };
    const Case cases[] = {
        {"third write failing with EIO",
         {platform::FileCall::write, platform::FileFaultKind::fail, EIO, 2},
         save_status_file_error},
        {"third write short",
         {platform::FileCall::write, platform::FileFaultKind::short_transfer, 10, 2},
         save_status_file_error},
        {"flush to disk failing with ENOSPC",
         {platform::FileCall::flush, platform::FileFaultKind::fail, ENOSPC, 0},
         save_status_disk_full},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TemporaryFolder folder;
        TestSaveFiles files(folder);
        ASSERT_TRUE(save_bytes(files, save_id, "previous"));
        FileSaveStream stream(files);
        platform::arm_file_fault(c.fault);
        ASSERT_TRUE(stream.open(save_id));
        write_filler(stream, save_stream_capacity / 2);
        EXPECT_FALSE(stream.finish());
        EXPECT_EQ(get_save_status(), c.status);
        EXPECT_EQ(load_bytes(files, save_id), "previous");
        EXPECT_EQ(files.list_folder(), std::vector<std::string>{"s00300005.zsv"});
    }
    // A stalled write only delays the save.
    TemporaryFolder folder;
    TestSaveFiles files(folder);
    FileSaveStream stream(files);
    platform::arm_file_fault({platform::FileCall::write, platform::FileFaultKind::stall, 50, 1});
    ASSERT_TRUE(stream.open(save_id));
    write_filler(stream, 1000);
    EXPECT_TRUE(stream.finish());
    EXPECT_EQ(load_bytes(files, save_id).size(), 1000u);
}

TEST(FileSaveStreams, SaveAbandonedBeforeFinishLeavesNoTrace) {
    TemporaryFolder folder;
    TestSaveFiles files(folder);
    ASSERT_TRUE(save_bytes(files, save_id, "previous"));
    {
        FileSaveStream stream(files);
        ASSERT_TRUE(stream.open(save_id));
        write_every_field(stream);
    }
    EXPECT_EQ(load_bytes(files, save_id), "previous");
    EXPECT_EQ(files.list_folder(), std::vector<std::string>{"s00300005.zsv"});
    FileSaveStream unopened(files);
    unopened.write_u32(1);
    EXPECT_FALSE(unopened.finish());
}

TEST(MemorySaveStreams, OnlyFourSlotsWithClearSaveNumberOpen) {
    struct Case {
        uint32_t id;
        bool opens;
    };
    const Case cases[] = {{0x10000000, true},  {0x10000003, true},  {0x10000004, false},
                          {0x10010000, false}, {0x10800001, false}, {0x1000FFFF, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        MemorySaveStream save;
        EXPECT_EQ(save.open(c.id), c.opens);
        MemoryLoadStream load;
        EXPECT_EQ(load.open(c.id), c.opens);
    }
    MemorySaveStream unopened;
    EXPECT_FALSE(unopened.open(0x10000004));
    unopened.write_u32(1);
    EXPECT_FALSE(unopened.finish());
}

TEST(MemorySaveStreams, SaveTooLargeForItsSlotFailsAndKeepsTheSlotsEarlierSave) {
    {
        MemorySaveStream save;
        ASSERT_TRUE(save.open(0x10000001));
        save.write_u32(0x600DF00D);
        ASSERT_TRUE(save.finish());
    }
    {
        MemorySaveStream save;
        ASSERT_TRUE(save.open(0x10000001));
        save.write_u32(0xBAD0BAD0);
        write_filler(save, save_stream_capacity - 4 + 1);
        EXPECT_FALSE(save.finish());
    }
    MemoryLoadStream load;
    ASSERT_TRUE(load.open(0x10000001));
    EXPECT_EQ(load.read_u32(), 0x600DF00Du);

    // Exactly a slot's worth fits.
    MemorySaveStream full;
    ASSERT_TRUE(full.open(0x10000001));
    full.write_u32(0x0F0F0F0F);
    write_filler(full, save_stream_capacity - 4);
    EXPECT_TRUE(full.finish());
    ASSERT_TRUE(load.open(0x10000001));
    EXPECT_EQ(load.read_u32(), 0x0F0F0F0Fu);
}

}  // namespace
}  // namespace zolt::storage

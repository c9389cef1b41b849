#include "zolt/storage/save_manager.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "libs/utility/crc32.h"
#include "platform/system/files.h"
#include "support/child_process.h"
#include "zolt/storage/save_file_layout.h"
#include "zolt/storage/save_header.h"
#include "zolt/storage/save_id.h"
#include "zolt/storage/save_status.h"
#include "zolt/storage/save_world_support.h"

namespace zolt::storage {
namespace {

using test::SaveWorld;

std::string make_name(uint32_t save_id) {
    char name[32];
    StringBuffer buffer(name, sizeof name);
    create_save_file_name(buffer, save_id);
    return name;
}

std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The stream part's trailing CRC made right again, as a crafted file would.
void fix_stream_crc(std::vector<uint8_t>& bytes) {
    const size_t stream_size = bytes.size() - save_stream_offset - 4;
    const uint32_t crc = compute_crc32(bytes.data() + save_stream_offset, stream_size);
    std::memcpy(bytes.data() + bytes.size() - 4, &crc, 4);
}

bool has_temporary_files(const std::string& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".tmp") {
            return true;
        }
    }
    return false;
}

TEST(SaveFileName, IdsMakeTheirNamesAndOnlyTheirNamesParseBack) {
    EXPECT_EQ(make_name(0x00030005), "s00300005.zsv");
    EXPECT_EQ(make_name(0x02000001), "a00000001.zsv");
    EXPECT_EQ(make_name(0x01FF0010), "q25500016.zsv");
    struct Case {
        const char* name;
        uint32_t save_id;
    };
    const Case cases[] = {
        {"s00300005.zsv", 0x00030005}, {"S00300005.ZSV", 0x00030005}, {"q00100001.zsv", 0x01010001},
        {"x00300005.zsv", 0},          {"s00300000.zsv", 0},          {"a25600001.zsv", 0},
        {"s0030005.zsv", 0},           {"s003000050.zsv", 0},         {"s00300005.zsx", 0},
        {"s003a0005.zsv", 0},          {"s00365536.zsv", 0},          {"s00365535.zsv", 0x0003FFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parse_save_file_name(c.name), c.save_id) << c.name;
    }
    const test::ChildResult result = test::run_in_child([] { make_name(0x03000001); });
    EXPECT_NE(result.standard_error.find("invalid save slot type 0x03000001"), std::string::npos)
        << result.standard_error;
}

class SaveManagerTest : public ::testing::Test {
protected:
    void TearDown() override {
        platform::disarm_file_faults();
        clear_save_status();
    }

    // A full save of the world in play with the id; the world's bytes.
    std::vector<uint8_t> save_world_in_play(uint32_t save_id) {
        report_ = SaveWorld::make_world_in_play();
        const std::vector<uint8_t> world = test::capture_world();
        EXPECT_TRUE(save_manager.write_save(save_id));
        EXPECT_EQ(get_save_status(), save_status_none);
        return world;
    }

    // The world moves on: frames pass and objects come and go.
    static void play_on() {
        SaveWorld::frames(4);
        core::ServerObject* const machine = core::state_machine_server.get_live_list().get_head();
        core::destroy_object(machine);
        core::storage_server.create_block();
        core::placement_server.create_placement();
    }

    SaveWorld world_;
    core::ObjectHandle report_ = 0;
};

TEST_F(SaveManagerTest, ASavedWorldLoadsBackEqualAndTheGameGoesOnFromThere) {
    const std::vector<uint8_t> saved = save_world_in_play(0x00010001);
    EXPECT_TRUE(std::filesystem::exists(world_.get_save_path("s00100001.zsv")));
    const std::vector<uint32_t> counted = test::read_report(core::array_server.get_typed_object(report_));
    ASSERT_FALSE(counted.empty());

    play_on();
    EXPECT_FALSE(test::are_same_worlds(saved, test::capture_world()));
    ASSERT_TRUE(save_manager.load_game_by_id(0x00010001));
    EXPECT_EQ(save_manager.get_last_load_id(), 0x00010001u);
    EXPECT_TRUE(test::are_same_worlds(saved, test::capture_world()));

    // The counter resumes where the save caught it.
    SaveWorld::frames(3);
    const std::vector<uint32_t> resumed = test::read_report(core::array_server.get_typed_object(report_));
    ASSERT_GT(resumed.size(), counted.size());
    for (size_t index = 0; index < resumed.size(); ++index) {
        EXPECT_EQ(resumed[index], 10 + index);
    }
    // The semaphore's waiters and the state machine came back working.
    auto* const semaphore = static_cast<core::Semaphore*>(core::semaphore_server.get_live_list().get_head());
    EXPECT_EQ(semaphore->release_waiters(4, 0), 1u);
    auto* const machine = static_cast<core::StateMachine*>(core::state_machine_server.get_live_list().get_head());
    EXPECT_EQ(machine->get_state(), 1);
}

TEST_F(SaveManagerTest, AMemorySlotSaveLoadsBackEqualAndASlotThatDoesNotExistIsRefused) {
    report_ = SaveWorld::make_world_in_play();
    const std::vector<uint8_t> saved = test::capture_world();
    ASSERT_TRUE(save_manager.write_save(0x10000002));
    play_on();
    ASSERT_TRUE(save_manager.load_game(0x10000002));
    EXPECT_TRUE(test::are_same_worlds(saved, test::capture_world()));
    EXPECT_FALSE(save_manager.write_save(0x10000004));
    EXPECT_FALSE(save_manager.write_save(0x20000001));
    EXPECT_FALSE(save_manager.load_game(0x10010000));
}

enum class Outcome { loads, refused_bad_file, refused_foreign };

struct BrokenSave {
    std::string name;
    std::vector<uint8_t> bytes;
    Outcome outcome;
};

class BrokenSaveTest : public SaveManagerTest {
protected:
    void SetUp() override {
        saved_ = save_world_in_play(0x00010001);
        good_ = read_file(world_.get_save_path("s00100001.zsv"));
        ASSERT_GT(good_.size(), save_stream_offset + save_header_size + 8);
        stream_end_ = good_.size() - 4;
        world_start_ = save_stream_offset + save_header_size;
        // Each server's records end where the next begin.
        size_t at = world_start_;
        for (core::ServerBase* server = core::get_first_server(); server != nullptr;) {
            test::CapturingSaveStream stream;
            server->save(stream);
            stream.finish();
            at += stream.get_bytes().size();
            server_ends_.push_back(at);
            server = server->get_next_server() != core::get_first_server() ? server->get_next_server() : nullptr;
        }
        play_on();
    }

    std::vector<uint8_t> truncated(size_t size) const { return {good_.begin(), good_.begin() + size}; }
    std::vector<uint8_t> flipped(size_t at) const {
        std::vector<uint8_t> bytes = good_;
        bytes[at] ^= 0x5A;
        return bytes;
    }
    // A word of the stream changed, with the CRC made right, as a crafted file would be.
    std::vector<uint8_t> with_word(size_t at, uint32_t word) const {
        std::vector<uint8_t> bytes = good_;
        std::memcpy(bytes.data() + at, &word, 4);
        fix_stream_crc(bytes);
        return bytes;
    }

    // Each save is refused with its status and the running world as it was,
    // or loads the saved world.
    void check(const std::vector<BrokenSave>& cases) {
        const std::string path = world_.get_save_path("s00100002.zsv");
        std::vector<uint8_t> running = test::capture_world();
        for (const BrokenSave& c : cases) {
            SCOPED_TRACE(c.name);
            write_file(path, c.bytes);
            const bool loaded = save_manager.load_game(0x00010002);
            EXPECT_EQ(loaded, c.outcome == Outcome::loads);
            if (c.outcome == Outcome::loads) {
                EXPECT_TRUE(test::are_same_worlds(saved_, test::capture_world()));
                play_on();
                running = test::capture_world();
                continue;
            }
            EXPECT_EQ(get_save_status(),
                      c.outcome == Outcome::refused_bad_file ? save_status_bad_file : save_status_none);
            EXPECT_TRUE(test::are_same_worlds(running, test::capture_world()));
        }
        // The game goes on after those refusals.
        SaveWorld::frames(2);
        EXPECT_TRUE(save_manager.load_game(0x00010001));
        EXPECT_TRUE(test::are_same_worlds(saved_, test::capture_world()));
    }

    std::vector<uint8_t> saved_;
    std::vector<uint8_t> good_;
    size_t stream_end_ = 0;
    size_t world_start_ = 0;
    std::vector<size_t> server_ends_;
};

TEST_F(BrokenSaveTest, TruncatedFlippedOversizedAndForeignSavesAreRefusedBeforeTheWorldIsTouched) {
    std::vector<BrokenSave> cases;
    for (const size_t size :
         {size_t{0}, size_t{save_reserved_size}, size_t{save_reserved_size + storage_block_size},
          size_t{save_stream_offset}, size_t{save_stream_offset + 4}, world_start_, stream_end_, good_.size() - 1}) {
        cases.push_back({"truncated to " + std::to_string(size), truncated(size), Outcome::refused_bad_file});
    }
    cases.push_back({"a byte of the reserved area", flipped(100), Outcome::loads});
    cases.push_back({"a byte of the storage block", flipped(save_reserved_size + 5), Outcome::loads});
    cases.push_back({"a byte of the header", flipped(save_stream_offset + 9), Outcome::refused_bad_file});
    cases.push_back({"a byte of the first server", flipped(world_start_ + 2), Outcome::refused_bad_file});
    cases.push_back(
        {"a byte of a later server", flipped(server_ends_[server_ends_.size() / 2] + 1), Outcome::refused_bad_file});
    cases.push_back({"a byte of the owner links", flipped(stream_end_ - 6), Outcome::refused_bad_file});
    cases.push_back({"a byte of the trailing CRC", flipped(stream_end_ + 1), Outcome::refused_bad_file});
    std::vector<uint8_t> oversized = good_;
    oversized.resize(save_stream_offset + save_stream_capacity + 4);
    fix_stream_crc(oversized);
    cases.push_back({"a stream past 10 MiB", oversized, Outcome::refused_bad_file});
    const struct {
        const char* name;
        uint32_t word;
        uint32_t value;
    } header_changes[] = {{"another engine version", 5, 0x10300000},
                          {"another save format", 3, 6},
                          {"other script code", 7, 0x12345678},
                          {"another game's magic", 0, 0x4B434150}};
    for (const auto& change : header_changes) {
        cases.push_back(
            {change.name, with_word(save_stream_offset + 4 * change.word, change.value), Outcome::refused_foreign});
    }
    check(cases);
}

TEST_F(BrokenSaveTest, WorldsThatDoNotReadBackAreRefusedAndTheRunningWorldIsPutBack) {
    std::vector<BrokenSave> cases;
    // Cut at a server's end with the CRC made right: the world is short.
    for (const size_t index : {size_t{0}, server_ends_.size() / 2, server_ends_.size() - 2}) {
        std::vector<uint8_t> bytes = truncated(server_ends_[index]);
        bytes.resize(bytes.size() + 4);
        fix_stream_crc(bytes);
        cases.push_back(
            {"cut after server " + std::to_string(index) + " with its CRC right", bytes, Outcome::refused_bad_file});
    }
    cases.push_back({"servers in another order", with_word(world_start_, 63), Outcome::refused_bad_file});
    uint32_t handle = 0;
    std::memcpy(&handle, good_.data() + world_start_ + 4, 4);
    cases.push_back(
        {"a handle past its server's pool", with_word(world_start_ + 4, handle | 0xFFFFF), Outcome::refused_bad_file});
    check(cases);
}

TEST_F(SaveManagerTest, AFailureAtEveryWritePointKeepsThePreviousSaveLoadable) {
    const std::vector<uint8_t> saved = save_world_in_play(0x00010001);
    const std::vector<uint8_t> good = read_file(world_.get_save_path("s00100001.zsv"));
    play_on();
    struct Point {
        platform::FileCall call;
        uint32_t error;
        uint32_t expected_status;
    };
    const Point points[] = {
        {platform::FileCall::open, EACCES, save_status_file_error},
        {platform::FileCall::write, ENOSPC, save_status_disk_full},
        {platform::FileCall::write, EIO, save_status_file_error},
        {platform::FileCall::flush, EIO, save_status_file_error},
        {platform::FileCall::close, EIO, save_status_file_error},
        {platform::FileCall::rename, ENOSPC, save_status_disk_full},
    };
    uint32_t failures = 0;
    for (const Point& point : points) {
        for (uint32_t calls_before = 0;; ++calls_before) {
            SCOPED_TRACE(testing::Message() << "call " << static_cast<uint32_t>(point.call) << " error " << point.error
                                            << " after " << calls_before);
            platform::arm_file_fault({point.call, platform::FileFaultKind::fail, point.error, calls_before});
            const bool saved_again = save_manager.write_save(0x00010001);
            platform::disarm_file_faults();
            if (saved_again) {
                // The fault lay past the last call of that kind.
                break;
            }
            ++failures;
            EXPECT_EQ(get_save_status(), point.expected_status);
            EXPECT_EQ(read_file(world_.get_save_path("s00100001.zsv")), good);
            EXPECT_FALSE(has_temporary_files(world_.get_save_folder()));
            ASSERT_LT(calls_before, 20u);
        }
        // Put the first save back for the next point.
        write_file(world_.get_save_path("s00100001.zsv"), good);
    }
    EXPECT_GE(failures, 7u);
    // A short write (the disk filling up mid-save) fails the same way.
    platform::arm_file_fault({platform::FileCall::write, platform::FileFaultKind::short_transfer, 1000, 2});
    EXPECT_FALSE(save_manager.write_save(0x00010001));
    platform::disarm_file_faults();
    EXPECT_EQ(read_file(world_.get_save_path("s00100001.zsv")), good);
    ASSERT_TRUE(save_manager.load_game(0x00010001));
    EXPECT_TRUE(test::are_same_worlds(saved, test::capture_world()));
}

TEST_F(SaveManagerTest, TheListSortsSavesByTimeAndFreeIndicesNeverReuseAFile) {
    // No folder yet: no saves, and no error.
    ASSERT_TRUE(save_manager.refresh_save_list(false));
    EXPECT_EQ(get_save_status(), save_status_none);
    EXPECT_EQ(save_manager.get_list().get_count(), 0u);
    EXPECT_TRUE(save_manager.get_list().is_cached());
    std::filesystem::create_directories(world_.get_save_folder());
    save_manager.get_list().drop();
    const struct {
        const char* name;
        int64_t seconds_after_2000;
    } files[] = {{"s00300002.zsv", 3000}, {"s00300001.zsv", 1000}, {"s00300007.zsv", 2000},
                 {"a00100001.zsv", 500},  {"notes.txt", 10},       {"s00300000.zsv", 10}};
    for (const auto& file : files) {
        const std::string path = world_.get_save_path(file.name);
        write_file(path, std::vector<uint8_t>(7));
        // Local time: the list counts from 2000-01-01 in the local zone.
        time_t probe = 946684800;
        tm local{};
        localtime_r(&probe, &local);
        const timespec times[2] = {{0, UTIME_OMIT}, {946684800 - local.tm_gmtoff + file.seconds_after_2000, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    }
    ASSERT_TRUE(save_manager.refresh_save_list(false));
    SaveList& list = save_manager.get_list();
    ASSERT_EQ(list.get_count(), 4u);
    const uint32_t order[] = {0x02010001, 0x00030001, 0x00030007, 0x00030002};
    for (uint32_t index = 0; index < 4; ++index) {
        EXPECT_EQ(list.get_entry(index).save_id, order[index]);
        EXPECT_EQ(list.get_entry(index).size, 7u);
    }
    EXPECT_EQ(list.get_entry(0).time, 500u);
    EXPECT_EQ(save_manager.get_free_save_index(3), 8u);
    EXPECT_EQ(save_manager.get_free_save_index(9), 1u);
    // A file written after the list was made still counts.
    write_file(world_.get_save_path("s00300020.zsv"), {});
    EXPECT_EQ(save_manager.get_free_save_index(3), 21u);
    write_file(world_.get_save_path("s00365535.zsv"), {});
    EXPECT_EQ(save_manager.get_free_save_index(3), 3u);

    EXPECT_TRUE(save_manager.delete_save_at(1));
    EXPECT_FALSE(std::filesystem::exists(world_.get_save_path("s00300001.zsv")));
    EXPECT_EQ(list.get_count(), 3u);
    EXPECT_EQ(list.find(0x00030001), 3u);
    EXPECT_FALSE(save_manager.delete_save(0x00030001));
    EXPECT_EQ(get_save_status(), save_status_file_error);
    // A cached list stays until forced.
    write_file(world_.get_save_path("s00300009.zsv"), {});
    ASSERT_TRUE(save_manager.refresh_save_list(false));
    EXPECT_EQ(list.get_count(), 3u);
    ASSERT_TRUE(save_manager.refresh_save_list(true));
    EXPECT_EQ(list.get_count(), 6u);
}

TEST_F(SaveManagerTest, TheStorageBlockTravelsInEverySaveAndAnAlteredBlockIsRefused) {
    auto* const storage = static_cast<core::Storage*>(core::storage_server.create_object_internal(0));
    core::Property value;
    value.set_u32(0x10000000, 0x600DF00D);
    storage->set_property(0x10000000 | 900, value);
    save_manager.store_storage_object(storage->get_handle());
    report_ = SaveWorld::make_world_in_play();
    ASSERT_TRUE(save_manager.write_save(0x00010003));
    const std::vector<uint8_t> world = test::capture_world();
    ASSERT_TRUE(save_manager.refresh_save_list(true));
    ASSERT_EQ(save_manager.get_list().get_count(), 1u);

    auto* const target = static_cast<core::Storage*>(core::storage_server.create_object_internal(0));
    ASSERT_TRUE(save_manager.restore_storage_object(0, target->get_handle()));
    core::Property read;
    ASSERT_TRUE(target->get_property(0x10000000 | 900, read));
    EXPECT_EQ(read.get_u32(), 0x600DF00Du);

    // Builtin 695 on a whole save replaces only its storage block.
    save_manager.store_storage_object(0);
    ASSERT_TRUE(save_manager.write_storage_file(0x00010003));
    ASSERT_TRUE(save_manager.load_game(0x00010003));
    EXPECT_TRUE(test::are_same_worlds(world, test::capture_world()));
    // A new file of the block alone.
    ASSERT_TRUE(save_manager.write_storage_file(0x00010004));
    EXPECT_EQ(std::filesystem::file_size(world_.get_save_path("s00100004.zsv")), save_stream_offset);

    std::vector<uint8_t> bytes = read_file(world_.get_save_path("s00100003.zsv"));
    bytes[save_reserved_size + 3] ^= 1;
    write_file(world_.get_save_path("s00100003.zsv"), bytes);
    ASSERT_TRUE(save_manager.refresh_save_list(true));
    const uint32_t index = save_manager.get_list().find(0x00010003);
    auto* const untouched = static_cast<core::Storage*>(core::storage_server.create_object_internal(0));
    EXPECT_FALSE(save_manager.restore_storage_object(index, untouched->get_handle()));
    ASSERT_TRUE(untouched->get_property(0x10000000, read));
    EXPECT_EQ(read.get_u32(), 0u);
    // Past the list: the block in memory (zeros now).
    EXPECT_TRUE(save_manager.restore_storage_object(99, target->get_handle()));
    ASSERT_TRUE(target->get_property(0x10000000 | 900, read));
    EXPECT_EQ(read.get_u32(), 0u);
}

TEST_F(SaveManagerTest, TheSaveOpcodeResumesAfterItselfWithMinusOneAndARefusedLoadAnswersZero) {
    core::ArrayObject* const report = core::array_server.create_array(0);
    SaveWorld::start(test::saver_entry, report->get_handle(), 0, 0x00020001);
    SaveWorld::frames(2);
    const std::vector<uint32_t> after_save = test::read_report(report);
    ASSERT_GE(after_save.size(), 2u);
    EXPECT_EQ(after_save[0], 1u);
    EXPECT_EQ(after_save[1], 1000u);
    const core::ObjectHandle report_handle = report->get_handle();

    SaveWorld::start(test::loader_entry, report_handle, 0, 0x00020009);
    SaveWorld::frames(1);
    const std::vector<uint32_t> refused = test::read_report(core::array_server.get_typed_object(report_handle));
    EXPECT_NE(std::find(refused.begin(), refused.end(), 0xBADu), refused.end());

    SaveWorld::start(test::loader_entry, report_handle, 0, 0x00020001);
    SaveWorld::frames_until([report_handle] {
        const std::vector<uint32_t> report = test::read_report(core::array_server.get_typed_object(report_handle));
        return report.size() >= 3 && report[0] == 0xFFFFFFFFu;
    });
    // The loaded world's report held the answer 1 only; the saver resumed with -1.
    const std::vector<uint32_t> resumed = test::read_report(core::array_server.get_typed_object(report_handle));
    ASSERT_GE(resumed.size(), 3u);
    EXPECT_EQ(resumed[0], 0xFFFFFFFFu);
    EXPECT_EQ(resumed[1], 1000u);
    EXPECT_EQ(std::count(resumed.begin(), resumed.end(), 0xBADu), 0);
}

}  // namespace
}  // namespace zolt::storage

#include "zolt/storage/player_profile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "libs/io/temporary_folder.h"
#include "libs/utility/crc32.h"
#include "support/child_process.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/storage/remote_storage.h"
#include "zolt/storage/save_folder.h"
#include "zolt/storage/save_manager.h"

namespace zolt::storage {
namespace {

// A profile file: the CRC of the data, then the data.
std::vector<uint8_t> make_profile(const std::vector<uint32_t>& words) {
    std::vector<uint8_t> file(4 + 4 * words.size());
    if (!words.empty()) {
        std::memcpy(file.data() + 4, words.data(), 4 * words.size());
    }
    const uint32_t crc = compute_crc32(file.data() + 4, 4 * words.size());
    std::memcpy(file.data(), &crc, 4);
    return file;
}

class PlayerProfileTest : public ::testing::Test {
protected:
    PlayerProfileTest() {
        core::array_server.register_server();
        get_folder_remote_storage().set_folder(folder_.get_path("remote").c_str());
        set_remote_storage(&get_folder_remote_storage());
        simulate_missing_profile = false;
    }
    ~PlayerProfileTest() override {
        core::array_server.unregister_server();
        set_remote_storage(&get_folder_remote_storage());
        simulate_missing_profile = false;
    }

    void write_profile(const std::vector<uint8_t>& bytes) {
        std::filesystem::create_directories(folder_.get_path("remote"));
        std::ofstream(folder_.get_path("remote/profile.zpr"), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static core::ArrayObject* make_array(uint32_t length, uint32_t first) {
        core::ArrayObject* const array = core::array_server.create_array(0);
        for (uint32_t index = 0; index < length; ++index) {
            array->append_element(first + index);
        }
        return array;
    }
    static std::vector<uint32_t> words_of(const core::ArrayObject* array) {
        return {array->get_elements(), array->get_elements() + array->get_length()};
    }

    test::TemporaryFolder folder_;
};

TEST_F(PlayerProfileTest, AProfileOfUpTo250WordsRoundTripsAndAClearsTheMissingSimulation) {
    core::ArrayObject* const full = make_array(250, 7);
    simulate_missing_profile = true;
    ASSERT_TRUE(save_to_profile(full->get_handle()));
    EXPECT_FALSE(simulate_missing_profile);
    core::ArrayObject* const loaded = make_array(3, 0);
    EXPECT_EQ(load_from_profile(loaded->get_handle()), 1);
    EXPECT_EQ(words_of(loaded), words_of(full));
    EXPECT_FALSE(save_to_profile(make_array(251, 0)->get_handle()));
    // An empty array saves a profile of its CRC alone, which reads as none.
    ASSERT_TRUE(save_to_profile(make_array(0, 0)->get_handle()));
    EXPECT_EQ(load_from_profile(loaded->get_handle()), 0);
    EXPECT_EQ(words_of(loaded), words_of(full));
}

TEST_F(PlayerProfileTest, ProfilesThatCannotBeReadLeaveTheArrayAndAnswerMinusOne) {
    std::vector<uint8_t> bad_crc = make_profile({1, 2, 3});
    bad_crc[6] ^= 1;
    std::vector<uint32_t> most(250, 9);
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
        int32_t answer;
    };
    const Case cases[] = {
        {"0 bytes", {}, -1},
        {"a CRC alone", make_profile({}), 0},
        {"5 bytes", std::vector<uint8_t>(5), -1},
        {"1004 bytes", make_profile(most), 1},
        {"1005 bytes",
         [&] {
             std::vector<uint8_t> file = make_profile(most);
             file.push_back(0);
             return file;
         }(),
         -1},
        {"1008 bytes", make_profile(std::vector<uint32_t>(251, 1)), -1},
        {"a wrong CRC", bad_crc, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        write_profile(c.file);
        core::ArrayObject* const array = make_array(2, 40);
        EXPECT_EQ(load_from_profile(array->get_handle()), c.answer);
        if (c.answer != 1) {
            EXPECT_EQ(words_of(array), (std::vector<uint32_t>{40, 41}));
        } else {
            EXPECT_EQ(array->get_length(), 250u);
        }
    }
}

TEST_F(PlayerProfileTest, NoProfileOrNoStoreAndWrongHandles) {
    core::ArrayObject* const array = make_array(1, 5);
    EXPECT_EQ(load_from_profile(array->get_handle()), 0);
    write_profile(make_profile({1}));
    simulate_missing_profile = true;
    EXPECT_EQ(load_from_profile(array->get_handle()), 0);
    simulate_missing_profile = false;
    set_remote_storage(nullptr);
    EXPECT_EQ(load_from_profile(array->get_handle()), -1);
    EXPECT_FALSE(save_to_profile(array->get_handle()));
    const test::ChildResult result = test::run_in_child([] { load_from_profile(0x00D00001); });
    EXPECT_NE(result.standard_error.find("Incorrect handle 0x00d00001 provided to profile save builtin"),
              std::string::npos)
        << result.standard_error;
}

TEST(SaveFolder, TheFolderIsAFullPathUnderTheDocumentsFolderWhenRelative) {
    struct Case {
        const char* configured;
        const char* folder;
        SaveFolderProblem problem;
    };
    const std::string long_path = "/" + std::string(300, 'x');
    const Case cases[] = {
        {".", "/home/player/Documents/Harlune/Quorvane", SaveFolderProblem::none},
        {"saves/", "/home/player/Documents/Harlune/Quorvane/saves", SaveFolderProblem::none},
        {"../Other\\saves/./x/..", "/home/player/Documents/Harlune/Other/saves", SaveFolderProblem::none},
        {"/srv/games//saves/", "/srv/games/saves", SaveFolderProblem::none},
        {"/", "/", SaveFolderProblem::none},
        {"sa\xff"
         "ves",
         "", SaveFolderProblem::invalid},
        {long_path.c_str(), "", SaveFolderProblem::too_long},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.configured);
        char folder[260] = {};
        EXPECT_EQ(make_full_save_folder(c.configured, "/home/player/Documents/Harlune/Quorvane", folder, sizeof folder),
                  c.problem);
        if (c.problem == SaveFolderProblem::none) {
            EXPECT_STREQ(folder, c.folder);
        }
    }
}

}  // namespace
}  // namespace zolt::storage

namespace zolt::storage {
namespace {

TEST(SaveFolder, AFolderThatCannotBeAPathHaltsWithExitCode44) {
    const std::string long_path = "/" + std::string(300, 'y');
    const struct {
        std::string configured;
        const char* message;
    } cases[] = {{"sa\xff", "Path to the save directory is invalid."},
                 {long_path, "Path to the save directory is too long."}};
    for (const auto& c : cases) {
        const test::ChildResult result = test::run_in_child([&c] {
            save_path = c.configured.c_str();
            save_manager.initialize();
        });
        EXPECT_EQ(result.exit_code, 44);
        EXPECT_NE(result.standard_error.find(c.message), std::string::npos) << result.standard_error;
    }
}

}  // namespace
}  // namespace zolt::storage

#include <gtest/gtest.h>

#include <filesystem>

#include "libs/io/temporary_folder.h"
#include "platform/input/fake_input_backend.h"
#include "zolt/core/input/input.h"
#include "zolt/core/input/input_codes.h"
#include "zolt/storage/save_world_support.h"

namespace zolt {
namespace {

constexpr uint32_t quick_keys_entry = 0x4002;
constexpr uint32_t scan_f5 = 0x3F;
constexpr uint32_t scan_f9 = 0x43;

// The sample game's quick keys: F5 writes the quick save, F9 puts the world
// back as it was then.
TEST(SampleQuickKeys, F5SavesTheQuickSaveAndF9LoadsIt) {
    // The input codes the sample's script names.
    ASSERT_EQ(core::find_input_code("key_f5"), 174u);
    ASSERT_EQ(core::find_input_code("key_f9"), 178u);
    const std::string source = test::read_file_bytes(std::string(ZOLT_CONTENT_SOURCE_PATH) + "/game.zasm");
    test::SaveWorld world(source);
    platform::FakeInputBackend backend;
    platform::set_input_backend(&backend);
    core::initialize_input();
    ASSERT_TRUE(core::create_direct_input());
    ASSERT_TRUE(core::create_input_devices(nullptr));

    ASSERT_NE(core::task_server.start_task(quick_keys_entry, 1 | core::get_clock_mask_bit(1), 0), nullptr);
    test::SaveWorld::frames(2);
    EXPECT_FALSE(std::filesystem::exists(world.get_save_path("q00000001.zsv")));
    backend.set_key(scan_f5, true);
    const std::string quick_save = world.get_save_path("q00000001.zsv");
    ASSERT_TRUE(test::SaveWorld::frames_until([&quick_save] { return std::filesystem::exists(quick_save); }));
    const uint32_t placements = core::placement_server.get_live_count();
    // Held, the key saves once: a save taken away does not come back.
    std::filesystem::copy_file(world.get_save_path("q00000001.zsv"), world.get_save_path("kept"));
    std::filesystem::remove(world.get_save_path("q00000001.zsv"));
    test::SaveWorld::frames(2);
    EXPECT_FALSE(std::filesystem::exists(world.get_save_path("q00000001.zsv")));
    std::filesystem::rename(world.get_save_path("kept"), world.get_save_path("q00000001.zsv"));
    backend.set_key(scan_f5, false);
    test::SaveWorld::frames(2);

    // Objects made since the save are gone after F9.
    core::storage_server.create_block();
    core::placement_server.create_placement();
    backend.set_key(scan_f9, true);
    test::SaveWorld::frames_until([] { return core::storage_server.get_live_count() == 0; });
    EXPECT_EQ(core::storage_server.get_live_count(), 0u);
    EXPECT_EQ(core::placement_server.get_live_count(), placements);
    // Held for more frames, the key loads once: the world goes on from the load.
    core::storage_server.create_block();
    test::SaveWorld::frames(3);
    EXPECT_EQ(core::storage_server.get_live_count(), 1u);
    backend.set_key(scan_f9, false);
    // The game goes on: F5 saves again from the loaded world.
    test::SaveWorld::frames(2);
    std::filesystem::remove(world.get_save_path("q00000001.zsv"));
    backend.set_key(scan_f5, true);
    EXPECT_TRUE(test::SaveWorld::frames_until([&quick_save] { return std::filesystem::exists(quick_save); }));

    core::release_input_devices();
    platform::set_input_backend(nullptr);
    core::initialize_input();
}

}  // namespace
}  // namespace zolt

#include <gtest/gtest.h>

#include "platform/input/fake_input_backend.h"
#include "zolt/core/input/input.h"
#include "zolt/core/input/input_codes.h"
#include "zolt/core/script/code_resource_format.h"
#include "zolt/renderer/debug_draw/debug_draw_server.h"
#include "zolt/renderer/debug_draw/debug_draw_world_outlines.h"
#include "zolt/storage/save_world_support.h"

namespace zolt {
namespace {

constexpr uint32_t scan_f3 = 0x3D;
constexpr uint32_t scan_f4 = 0x3E;

// The sample's debug keys: F3 switches the sector boxes' outlines, F4 the
// portals' and light volumes', each once per press.
TEST(SampleDebugKeys, F3AndF4SwitchTheirOutlinesOncePerPress) {
    ASSERT_EQ(core::find_input_code("key_f3"), 172u);
    ASSERT_EQ(core::find_input_code("key_f4"), 173u);
    const std::string source = test::read_file_bytes(std::string(ZOLT_CONTENT_SOURCE_PATH) + "/level_debug.zasm");
    test::SaveWorld world(source);
    platform::FakeInputBackend backend;
    platform::set_input_backend(&backend);
    core::initialize_input();
    ASSERT_TRUE(core::create_direct_input());
    ASSERT_TRUE(core::create_input_devices(nullptr));
    renderer::debug_draw_server.set_mask(0x5);

    ASSERT_NE(core::task_server.start_task(core::make_code_reference(0, 6, 2), 1 | core::get_clock_mask_bit(1), 0),
              nullptr);
    test::SaveWorld::frames(2);
    EXPECT_EQ(renderer::debug_draw_server.get_mask(), 0x5u);
    const auto mask_becomes = [](uint32_t mask) {
        return test::SaveWorld::frames_until([mask] { return renderer::debug_draw_server.get_mask() == mask; });
    };
    backend.set_key(scan_f3, true);
    ASSERT_TRUE(mask_becomes(0x5 | renderer::debug_draw_sector_boxes));
    // Held, the key acts once.
    test::SaveWorld::frames(3);
    EXPECT_EQ(renderer::debug_draw_server.get_mask(), 0x5 | renderer::debug_draw_sector_boxes);
    backend.set_key(scan_f3, false);
    backend.set_key(scan_f4, true);
    ASSERT_TRUE(mask_becomes(0x5 | renderer::debug_draw_world_outlines));
    backend.set_key(scan_f4, false);
    test::SaveWorld::frames(2);
    backend.set_key(scan_f3, true);
    ASSERT_TRUE(mask_becomes(0x5 | renderer::debug_draw_portals | renderer::debug_draw_light_volumes));

    core::release_input_devices();
    platform::set_input_backend(nullptr);
    core::initialize_input();
}

}  // namespace
}  // namespace zolt

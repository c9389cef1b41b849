// A visual's fake-shadow settings: the block behind properties 200 to 210
// and 22, the record its render record gets in the update pass, the record
// array staying dense when one visual gives its shadow up, and the block
// surviving a saved and loaded world.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "support/world_round_trip.h"
#include "zolt/navigation/sector_walk.h"
#include "zolt/renderer/fake_shadows/fake_shadow_admission.h"
#include "zolt/renderer/fake_shadows/fake_shadow_view.h"
#include "zolt/renderer/fake_shadows/fake_shadow_visuals.h"
#include "zolt/renderer/lights/light_server.h"
#include "zolt/renderer/shadows/shadow_atlas.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/visuals/visual_world.h"

namespace zolt::renderer {
namespace {

namespace p = visual_property;

class FakeShadowVisuals : public test_support::VisualWorld {
protected:
    static const FakeShadow* find_record(const Visual* visual) {
        const int32_t index = visual_server.get_render(*visual).fake_shadow;
        return index >= 0 ? &light_server.fake_shadows.get(static_cast<uint32_t>(index)) : nullptr;
    }
    static float get_float(const Visual* visual, uint32_t id) {
        core::Property value;
        EXPECT_TRUE(visual->get_property(id, value)) << std::hex << id;
        return value.get_float();
    }
};

TEST_F(FakeShadowVisuals, TheSettingsNeedABlockAndRefuseWhatTheShadowCannotUse) {
    Visual* const visual = make_visual({5, 5, 2});
    core::Property unused;
    EXPECT_FALSE(visual->get_property(p::fake_shadow_priority, unused));
    ASSERT_TRUE(set_word(visual, p::has_fake_shadow, 1));
    EXPECT_EQ(get_word(visual, 0xC8), 1u);
    EXPECT_EQ(get_word(visual, p::fake_shadow_resolution), 256u);
    EXPECT_EQ(get_float(visual, 0xCF), 20.0f);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Row {
        const char* what;
        uint32_t id;
        bool is_float;
        float value;
        bool accepted;
    };
    const Row rows[] = {
        {"priority 9", p::fake_shadow_priority, false, 9, true},
        {"priority 10", p::fake_shadow_priority, false, 10, false},
        {"resolution 0", p::fake_shadow_resolution, false, 0, true},
        {"resolution past 16 bits", p::fake_shadow_resolution, false, 65536, false},
        {"resolution 128", p::fake_shadow_resolution, false, 128, true},
        {"strength 0.75", p::fake_shadow_strength, true, 0.75f, true},
        {"strength above 1", p::fake_shadow_strength, true, 1.5f, false},
        {"strength NaN", p::fake_shadow_strength, true, nan, false},
        {"negative volume extension", p::fake_shadow_first_float, true, -1, false},
        {"volume extension 2", p::fake_shadow_first_float, true, 2, true},
        {"negative parameter 4", p::fake_shadow_first_float + 1, true, -3, true},
        {"NaN parameter 4", p::fake_shadow_first_float + 1, true, nan, false},
        {"negative darkness speed", p::fake_shadow_last_float, true, -1, false},
        {"darkness speed 4", p::fake_shadow_last_float, true, 4, true},
    };
    for (const Row& row : rows) {
        const bool accepted = row.is_float ? set_float(visual, row.id, row.value)
                                           : set_word(visual, row.id, static_cast<uint32_t>(row.value));
        EXPECT_EQ(accepted, row.accepted) << row.what;
    }
    EXPECT_EQ(get_word(visual, 0xCA), 9u);
    EXPECT_EQ(get_word(visual, p::fake_shadow_resolution), 128u);
    EXPECT_EQ(get_float(visual, 0x16), 0.75f);
    EXPECT_EQ(get_float(visual, p::fake_shadow_first_float), 2.0f);
    EXPECT_EQ(get_float(visual, 0xCC), -3.0f);
    EXPECT_EQ(get_float(visual, p::fake_shadow_last_float), 4.0f);

    // Asking again keeps the block; 0 gives it back.
    ASSERT_TRUE(set_word(visual, p::has_fake_shadow, 1));
    EXPECT_EQ(get_word(visual, p::fake_shadow_priority), 9u);
    ASSERT_TRUE(set_word(visual, p::has_fake_shadow, 0));
    EXPECT_FALSE(visual->get_property(p::fake_shadow_priority, unused));
    EXPECT_FALSE(set_word(visual, p::fake_shadow_priority, 1));
}

TEST_F(FakeShadowVisuals, NoBlockIsLeftAfterTwoHundred) {
    std::vector<uint16_t> taken;
    while (light_server.fake_shadow_settings.get_used_count() < fake_shadow_settings_capacity) {
        taken.push_back(light_server.fake_shadow_settings.allocate(1));
    }
    Visual* const visual = make_visual({5, 5, 2});
    EXPECT_FALSE(set_word(visual, p::has_fake_shadow, 1));
    EXPECT_EQ(get_word(visual, p::has_fake_shadow), 0u);
    light_server.fake_shadow_settings.release(taken.back());
    EXPECT_TRUE(set_word(visual, p::has_fake_shadow, 1));
    taken.pop_back();
    for (const uint16_t block : taken) {
        light_server.fake_shadow_settings.release(block);
    }
}

TEST_F(FakeShadowVisuals, TheUpdatePassGivesRecordsAndKeepsThemDense) {
    Visual* const first = make_visual({5, 5, 2});
    Visual* const second = make_visual({6, 5, 2});
    ASSERT_TRUE(set_word(first, p::has_fake_shadow, 1));
    ASSERT_TRUE(set_word(second, p::has_fake_shadow, 1));
    ASSERT_TRUE(set_word(second, p::fake_shadow_priority, 4));
    run_server_passes();
    ASSERT_NE(find_record(first), nullptr);
    ASSERT_NE(find_record(second), nullptr);
    EXPECT_EQ(light_server.fake_shadows.get_count(), 2u);
    EXPECT_EQ(find_record(second)->settings.priority, 4);

    // A change reaches the record in the next pass.
    ASSERT_TRUE(set_float(second, p::fake_shadow_strength, 0.25f));
    EXPECT_EQ(find_record(second)->settings.strength, 0.5f);
    run_server_passes();
    EXPECT_EQ(find_record(second)->settings.strength, 0.25f);

    ASSERT_TRUE(set_word(first, p::has_fake_shadow, 0));
    run_server_passes();
    EXPECT_EQ(find_record(first), nullptr);
    EXPECT_EQ(light_server.fake_shadows.get_count(), 1u);
    ASSERT_EQ(visual_server.get_render(*second).fake_shadow, 0);
    EXPECT_EQ(find_record(second)->visual_slot, visual_server.get_slot_of(*second));
    EXPECT_EQ(find_record(second)->settings.priority, 4);
}

TEST_F(FakeShadowVisuals, TheSettingsSurviveASavedAndLoadedWorld) {
    Visual* const shadowed = make_visual({5, 5, 2});
    Visual* const plain = make_visual({6, 5, 2});
    ASSERT_TRUE(set_word(shadowed, p::has_fake_shadow, 1));
    ASSERT_TRUE(set_word(shadowed, p::fake_shadow_priority, 7));
    ASSERT_TRUE(set_float(shadowed, p::fake_shadow_first_float + 3, 55));
    run_server_passes();
    const core::ObjectHandle handles[] = {shadowed->get_handle(), plain->get_handle()};

    ASSERT_TRUE(test::save_and_load_world(3));
    run_server_passes();

    const Visual* const loaded = visual_server.find_visual(handles[0]);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(get_word(loaded, p::has_fake_shadow), 1u);
    EXPECT_EQ(get_word(loaded, p::fake_shadow_priority), 7u);
    EXPECT_EQ(get_float(loaded, p::fake_shadow_first_float + 3), 55.0f);
    EXPECT_EQ(get_word(visual_server.find_visual(handles[1]), p::has_fake_shadow), 0u);
    ASSERT_NE(find_record(loaded), nullptr);
    EXPECT_EQ(find_record(loaded)->settings.fade_start, 55.0f);
    EXPECT_EQ(light_server.fake_shadow_settings.get_used_count(), 1u);
    EXPECT_EQ(light_server.fake_shadows.get_count(), 1u);
}

TEST_F(FakeShadowVisuals, EachFrameTheRecordTurnsToItsLightAndASeeingViewAdmitsIt) {
    Visual* const visual = make_visual({5, 5, 2});
    ASSERT_TRUE(set_word(visual, p::has_fake_shadow, 1));
    run_server_passes();
    ASSERT_NE(find_record(visual), nullptr);
    // A horizontal sun along +X, as the light server's render record.
    LightRender& sun = light_server.get_render_slot(0);
    sun = LightRender{};
    sun.type = static_cast<uint8_t>(LightType::directional);
    sun.on = 1;
    sun.casts_fake_shadows = 1;
    sun.fake_shadow_strength = 0.5f;
    sun.intensity = 1;
    sun.light_mask = 0xFFFFFFFFu;
    sun.direction = {1, 0, 0};

    begin_fake_shadow_frame();
    const FakeShadow& shadow = *find_record(visual);
    const float half_root = std::sqrt(0.5f);
    EXPECT_NEAR(shadow.direction.x, half_root, 1e-5f);
    EXPECT_NEAR(shadow.direction.z, -half_root, 1e-5f);
    EXPECT_NEAR(shadow.strength.w, 0.5f * half_root, 1e-5f);
    EXPECT_NEAR(shadow.visual_centre.x, 5, 1e-5f);
    // The unit cube seen 45 degrees down: sqrt(2) wide along the light's
    // heading, 1 across, sqrt(2) deep.
    EXPECT_NEAR(shadow.projection_extents.x, 1, 1e-4f);
    EXPECT_NEAR(shadow.projection_extents.y, 2 * half_root, 1e-4f);
    EXPECT_NEAR(shadow.projection_extents.z, 2 * half_root, 1e-4f);

    VisibilityContext context;
    RenderItem items[16];
    context.items = items;
    context.item_capacity = 16;
    test::set_square_view(context, 64, test::LevelWorld::find_render_at({5, 1, 2}), {5, 1, 2}, 90);
    servers::traverse_visible_sectors(context);
    auto atlas = std::make_unique<ShadowAtlas>();
    atlas->set_maps(1, 1024);
    prepare_view_fake_shadows(context, *atlas);
    ASSERT_EQ(context.fake_shadow_count, 1u);
    EXPECT_EQ(get_fake_shadow_entry_record(context, 0), &shadow);
    // The shadow passes hand out the tiles, after the spot lights.
    EXPECT_EQ(shadow.has_tile, 0);
    assign_fake_shadow_tiles(context, *atlas);
    EXPECT_EQ(shadow.has_tile, 1);
    // 256 texels in a 1024 map: level 2.
    EXPECT_EQ(shadow.tile->level, 2);

    // Looking away, the view admits nothing.
    VisibilityContext away;
    away.items = items;
    away.item_capacity = 16;
    test::set_square_view(away, 64, test::LevelWorld::find_render_at({5, 1, 2}), {5, 1, 2}, 270);
    servers::traverse_visible_sectors(away);
    prepare_view_fake_shadows(away, *atlas);
    EXPECT_EQ(away.fake_shadow_count, 0u);
    sun = LightRender{};
}

}  // namespace
}  // namespace zolt::renderer

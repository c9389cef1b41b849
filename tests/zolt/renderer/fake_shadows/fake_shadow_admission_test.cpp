// A view's fake shadows: the order of the hundred buckets, the skips and
// fades, a full list darkening nothing, and the atlas tiles with their
// fallback to smaller levels.
#include <gtest/gtest.h>

#include <memory>

#include "zolt/renderer/fake_shadows/fake_shadow.h"
#include "zolt/renderer/fake_shadows/fake_shadow_admission.h"
#include "zolt/renderer/shadows/shadow_atlas.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {
namespace {

constexpr uint32_t map_size = 2048;

struct Wanted {
    uint16_t priority;
    uint16_t resolution;
    uint8_t had_tile;
};

// Records with the given settings, seen and dark, at the eye.
std::unique_ptr<FakeShadowRecords> make_records(std::initializer_list<Wanted> wanted) {
    auto records = std::make_unique<FakeShadowRecords>();
    uint32_t slot = 0;
    for (const Wanted& want : wanted) {
        FakeShadow& shadow = records->get(static_cast<uint32_t>(records->allocate(slot++)));
        shadow.settings.priority = want.priority;
        shadow.settings.resolution = want.resolution;
        shadow.had_tile = want.had_tile;
        shadow.strength = {0, 0, 0, 1};
    }
    return records;
}

TEST(FakeShadowAdmission, PriorityThenLastFramesTilesThenLargerTilesThenLastPushedFirst) {
    // Levels in a 2048 map: 2000 texels 0, 256 texels 3, 8 texels 4.
    auto records = make_records({
        {8, 2000, 1},  // 0
        {9, 8, 0},     // 1: the only priority 9, however small
        {8, 8, 1},     // 2
        {8, 2000, 0},  // 3: no tile last frame, after every one that had one
        {8, 256, 1},   // 4
        {8, 256, 1},   // 5: same bucket as 4, pushed later
        {0, 0, 1},     // 6: resolution 0 orders with level 4
        {0, 8, 1},     // 7
    });
    uint16_t order[fake_shadow_record_capacity];
    ASSERT_EQ(order_fake_shadows(*records, map_size, order), 8u);
    const uint16_t expected[] = {1, 0, 5, 4, 2, 3, 7, 6};
    for (uint32_t position = 0; position < 8; ++position) {
        EXPECT_EQ(order[position], expected[position]) << position;
    }
}

// The view sees only what lies on the +X side of the eye.
bool is_right_of_the_eye(const FakeShadow& shadow, const VisibilityContext&) {
    return shadow.visual_centre.x >= 0;
}

TEST(FakeShadowAdmission, ShadowsThatCannotShowAreSkippedAndTheOthersFadeWithDistance) {
    struct Row {
        const char* what;
        float distance;
        uint16_t resolution;
        float strength;
        float darkness;
        bool left;
        float fade;  // 0: skipped
    };
    const Row rows[] = {
        {"near, full strength", 5, 256, 0.5f, 1, false, 0.5f},
        {"1010 away with fade start 1000 and length 20", 1010, 256, 0.5f, 1, false, 0.25f},
        {"past the fade", 1020, 256, 0.5f, 1, false, 0},
        {"resolution 0", 5, 0, 0.5f, 1, false, 0},
        {"strength 0", 5, 256, 0, 1, false, 0},
        {"no darkness yet", 5, 256, 0.5f, 0, false, 0},
        {"outside the view", 5, 256, 0.5f, 1, true, 0},
    };
    for (const Row& row : rows) {
        auto records = make_records({{0, row.resolution, 0}});
        FakeShadow& shadow = records->get(0);
        shadow.settings.strength = row.strength;
        shadow.strength.w = row.darkness;
        shadow.visual_centre = {row.left ? -row.distance : row.distance, 0, 0};
        VisibilityContext context;
        admit_fake_shadows(*records, context, {0, 0, 0}, map_size, is_right_of_the_eye);
        if (row.fade == 0) {
            EXPECT_EQ(context.fake_shadow_count, 0u) << row.what;
            continue;
        }
        ASSERT_EQ(context.fake_shadow_count, 1u) << row.what;
        EXPECT_EQ(get_fake_shadow_entry_record(context, 0), &shadow) << row.what;
        EXPECT_NEAR(get_fake_shadow_entry_fade(context.fake_shadows[0].value), row.fade, 1e-5f) << row.what;
    }
}

TEST(FakeShadowAdmission, AFullListTurnsTheRestDarknessToZero) {
    auto records = make_records({{5, 256, 1}, {4, 256, 1}, {3, 256, 1}});
    VisibilityContext context;
    context.fake_shadow_capacity_ = 2;
    admit_fake_shadows(*records, context, {0, 0, 0}, map_size, nullptr);
    EXPECT_EQ(context.fake_shadow_count, 2u);
    EXPECT_EQ(records->get(0).strength.w, 1.0f);
    EXPECT_EQ(records->get(1).strength.w, 1.0f);
    EXPECT_EQ(records->get(2).strength.w, 0.0f);
}

TEST(FakeShadowAdmission, TilesFallBackToSmallerLevelsAndAShadowWithoutOneFades) {
    auto atlas = std::make_unique<ShadowAtlas>();
    atlas->set_maps(1, 256);
    // Level 1 (128), then a whole map that is no longer there, then level 4.
    auto records = make_records({{9, 128, 1}, {8, 256, 1}, {7, 16, 1}});
    VisibilityContext context;
    admit_fake_shadows(*records, context, {0, 0, 0}, atlas->get_map_size(), nullptr);
    assign_fake_shadow_tiles(context, *atlas);
    for (uint32_t index = 0; index < 3; ++index) {
        EXPECT_EQ(records->get(index).has_tile, 1) << index;
        ASSERT_NE(records->get(index).tile, nullptr) << index;
    }
    EXPECT_EQ(records->get(0).tile->level, 1);
    EXPECT_EQ(records->get(1).tile->level, 1);
    EXPECT_EQ(records->get(2).tile->level, 4);

    // A second view keeps the tiles it was given.
    ShadowTile* const kept = records->get(0).tile;
    assign_fake_shadow_tiles(context, *atlas);
    EXPECT_EQ(records->get(0).tile, kept);

    auto without_maps = std::make_unique<ShadowAtlas>();
    auto lonely = make_records({{0, 256, 0}});
    VisibilityContext other;
    admit_fake_shadows(*lonely, other, {0, 0, 0}, 0, nullptr);
    assign_fake_shadow_tiles(other, *without_maps);
    EXPECT_EQ(lonely->get(0).has_tile, 0);
    EXPECT_EQ(lonely->get(0).strength.w, 0.0f);
}

TEST(FakeShadowRecords, ReleasingMovesTheLastRecordIntoThePlace) {
    auto records = std::make_unique<FakeShadowRecords>();
    for (uint32_t slot = 0; slot < fake_shadow_record_capacity; ++slot) {
        ASSERT_EQ(records->allocate(100 + slot), static_cast<int32_t>(slot));
    }
    EXPECT_EQ(records->allocate(1), -1);
    records->get(fake_shadow_record_capacity - 1).settings.priority = 6;
    EXPECT_EQ(records->release(3), 100 + fake_shadow_record_capacity - 1);
    EXPECT_EQ(records->get(3).settings.priority, 6);
    EXPECT_EQ(records->get_count(), fake_shadow_record_capacity - 1);
    EXPECT_EQ(records->release(records->get_count() - 1), -1);
    EXPECT_EQ(records->release(fake_shadow_record_capacity), -1);
}

}  // namespace
}  // namespace zolt::renderer

#include "zolt/renderer/shadows/shadow_atlas.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace zolt::renderer {
namespace {

TEST(ShadowAtlas, LevelsForResolutionsPickTheSmallestTileThatHoldsThem) {
    struct Case {
        uint32_t resolution, map_size, level;
    };
    const Case cases[] = {
        {256, 2048, 3},   {2000, 2048, 0}, {8, 2048, 4},  {0, 2048, 4},    {1024, 2048, 1},
        {1025, 2048, 0},  {5000, 2048, 0}, {129, 2048, 3}, {128, 2048, 4}, {512, 1024, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(get_shadow_level_for_resolution(c.resolution, c.map_size), c.level)
            << c.resolution << " texels in a map of " << c.map_size;
    }
}

TEST(ShadowAtlas, TilesSplitInQuartersAndTheirRectanglesFollowThePath) {
    auto atlas = std::make_unique<ShadowAtlas>();
    atlas->set_maps(1, 2048);
    ShadowTile* const tile = atlas->allocate(2);
    ASSERT_NE(tile, nullptr);
    // The parent of each level is kept as its quarter 0.
    EXPECT_EQ(tile->level, 2);
    EXPECT_EQ(tile->quarter_path, 0u);
    EXPECT_EQ(atlas->count_free(1), 3u);
    EXPECT_EQ(atlas->count_free(2), 3u);
    EXPECT_EQ(atlas->count_free(0), 0u);
    // The next level-2 tile is quarter 1 of the same parent: the right half.
    ShadowTile* const second = atlas->allocate(2);
    ASSERT_NE(second, nullptr);
    const ShadowTileRectangle rectangle = get_shadow_tile_rectangle(second);
    EXPECT_FLOAT_EQ(rectangle.x, 0.25f);
    EXPECT_FLOAT_EQ(rectangle.y, 0.0f);
    EXPECT_FLOAT_EQ(rectangle.scale_x, 0.25f);
    const ShadowTileViewport viewport = get_shadow_tile_viewport(*second, 2048);
    EXPECT_EQ(viewport.x, 512u);
    EXPECT_EQ(viewport.width, 512u);
    const ShadowTileRectangle none = get_shadow_tile_rectangle(nullptr);
    EXPECT_EQ(none.scale_x, 0.0f);
}

// Tiles of every size taken at random until none is left: each lies inside
// its map and no two overlap, whatever the order.
TEST(ShadowAtlas, TilesGivenOutNeverOverlapAndTheAtlasRunsDryQuietly) {
    auto atlas = std::make_unique<ShadowAtlas>();
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        atlas->set_maps(1 + seed % 3, 1024);
        std::mt19937 random(seed);
        std::vector<const ShadowTile*> given;
        for (uint32_t attempt = 0; attempt < 3000; ++attempt) {
            if (const ShadowTile* tile = atlas->allocate(random() % shadow_tile_level_count)) {
                given.push_back(tile);
            }
        }
        ASSERT_FALSE(given.empty());
        for (size_t a = 0; a < given.size(); ++a) {
            const ShadowTileViewport first = get_shadow_tile_viewport(*given[a], 1024);
            ASSERT_LE(first.x + first.width, 1024u);
            ASSERT_LE(first.y + first.height, 1024u);
            for (size_t b = a + 1; b < given.size(); ++b) {
                if (given[a]->map_index != given[b]->map_index) {
                    continue;
                }
                const ShadowTileViewport second = get_shadow_tile_viewport(*given[b], 1024);
                const bool apart = first.x + first.width <= second.x || second.x + second.width <= first.x ||
                                   first.y + first.height <= second.y || second.y + second.height <= first.y;
                ASSERT_TRUE(apart) << "seed " << seed << ": tiles " << a << " and " << b << " overlap";
            }
        }
        EXPECT_EQ(atlas->allocate(4), nullptr) << "seed " << seed;
    }
}

TEST(ShadowAtlas, FallbackTakesSmallerTilesAndResetReturnsEverything) {
    auto atlas = std::make_unique<ShadowAtlas>();
    atlas->set_maps(1, 2048);
    ASSERT_NE(atlas->allocate(0), nullptr);
    EXPECT_EQ(atlas->allocate(0), nullptr);
    EXPECT_EQ(atlas->allocate_with_fallback(1), nullptr);
    atlas->reset();
    ShadowTile* const quarter = atlas->allocate(1);
    ASSERT_NE(quarter, nullptr);
    ShadowTile* const rest[3] = {atlas->allocate(1), atlas->allocate(1), atlas->allocate(1)};
    for (ShadowTile* tile : rest) {
        ASSERT_NE(tile, nullptr);
    }
    // Level 1 is gone; with fallback a level-1 demand gets nothing either,
    // but a released tile is used again.
    EXPECT_EQ(atlas->allocate_with_fallback(1), nullptr);
    atlas->release(rest[2]);
    ShadowTile* const small = atlas->allocate_with_fallback(1);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small, rest[2]);
    atlas->release(small);
    ShadowTile* const tiny = atlas->allocate_with_fallback(4);
    ASSERT_NE(tiny, nullptr);
    EXPECT_EQ(tiny->level, 4);
    // No maps: nothing at all.
    atlas->set_maps(0, 2048);
    EXPECT_EQ(atlas->allocate_with_fallback(0), nullptr);
    // More maps than the atlas keeps: the extra ones are not used.
    atlas->set_maps(12, 512);
    EXPECT_EQ(atlas->get_map_count(), shadow_map_capacity);
    EXPECT_EQ(atlas->count_free(0), shadow_map_capacity);
}

// A split keeps its parent as quarter 0, so eight maps cut entirely into
// the smallest tiles take exactly the pool's records.
TEST(ShadowAtlas, EightMapsCutIntoTheSmallestTilesFitThePool) {
    auto atlas = std::make_unique<ShadowAtlas>();
    atlas->set_maps(shadow_map_capacity, 256);
    uint32_t small_tiles = 0;
    while (atlas->allocate(4) != nullptr) {
        ++small_tiles;
    }
    EXPECT_EQ(small_tiles, 256u * shadow_map_capacity);
    EXPECT_EQ(atlas->allocate_with_fallback(0), nullptr);
}

TEST(ShadowAtlas, DemandChecksCountFreeTilesAsFourOfTheNextLevel) {
    auto atlas = std::make_unique<ShadowAtlas>();
    atlas->set_maps(1, 2048);
    struct Case {
        ShadowLevelDemand demand;
        bool satisfied;
    };
    const Case cases[] = {
        {{1, 0, 0, 0, 0}, true},   {{2, 0, 0, 0, 0}, false}, {{0, 4, 0, 0, 0}, true},
        {{0, 5, 0, 0, 0}, false},  {{0, 3, 4, 0, 0}, true},  {{0, 3, 4, 1, 0}, false},
        {{0, 0, 0, 0, 256}, true}, {{0, 0, 0, 0, 257}, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(atlas->can_satisfy(c.demand), c.satisfied)
            << c.demand[0] << " " << c.demand[1] << " " << c.demand[2] << " " << c.demand[3] << " " << c.demand[4];
    }
}

}  // namespace
}  // namespace zolt::renderer

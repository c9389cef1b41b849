#pragma once
// The shadow-map atlas: square shadow-map textures cut into tiles by a
// quadtree, level 0 a whole map and each level a quarter of the one above,
// down to level 4. Tiles come from a fixed pool of records handed out in
// order; nothing goes back to the pool but through a full reset, which the
// renderer runs at the end of every frame. Main thread only.
#include <cstdint>

namespace zolt::renderer {

constexpr uint32_t shadow_map_capacity = 8;
constexpr uint32_t shadow_tile_capacity = 2048;
constexpr uint32_t shadow_tile_level_count = 5;

struct ShadowTile {
    uint32_t map_index = 0;
    uint8_t level = 0;
    // Two bits per level below 0: bits 2L-2 and 2L-1 are the quarter of the
    // level L-1 parent; bit 0 of a quarter is the right half, bit 1 the top.
    uint32_t quarter_path = 0;
    ShadowTile* next = nullptr;
};

// Offset and side in map units, 0 to 1.
struct ShadowTileRectangle {
    float x = 0, y = 0, scale_x = 0, scale_y = 0;
};

struct ShadowTileViewport {
    uint32_t x = 0, y = 0, width = 0, height = 0;
};

using ShadowLevelDemand = uint32_t[shadow_tile_level_count];

class ShadowAtlas {
public:
    // Maps beyond the capacity are not used. Resets.
    void set_maps(uint32_t count, uint32_t size);
    uint32_t get_map_count() const { return map_count_; }
    uint32_t get_map_size() const { return map_size_; }

    // Every tile returned: one level-0 tile per map, in map order.
    void reset();
    // A tile of exactly this level, splitting a larger one when needed; null
    // when none is left or the pool cannot hold the split.
    ShadowTile* allocate(uint32_t level);
    // This level, else each smaller one in turn.
    ShadowTile* allocate_with_fallback(uint32_t level);
    // Back on its level's free list, for use again this frame.
    void release(ShadowTile* tile);

    uint32_t count_free(uint32_t level) const;
    // Whether the free tiles, each splitting into four of the next level,
    // cover the demand of every level.
    bool can_satisfy(const ShadowLevelDemand& demand) const;

private:
    ShadowTile* take_record();

    ShadowTile tiles_[shadow_tile_capacity];
    uint32_t used_tiles_ = 0;
    ShadowTile* free_lists_[shadow_tile_level_count] = {};
    uint32_t map_count_ = 0;
    uint32_t map_size_ = 0;
};

// (0, 0, 0, 0) for no tile.
ShadowTileRectangle get_shadow_tile_rectangle(const ShadowTile* tile);
ShadowTileViewport get_shadow_tile_viewport(const ShadowTile& tile, uint32_t map_size);
// The smallest tile level whose side still holds the resolution: 0 above
// half the map, 4 when even level 4 is larger than needed.
uint32_t get_shadow_level_for_resolution(uint32_t resolution, uint32_t map_size);

}  // namespace zolt::renderer

#include "zolt/renderer/shadows/shadow_atlas.h"

namespace zolt::renderer {

void ShadowAtlas::set_maps(uint32_t count, uint32_t size) {
    map_count_ = count < shadow_map_capacity ? count : shadow_map_capacity;
    map_size_ = size;
    reset();
}

void ShadowAtlas::reset() {
    used_tiles_ = 0;
    for (ShadowTile*& list : free_lists_) {
        list = nullptr;
    }
    // Pushed from the last map down, so the list runs in map order.
    for (uint32_t map = map_count_; map-- > 0;) {
        ShadowTile* const tile = take_record();
        *tile = ShadowTile{map, 0, 0, free_lists_[0]};
        free_lists_[0] = tile;
    }
}

ShadowTile* ShadowAtlas::take_record() {
    return used_tiles_ < shadow_tile_capacity ? &tiles_[used_tiles_++] : nullptr;
}

ShadowTile* ShadowAtlas::allocate(uint32_t level) {
    if (level >= shadow_tile_level_count) {
        return nullptr;
    }
    if (ShadowTile* const tile = free_lists_[level]) {
        free_lists_[level] = tile->next;
        tile->next = nullptr;
        return tile;
    }
    if (level == 0) {
        return nullptr;
    }
    ShadowTile* const parent = allocate(level - 1);
    if (parent == nullptr) {
        return nullptr;
    }
    // A split needs three more records; without them the parent stays whole.
    if (shadow_tile_capacity - used_tiles_ < 3) {
        release(parent);
        return nullptr;
    }
    const uint32_t shift = 2 * level - 2;
    ShadowTile* quarters[3];
    for (uint32_t quarter = 1; quarter <= 3; ++quarter) {
        quarters[quarter - 1] = take_record();
        *quarters[quarter - 1] = ShadowTile{parent->map_index, static_cast<uint8_t>(level),
                                            parent->quarter_path | quarter << shift, nullptr};
    }
    quarters[0]->next = quarters[1];
    quarters[1]->next = quarters[2];
    quarters[2]->next = free_lists_[level];
    free_lists_[level] = quarters[0];
    parent->level = static_cast<uint8_t>(level);
    return parent;
}

ShadowTile* ShadowAtlas::allocate_with_fallback(uint32_t level) {
    for (; level < shadow_tile_level_count; ++level) {
        if (ShadowTile* const tile = allocate(level)) {
            return tile;
        }
    }
    return nullptr;
}

void ShadowAtlas::release(ShadowTile* tile) {
    if (tile == nullptr || tile->level >= shadow_tile_level_count) {
        return;
    }
    tile->next = free_lists_[tile->level];
    free_lists_[tile->level] = tile;
}

uint32_t ShadowAtlas::count_free(uint32_t level) const {
    uint32_t count = 0;
    for (const ShadowTile* tile = level < shadow_tile_level_count ? free_lists_[level] : nullptr; tile != nullptr;
         tile = tile->next) {
        ++count;
    }
    return count;
}

bool ShadowAtlas::can_satisfy(const ShadowLevelDemand& demand) const {
    uint64_t carried = 0;
    for (uint32_t level = 0; level < shadow_tile_level_count; ++level) {
        const uint64_t free = count_free(level) + carried;
        if (free < demand[level]) {
            return false;
        }
        carried = (free - demand[level]) * 4;
    }
    return true;
}

ShadowTileRectangle get_shadow_tile_rectangle(const ShadowTile* tile) {
    if (tile == nullptr) {
        return {};
    }
    ShadowTileRectangle rectangle{0, 0, 1, 1};
    for (uint32_t level = 1; level <= tile->level; ++level) {
        const uint32_t quarter = tile->quarter_path >> (2 * level - 2) & 3;
        rectangle.scale_x *= 0.5f;
        rectangle.scale_y *= 0.5f;
        if ((quarter & 1) != 0) {
            rectangle.x += rectangle.scale_x;
        }
        if ((quarter & 2) != 0) {
            rectangle.y += rectangle.scale_y;
        }
    }
    return rectangle;
}

ShadowTileViewport get_shadow_tile_viewport(const ShadowTile& tile, uint32_t map_size) {
    const ShadowTileRectangle rectangle = get_shadow_tile_rectangle(&tile);
    const auto scale = [map_size](float value) { return static_cast<uint32_t>(value * static_cast<float>(map_size)); };
    return {scale(rectangle.x), scale(rectangle.y), scale(rectangle.scale_x), scale(rectangle.scale_y)};
}

uint32_t get_shadow_level_for_resolution(uint32_t resolution, uint32_t map_size) {
    if (resolution > map_size / 2) {
        return 0;
    }
    for (uint32_t level = shadow_tile_level_count - 1; level >= 1; --level) {
        if ((map_size >> level) >= resolution) {
            return level;
        }
    }
    return 1;
}

}  // namespace zolt::renderer

#include "zolt/renderer/shadows/shadow_passes.h"

#include <algorithm>

#include "libs/utility/config_variable_row.h"
#include "zolt/renderer/fake_shadows/fake_shadow.h"
#include "zolt/renderer/fake_shadows/fake_shadow_admission.h"
#include "zolt/renderer/fake_shadows/fake_shadow_pass.h"
#include "zolt/renderer/lights/light_importance.h"
#include "zolt/renderer/lights/light_server.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shadows/shadow_drawing.h"
#include "zolt/renderer/shadows/shadow_matrices.h"
#include "zolt/renderer/texture/texture_server.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {

bool debug_disable_shadows = false;

namespace {

const ConfigVariableRow<bool> debug_disable_shadows_row(128, "debug_disable_shadows", &debug_disable_shadows, false,
                                                        false, true, 0);

bool is_live_spot_light(uint32_t index) {
    return index < light_capacity && light_server.get_slot(index).state == light_state::live &&
           light_server.get_render_slot(index).type == static_cast<uint8_t>(LightType::spot);
}

LightViewSource get_light_view_source(const LightRender& light) {
    return {light.position, light.rotation, light.range, light.cone};
}

void store_matrix(LightRender& light, const geometry::Matrix4& matrix) {
    for (uint32_t row = 0; row < 4; ++row) {
        light.shadow_texture_matrix[row] = matrix.rows[row];
    }
}

bool has_queued_geometry(const VisibilityContext& context) {
    if (context.item_count > 0) {
        return true;
    }
    for (uint32_t index = 0; index < context.sector_view_count; ++index) {
        const SectorView& view = context.sector_views[index];
        if (view.sector != nullptr && view.queue_geometry != 0) {
            return true;
        }
    }
    return false;
}

// The light's casters drawn into its tile; false when nothing casts.
bool render_spot_light_pass(const LightRender& light, const ShadowTile& tile, uint32_t size, VisibilityContext& view) {
    VisibilityContext context;
    context.flags = context_flag_light_view;
    context.layer_mask = light.shadow_mask;
    context.target_width = size;
    context.target_height = size;
    const ShadowTileViewport viewport = get_shadow_tile_viewport(tile, size);
    context.set_screen_rectangle(view.view_mask, {static_cast<float>(viewport.x), static_cast<float>(viewport.y), 0},
                                 {static_cast<float>(viewport.width), static_cast<float>(viewport.height), 0});
    context.set_light_view(get_light_view_source(light));
    queue_shadow_casters_of(context, view, true);
    if (!has_queued_geometry(context)) {
        return false;
    }
    draw_shadow_depth(context);
    return true;
}

// The fake shadows of a view that took their tiles in it, to be drawn.
struct NewFakeShadowTiles {
    FakeShadow* shadows[fake_shadow_capacity] = {};
    uint32_t count = 0;

    bool has_map(uint32_t map) const {
        return std::any_of(shadows, shadows + count,
                           [map](const FakeShadow* shadow) { return shadow->tile->map_index == map; });
    }
};

void drop_fake_shadow_tile(ShadowAtlas& atlas, FakeShadow& shadow) {
    atlas.release(shadow.tile);
    shadow.tile = nullptr;
    shadow.has_tile = 0;
    // Grows back at its darkness speed once it is drawn again.
    shadow.strength.w = 0;
}

void render_maps(ShadowMapSet& set, VisibilityContext& view, const NewFakeShadowTiles& fake_shadows) {
    const uint32_t size = set.atlas.get_map_size();
    bool attached = false;
    for (uint32_t map = 0; map < set.atlas.get_map_count(); ++map) {
        LightRender* light = set.map_lights[map];
        set.map_lights[map] = nullptr;
        if (light == nullptr && !fake_shadows.has_map(map)) {
            continue;
        }
        const bool active = activate_shadow_map(map, size);
        attached = attached || active;
        while (light != nullptr) {
            LightRender* const next = light->next_shadow_light;
            if (active && render_spot_light_pass(*light, *light->shadow_tile, size, view)) {
                light->next_shadow_light = set.lights_with_tiles;
                set.lights_with_tiles = light;
            } else {
                set.atlas.release(light->shadow_tile);
                light->shadow_tile = nullptr;
                light->next_shadow_light = nullptr;
            }
            light = next;
        }
        for (uint32_t index = 0; index < fake_shadows.count; ++index) {
            FakeShadow& shadow = *fake_shadows.shadows[index];
            if (shadow.tile->map_index != map) {
                continue;
            }
            if (active) {
                render_fake_shadow_pass(shadow, *shadow.tile, size, view);
            } else {
                drop_fake_shadow_tile(set.atlas, shadow);
            }
        }
    }
    if (attached) {
        deactivate_shadow_maps();
    }
}

// With no sector that the global light reaches, no slice has anything to
// show: no map is taken for it.
bool wants_global_shadow(const VisibilityContext& view, const CascadeSectors& sectors) {
    return view.object_light_flag != 0 && view.shadow_split_count > 0 &&
           light_server.get_global_light_render().shadow_strength > 0.0f && sectors.count > 0;
}

// Pushes each visible spot light that wants a tile on its level's bucket;
// every visible spot light gets its matrix. The global light asks for a
// whole map when it wants one and has none.
void collect_shadow_lights(ShadowMapSet& set, const VisibilityContext& view, bool global_shadow,
                           LightRender* (&buckets)[shadow_tile_level_count], ShadowLevelDemand& demand) {
    if (global_shadow && set.global_tile == nullptr) {
        ++demand[0];
    }
    const LightSet& visible = view.visible_lights;
    for (uint32_t index = visible.lowest; index <= visible.highest && index < light_capacity; ++index) {
        if (!visible.contains(index) || !is_live_spot_light(index)) {
            continue;
        }
        LightRender& light = light_server.get_render_slot(index);
        if (light.shadow_tile != nullptr) {
            continue;
        }
        compute_spot_shadow_matrix(light);
        if (light.casts_shadows == 0 || light.shadow_mask == 0) {
            continue;
        }
        const LightFades fades = get_distance_fades(light, view.eye);
        if (!(fades.light > 0.0f) || !(fades.shadow > 0.0f)) {
            continue;
        }
        const uint32_t level = get_shadow_level_for_resolution(light.shadow_map_resolution, set.atlas.get_map_size());
        light.next_shadow_light = buckets[level];
        buckets[level] = &light;
        ++demand[level];
    }
}

// The levels the view's admitted fake shadows without a tile ask for.
void count_fake_shadow_demand(const VisibilityContext& view, uint32_t map_size, ShadowLevelDemand& demand) {
    for (uint32_t entry = 0; entry < view.fake_shadow_count; ++entry) {
        const FakeShadow& shadow = *get_fake_shadow_entry_record(view, entry);
        if (shadow.has_tile == 0) {
            ++demand[get_shadow_level_for_resolution(shadow.settings.resolution, map_size)];
        }
    }
}

// Tiles for the admitted fake shadows still without one, after the spot
// lights have taken theirs, falling back to smaller ones.
void assign_new_fake_shadow_tiles(ShadowMapSet& set, VisibilityContext& view, NewFakeShadowTiles& tiled) {
    FakeShadow* untiled[fake_shadow_capacity] = {};
    uint32_t count = 0;
    for (uint32_t entry = 0; entry < view.fake_shadow_count && count < fake_shadow_capacity; ++entry) {
        FakeShadow* const shadow = get_fake_shadow_entry_record(view, entry);
        if (shadow->has_tile == 0) {
            untiled[count++] = shadow;
        }
    }
    assign_fake_shadow_tiles(view, set.atlas);
    for (uint32_t index = 0; index < count; ++index) {
        if (untiled[index]->has_tile != 0 && untiled[index]->tile != nullptr) {
            tiled.shadows[tiled.count++] = untiled[index];
        }
    }
}

// A full reset hands every tile back: the records must not keep theirs.
void forget_fake_shadow_tiles() {
    FakeShadowRecords& records = light_server.fake_shadows;
    for (uint32_t index = 0; index < records.get_count(); ++index) {
        records.get(index).tile = nullptr;
        records.get(index).has_tile = 0;
    }
}

}  // namespace

void set_up_shadow_maps(ShadowMapSet& set) {
    end_shadow_frame(set);
    set.texture_count = texture_server.is_registered() ? texture_server.get_shadowmap_texture_count() : 0;
    set.texture_size = texture_server.is_registered() ? texture_server.get_shadowmap_size() : 0;
    // A set too small to cut even level 4 from counts as none.
    const bool usable = set.texture_size >> (shadow_tile_level_count - 1) > 0;
    set.atlas.set_maps(usable ? set.texture_count : 0, usable ? set.texture_size : 0);
}

void end_shadow_frame(ShadowMapSet& set) {
    for (LightRender* light = set.lights_with_tiles; light != nullptr;) {
        LightRender* const next = light->next_shadow_light;
        light->shadow_tile = nullptr;
        light->next_shadow_light = nullptr;
        light = next;
    }
    set.lights_with_tiles = nullptr;
    forget_fake_shadow_tiles();
    set.global_tile = nullptr;
    set.cascades = CascadeState{};
    for (LightRender*& head : set.map_lights) {
        head = nullptr;
    }
    set.atlas.reset();
}

void render_view_shadows(ShadowMapSet& set, VisibilityContext& view) {
    if (!texture_server.is_registered() || set.texture_count != texture_server.get_shadowmap_texture_count() ||
        set.texture_size != texture_server.get_shadowmap_size()) {
        set_up_shadow_maps(set);
    }
    const bool enabled = set.atlas.get_map_count() > 0 && !debug_disable_shadows;
    LightRender* buckets[shadow_tile_level_count] = {};
    ShadowLevelDemand demand = {};
    CascadeSectors sectors;
    if (view.object_light_flag != 0 && view.shadow_split_count > 0) {
        collect_cascade_sectors(view, sectors);
    }
    const bool global_shadow = wants_global_shadow(view, sectors);
    collect_shadow_lights(set, view, global_shadow, buckets, demand);
    if (!enabled) {
        // Admitted fake shadows find no tile and fade out.
        for (uint32_t entry = 0; entry < view.fake_shadow_count; ++entry) {
            FakeShadow& shadow = *get_fake_shadow_entry_record(view, entry);
            if (shadow.has_tile == 0) {
                shadow.strength.w = 0;
            }
        }
        for (LightRender* light : buckets) {
            while (light != nullptr) {
                LightRender* const next = light->next_shadow_light;
                light->next_shadow_light = nullptr;
                light = next;
            }
        }
        set.cascades = CascadeState{};
        upload_global_light_block(light_server.get_global_light_render(), set.cascades);
        return;
    }
    if (!global_shadow && set.global_tile != nullptr) {
        set.atlas.release(set.global_tile);
        set.global_tile = nullptr;
    }
    count_fake_shadow_demand(view, set.atlas.get_map_size(), demand);
    if (!set.atlas.can_satisfy(demand)) {
        // Lights tiled by an earlier viewport would otherwise stay shadowless
        // here: start the atlas again and ask with all of them.
        for (LightRender*& head : buckets) {
            head = nullptr;
        }
        end_shadow_frame(set);
        ShadowLevelDemand again = {};
        collect_shadow_lights(set, view, global_shadow, buckets, again);
    }
    set.cascades = CascadeState{};
    if (global_shadow) {
        if (set.global_tile == nullptr) {
            set.global_tile = set.atlas.allocate(0);
        }
        if (set.global_tile != nullptr) {
            render_global_cascades(*set.global_tile, set.atlas.get_map_size(), view,
                                   light_server.get_global_light_render().direction, sectors, set.cascades);
        }
    }
    for (uint32_t level = 0; level < shadow_tile_level_count; ++level) {
        for (LightRender* light = buckets[level]; light != nullptr;) {
            LightRender* const next = light->next_shadow_light;
            light->next_shadow_light = nullptr;
            if (ShadowTile* const tile = set.atlas.allocate(level)) {
                light->shadow_tile = tile;
                light->next_shadow_light = set.map_lights[tile->map_index];
                set.map_lights[tile->map_index] = light;
            }
            light = next;
        }
    }
    NewFakeShadowTiles fake_shadows;
    assign_new_fake_shadow_tiles(set, view, fake_shadows);
    render_maps(set, view, fake_shadows);
    upload_global_light_block(light_server.get_global_light_render(), set.cascades);
}

TextureObject* get_shadow_tile_texture(const ShadowTile* tile) {
    return tile != nullptr ? get_shadow_map_texture(tile->map_index) : nullptr;
}

TextureObject* get_global_shadow_texture(const ShadowMapSet& set, const GlobalLightRender& light) {
    return set.cascades.rendered && light.shadow_strength > 0.0f ? get_shadow_tile_texture(set.global_tile) : nullptr;
}

void upload_global_light_block(const GlobalLightRender& light, const CascadeState& cascades) {
    geometry::Vector4 pixel[shader_library::max_light_pixel_vectors] = {};
    pixel[0] = {light.direction.x, light.direction.y, light.direction.z, 0};
    pixel[1] = {light.colour.x * light.intensity, light.colour.y * light.intensity, light.colour.z * light.intensity,
                light.shadow_strength};
    pixel[2] = light.vector_a;
    pixel[3] = light.vector_b;
    for (uint32_t cascade = 0; cascade < shadow_cascade_capacity; ++cascade) {
        // Transposed: (s, t, depth) are the matrix's first three columns.
        const float* const matrix = &cascades.matrices[cascade].rows[0].x;
        for (uint32_t column = 0; column < 3; ++column) {
            pixel[shader_library::global_light_fixed_pixel_vectors + 3 * cascade + column] = {
                matrix[column], matrix[4 + column], matrix[8 + column], matrix[12 + column]};
        }
    }
    const geometry::Vector4 far_distances{cascades.far_distances[0], cascades.far_distances[1],
                                          cascades.far_distances[2], cascades.far_distances[3]};
    shader_library::set_light_constants(pixel, shadow_cascade_capacity, far_distances);
}

void compute_spot_shadow_matrix(LightRender& light) {
    VisibilityContext context;
    context.flags = context_flag_light_view;
    context.set_light_view(get_light_view_source(light));
    store_matrix(light, make_shadow_texture_matrix(context.view_projection, ShadowDepthForm::spot_light));
}

}  // namespace zolt::renderer

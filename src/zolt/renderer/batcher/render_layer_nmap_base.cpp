#include "zolt/renderer/batcher/render_layer_nmap_base.h"

#include "libs/utility/fatal_error.h"
#include "zolt/renderer/batcher/draw_request.h"
#include "zolt/renderer/batcher/light_source.h"
#include "zolt/renderer/batcher/light_upload.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/lights/light_render.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/shaders/shader_target_setup.h"
#include "zolt/renderer/texture/texture_object.h"
#include "zolt/renderer/texture/texture_server.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/viewport/viewport.h"

namespace zolt::renderer {

LightingDrawTrace lighting_draw_trace = nullptr;

namespace {

namespace library = shader_library;

constexpr uint32_t first_light_unit = 14;
constexpr uint32_t last_light_unit = 15;
constexpr uint32_t fog_vector = 2;
constexpr uint32_t fog_extent_vector = 0;

}  // namespace

void RenderLayerNmapBase::draw(uint32_t layer, const RenderRequest& request, uint32_t slot, uint32_t setup) {
    if (lighting_draw_trace != nullptr) {
        lighting_draw_trace(layer, LightingDraw::request, &request, slot, setup, current_light_);
    }
    renderer::render_request(request, slot, setup);
}

void RenderLayerNmapBase::trace_full_screen(uint32_t layer, LightingDraw draw) {
    if (lighting_draw_trace != nullptr) {
        lighting_draw_trace(layer, draw, nullptr, 0, 0, current_light_);
    }
}

void RenderLayerNmapBase::commit_light_textures() {
    texture_server.request_texture(first_light_unit, light_textures_[0]);
    texture_server.request_texture(last_light_unit, light_textures_[1]);
    texture_server.commit_texture_units(first_light_unit, last_light_unit);
}

void RenderLayerNmapBase::update_fog_state() {
    const ViewportRender* const view =
        render_view_hooks.get_current_view != nullptr ? render_view_hooks.get_current_view() : nullptr;
    fog_enabled_ = view != nullptr && view->user_vectors[fog_vector].w > 0.0f &&
                   get_view_extent() >= view->user_vectors[fog_extent_vector].x;
}

void RenderLayerNmapBase::drop_current_light() {
    if (current_light_ == no_light) {
        return;
    }
    current_light_ = no_light;
    light_range_.end();
    current_setup_ = base_setup;
}

void RenderLayerNmapBase::finish_lighting_pass() {
    for (uint32_t field = 0; field < library::target_setup_field_count; ++field) {
        library::forget_applied_target_setup(static_cast<library::TargetSetupField>(field));
    }
    drop_current_light();
    last_spot_light_ = no_light;
    last_point_light_ = no_light;
    last_directional_light_ = no_light;
    fog_enabled_ = true;
    light_textures_[0] = nullptr;
    light_textures_[1] = nullptr;
    commit_light_textures();
}

bool RenderLayerNmapBase::get_fades(const LightRender& light, float* light_fade, float* shadow_fade) const {
    LightFades fades;
    if (light_source.get_distance_fades != nullptr) {
        geometry::Vector3 eye;
        if (render_view_hooks.get_eye_position != nullptr) {
            render_view_hooks.get_eye_position(&eye);
        }
        fades = light_source.get_distance_fades(light, eye);
    }
    *light_fade = fades.light;
    *shadow_fade = fades.shadow;
    // Negated so that a NaN fade skips the light too.
    return *light_fade > 0.0f;
}

bool RenderLayerNmapBase::upload_light(int32_t id, bool use_stencil_range) {
    if (id == current_light_) {
        return !light_skipped_;
    }
    current_light_ = id;
    light_range_.end();
    light_skipped_ = false;
    if (id == no_light) {
        current_setup_ = base_setup;
        return true;
    }
    if (id == global_light_with_shadow || id == global_light_without_shadow) {
        upload_global_light(id);
        return true;
    }
    const LightRender* const light =
        id >= 0 && light_source.get_light != nullptr ? light_source.get_light(static_cast<uint32_t>(id)) : nullptr;
    if (light == nullptr) {
        // A light gone between queuing and drawing lights nothing.
        light_skipped_ = true;
        return false;
    }
    switch (static_cast<LightType>(light->type)) {
    case LightType::spot:
        light_skipped_ = !upload_spot_light(*light, use_stencil_range);
        break;
    case LightType::point:
        light_skipped_ = !upload_point_light(*light, use_stencil_range);
        break;
    case LightType::directional:
        light_skipped_ = !upload_directional_light(*light);
        break;
    default:
        ZOLT_PANIC("Invalid light type %u", static_cast<uint32_t>(light->type));
    }
    if (light_skipped_) {
        // Nothing is drawn with it: no range may stay open for it.
        light_range_.end();
    }
    return !light_skipped_;
}

void RenderLayerNmapBase::upload_global_light(int32_t id) {
    TextureObject* const shadow = id == global_light_with_shadow && light_source.get_global_shadow_texture != nullptr
                                      ? light_source.get_global_shadow_texture()
                                      : nullptr;
    if (shadow != nullptr) {
        current_setup_ = global_shadowed_setup;
        light_textures_[0] =
            light_source.get_global_light_texture != nullptr ? light_source.get_global_light_texture() : nullptr;
        light_textures_[1] = shadow;
        commit_light_textures();
        return;
    }
    current_setup_ = directional_setup;
    if (last_directional_light_ == global_light_without_shadow) {
        return;
    }
    const GlobalLightRender* const global =
        light_source.get_global_light != nullptr ? light_source.get_global_light() : nullptr;
    upload_global_light_as_directional(global != nullptr ? *global : GlobalLightRender{});
    last_directional_light_ = global_light_without_shadow;
}

void RenderLayerNmapBase::make_global_light_current(int32_t id) {
    if (current_light_ == id) {
        return;
    }
    light_range_.end();
    current_light_ = id;
    light_skipped_ = false;
    upload_global_light(id);
}

bool RenderLayerNmapBase::upload_spot_light(const LightRender& light, bool use_stencil_range) {
    float light_fade = 0.0f;
    float shadow_fade = 0.0f;
    if (!get_fades(light, &light_fade, &shadow_fade)) {
        return false;
    }
    current_setup_ = shadow_fade > 0.0f ? spot_shadowed_setup : spot_setup;
    if (use_stencil_range && !light_range_.begin(light)) {
        return false;
    }
    TextureObject* const shadow_map =
        light_source.get_shadow_texture != nullptr ? light_source.get_shadow_texture(light) : nullptr;
    if (shadow_map == nullptr) {
        current_setup_ = spot_setup;
    }
    light_textures_[0] =
        light_source.get_projected_texture != nullptr ? light_source.get_projected_texture(light) : nullptr;
    light_textures_[1] = shadow_map;
    commit_light_textures();
    if (current_light_ == last_spot_light_) {
        return true;
    }
    upload_spot_light_block(light, light_fade, shadow_fade, shadow_map != nullptr ? shadow_map->get_width() : 0,
                            shadow_map != nullptr ? shadow_map->get_height() : 0);
    last_spot_light_ = current_light_;
    return true;
}

bool RenderLayerNmapBase::upload_point_light(const LightRender& light, bool use_stencil_range) {
    float light_fade = 0.0f;
    float shadow_fade = 0.0f;
    if (!get_fades(light, &light_fade, &shadow_fade)) {
        return false;
    }
    current_setup_ = point_setup;
    if (use_stencil_range && !light_range_.begin(light)) {
        return false;
    }
    if (current_light_ != last_point_light_) {
        upload_point_light_block(light, light_fade);
        last_point_light_ = current_light_;
    }
    return true;
}

bool RenderLayerNmapBase::upload_directional_light(const LightRender& light) {
    current_setup_ = directional_setup;
    if (current_light_ != last_directional_light_) {
        upload_directional_light_block(light, 1.0f);
        last_directional_light_ = current_light_;
    }
    return true;
}

void RenderLayerNmapBase::draw_with_all_lights(uint32_t layer, const RenderRequest& request, uint32_t slot) {
    draw(layer, request, slot, base_setup);
    const uint64_t lights = request.light_list;
    if ((lights & light_list_global_light) != 0) {
        make_global_light_current(global_light_with_shadow);
        draw(layer, request, slot, current_setup_);
    }
    if ((lights & light_list_global_without_shadow) != 0) {
        make_global_light_current(global_light_without_shadow);
        draw(layer, request, slot, current_setup_);
    }
    const uint32_t count = static_cast<uint32_t>(lights & light_list_count_mask);
    for (uint32_t k = 1; k <= count; ++k) {
        if (upload_light(static_cast<int32_t>(get_listed_light(lights, k)), false)) {
            draw(layer, request, slot, current_setup_);
        }
    }
    library::ShaderSetup setup;
    if (fog_enabled_ && find_request_setup(request, slot, fog_setup, &setup, nullptr)) {
        draw(layer, request, slot, fog_setup);
    }
}

}  // namespace zolt::renderer

#include "zolt/renderer/batcher/render_layer_nmap_lighting.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/stencil_clear_tag.h"
#include "libs/opengl/stencil_operations.h"
#include "libs/utility/config_variable_row.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/batcher/draw_request.h"
#include "zolt/renderer/batcher/fog_pass.h"
#include "zolt/renderer/batcher/light_source.h"
#include "zolt/renderer/batcher/render_layer_comparators.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/lights/light_render.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/materials/material_warm_up.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/shaders/shader_target_setup.h"

namespace zolt::renderer {

bool allow_deferred_fog = true;

namespace {

namespace library = shader_library;
using library::TargetSetupField;
using opengl::gl;

// The configuration table leaves this number open; 126 is free.
const ConfigVariableRow<bool> allow_deferred_fog_row(126, "allow_deferred_fog", &allow_deferred_fog, true, false, true,
                                                     0);

constexpr uint32_t fog_shader_index = 18;
constexpr uint32_t depth_slot = 1;
constexpr uint32_t mask_slot = 2;
// Slots 6, 7, 9 and 11: the lit ones.
constexpr uint32_t lit_slot_mask = 0xAC0;
constexpr uint8_t stencil_off = 1;

// A request's lighting state (its sort byte 1).
enum LightingState : uint8_t {
    rebuild_depth_then_unlit = 0,
    rebuild_depth_then_lit = 1,
    unlit_base = 2,
    lit_base = 3,
    global_light_shadowed = 4,
    global_light_plain = 5,
    spot_light = 6,
    directional_light = 7,
    point_light = 8,
    request_fog = 9,
};

uint8_t& state_of(RenderRequest& request) {
    return request.sort_bytes[0];
}
uint8_t& light_of(RenderRequest& request) {
    return request.sort_bytes[1];
}

bool has_setup(const RenderRequest& request, uint32_t slot, uint32_t setup_number) {
    library::ShaderSetup setup;
    return find_request_setup(request, slot, setup_number, &setup, nullptr);
}

void set_lighting_target_defaults() {
    library::set_target_setup_default(TargetSetupField::cull, library::target_setup_not_applied);
    library::set_target_setup_default(TargetSetupField::depth, library::target_setup_not_applied);
    library::set_target_setup_default(TargetSetupField::blend, library::target_setup_not_applied);
    library::set_target_setup_default(TargetSetupField::alpha_test, library::target_setup_not_applied);
    library::set_target_setup_default(TargetSetupField::stencil, stencil_off);
}

// Layer 12 draws geometry in front of everything: depth and stencil start
// afresh for it.
void clear_depth_and_stencil() {
    gl.glDisable(GL_SCISSOR_TEST);
    opengl::reset_stencil_state();
    gl.glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    opengl::reset_stencil_clear_tag();
    reset_scissor();
}

}  // namespace

RenderLayerNmap::RenderLayerNmap(uint32_t pass_slot_mask, bool near)
    : RenderLayerNmapBase(pass_slot_mask, &compare_by_program),
      preferred_slot_(pass_slot_mask == 0x50 ? 6 : 7),
      fallback_slot_(pass_slot_mask == 0x50 ? 4 : 5),
      near_(near),
      lit_start_state_(near ? rebuild_depth_then_lit : lit_base),
      unlit_start_state_(near ? rebuild_depth_then_unlit : unlit_base) {}

void RenderLayerNmap::update(uint32_t) {
    layer_material_ = nullptr;
    if (!allow_deferred_fog) {
        return;
    }
    Material* const material = get_layer_material(fog_material_alias, fog_shader_index);
    if (material != nullptr && material->has_pass(0)) {
        layer_material_ = material;
    }
}

void RenderLayerNmap::warm_up(uint32_t) {
    if (layer_material_ == nullptr) {
        return;
    }
    layer_material_->update_pending();
    if (layer_material_->has_pass(0)) {
        library::ShaderLibraryContext context;
        warm_up_setup_immediate(*layer_material_, 0, context, nullptr);
    }
}

bool RenderLayerNmap::queue_request(uint32_t, const RenderInfo& info, const Stream* const* streams,
                                    uint16_t stream_word, Material* material, uint16_t first_index,
                                    uint16_t index_count) {
    if ((info.kind == render_info_kind_in_front) != near_) {
        return false;
    }
    RenderRequest* const request = make_render_request(info, streams, stream_word, material, first_index, index_count);
    const uint32_t slot = material->has_pass(preferred_slot_) ? preferred_slot_ : fallback_slot_;
    request->pass_slot = slot;
    state_of(*request) = (lit_slot_mask >> slot & 1) != 0 ? lit_start_state_ : unlit_start_state_;
    light_of(*request) = 0;
    uint32_t flags = 0;
    get_first_program_index(*request, slot, base_setup, &flags);
    request->sort_key = (flags & library::pass_flag_after_deferred_fog) != 0 ? 1 : 0;
    heap.insert(&request->heap_node);
    return true;
}

void RenderLayerNmap::draw_deferred_fog_now(uint32_t index) {
    drop_current_light();
    trace_full_screen(index, LightingDraw::deferred_fog);
    draw_deferred_fog(*layer_material_);
}

void RenderLayerNmap::render_request_pass(uint32_t index, bool active) {
    if (!active) {
        drain_heap(heap, index, false);
        return;
    }
    update_fog_state();
    const bool deferred = layer_material_ != nullptr && index == nmap_layer;
    bool fog_per_request = fog_enabled_ && !deferred;
    bool fog_pending = fog_enabled_ && deferred;
    set_lighting_target_defaults();
    if (index == near_nmap_layer) {
        clear_depth_and_stencil();
    }
    drop_current_light();
    while (FibonacciHeapNode* const node = heap.pop()) {
        RenderRequest& request = get_render_request(node->value);
        if (fog_pending && request.sort_key != 0) {
            draw_deferred_fog_now(index);
            fog_pending = false;
            fog_per_request = true;
        }
        if (advance_request(index, request, fog_per_request)) {
            heap.insert(node);
        } else {
            free_render_request(&request);
        }
    }
    heap.clear();
    drop_current_light();
    if (fog_pending) {
        draw_deferred_fog_now(index);
    }
    finish_lighting_pass();
}

bool RenderLayerNmap::take_next_light(RenderRequest& request, bool fog_per_request) {
    const uint32_t count = static_cast<uint32_t>(request.light_list & light_list_count_mask);
    if (request.lights_drawn < count) {
        ++request.lights_drawn;
        const uint32_t light_index = get_listed_light(request.light_list, request.lights_drawn);
        light_of(request) = static_cast<uint8_t>(light_index);
        const LightRender* const light =
            light_source.get_light != nullptr ? light_source.get_light(light_index) : nullptr;
        // A light the server no longer has: the spot state finds it missing
        // and skips it.
        const uint8_t type = light != nullptr ? light->type : static_cast<uint8_t>(LightType::spot);
        switch (static_cast<LightType>(type)) {
        case LightType::spot:
            state_of(request) = spot_light;
            break;
        case LightType::directional:
            state_of(request) = directional_light;
            break;
        case LightType::point:
            state_of(request) = point_light;
            break;
        default:
            ZOLT_PANIC("Incorrect light type %u", static_cast<uint32_t>(type));
        }
        return true;
    }
    if (fog_per_request && has_setup(request, request.pass_slot, fog_setup)) {
        state_of(request) = request_fog;
        light_of(request) = 0;
        return true;
    }
    return false;
}

bool RenderLayerNmap::advance_request(uint32_t index, RenderRequest& request, bool fog_per_request) {
    const uint32_t slot = request.pass_slot;
    switch (state_of(request)) {
    case rebuild_depth_then_unlit:
    case rebuild_depth_then_lit:
        if (has_setup(request, depth_slot, base_setup)) {
            draw(index, request, depth_slot, base_setup);
        } else if (has_setup(request, mask_slot, base_setup)) {
            draw(index, request, mask_slot, base_setup);
        }
        state_of(request) = state_of(request) == rebuild_depth_then_lit ? lit_base : unlit_base;
        return true;
    case unlit_base:
        drop_current_light();
        draw(index, request, slot, base_setup);
        return false;
    case lit_base:
        drop_current_light();
        draw(index, request, slot, base_setup);
        if ((request.light_list & light_list_global_light) != 0) {
            state_of(request) = global_light_shadowed;
            return true;
        }
        if ((request.light_list & light_list_global_without_shadow) != 0) {
            state_of(request) = global_light_plain;
            return true;
        }
        return take_next_light(request, fog_per_request);
    case global_light_shadowed:
    case global_light_plain:
        make_global_light_current(state_of(request) == global_light_shadowed ? global_light_with_shadow
                                                                             : global_light_without_shadow);
        draw(index, request, slot, get_current_setup());
        return take_next_light(request, fog_per_request);
    case spot_light:
    case directional_light:
    case point_light:
        if (upload_light(light_of(request), true)) {
            draw(index, request, slot, get_current_setup());
        }
        return take_next_light(request, fog_per_request);
    case request_fog:
        drop_current_light();
        draw(index, request, slot, fog_setup);
        return false;
    default:
        return false;
    }
}

}  // namespace zolt::renderer

#include "zolt/renderer/particles/particle_generator_render.h"

#include "libs/geometry/culling.h"
#include "libs/geometry/frustum.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/quad_batcher.h"
#include "zolt/renderer/batcher/render_request.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/particles/particle_generator_server.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {
namespace {

constexpr float tiny = 1.0f / 65536.0f;

// The scissor rectangles of the sector views of the view being drawn; the
// requests point at them until the view's layers have run.
ScissorRectangle sector_scissors[sector_view_capacity];

Material* find_state_material(const ParticleGeneratorState& state) {
    return state.material != 0 && material_server.is_registered() ? material_server.find_material(state.material)
                                                                  : nullptr;
}

// The sector view slot of the generator's sector; no_sector_view when the
// view does not see it, sector_view_capacity when the generator has none.
uint32_t find_sector_view_slot(const VisibilityContext& context, const ParticleGeneratorState& state) {
    if (state.sector == 0 || !servers::sector_server.is_registered()) {
        return sector_view_capacity;
    }
    const servers::SectorRender* const record = servers::sector_server.find_render_record(state.sector);
    if (record == nullptr) {
        return sector_view_capacity;
    }
    const uint32_t index = servers::sector_server.get_render_record_index(record);
    return index < sector_index_count ? context.sector_view_index[index] : no_sector_view;
}

}  // namespace

ParticleView make_particle_view(const VisibilityContext& context, float far_fade, float far_cut) {
    ParticleView view;
    view.right = context.axes.right;
    view.up = context.axes.up;
    view.forward = context.axes.forward;
    view.eye = context.eye;
    view.default_far_fade_distance = far_fade;
    view.default_far_cut_distance = far_cut;
    return view;
}

void ParticleGeneratorRender::queue_requests(RenderInfo& info, const ParticleGeneratorState& state,
                                             const ParticleView& view, const geometry::Frustum* clip_volume) {
    const ParticleDescription& p = state.params;
    if (p.tint.w < tiny) {
        return;
    }
    Material* const material = find_state_material(state);
    if (material == nullptr) {
        return;
    }
    float depth = 0.0f;
    float distance = 0.0f;
    if (state.emitter_present != 0) {
        depth = geometry::dot(state.emitter_position - view.eye, view.forward);
        distance = geometry::length(state.emitter_position - view.eye);
    }
    // A far cut of 0 means no far limit, as the per-particle fade reads it;
    // culling beyond the bounding radius would hide every emitter.
    const float far_cut = p.far_cut_distance > 0.0f ? p.far_cut_distance : view.default_far_cut_distance;
    if (far_cut > 0.0f && distance > p.bounding_radius + far_cut) {
        return;
    }
    if (state.emitter_present != 0 && p.bounding_radius > 0.0f && clip_volume != nullptr &&
        !geometry::sphere_radius_in_frustum(state.emitter_position, p.bounding_radius, clip_volume->planes)) {
        return;
    }
    const ParticleAxes axes = get_particle_axes(state, view);

    info.order_word = p.request_word;
    info.view_depth = depth + p.depth_bias;
    info.eye_distance = distance + p.depth_bias;
    info.kind = p.layer_word;
    begin_quad_batch(info, material);
    info.kind = 0;
    ParticleQuad quad;
    for (const Particle* particle = state.particles; particle != nullptr; particle = particle->next) {
        if (compute_particle_quad(state, axes, *particle, view, quad)) {
            append_quad(quad.corners, quad.phase, quad.color);
        }
    }
    flush_quad_batch();
    info.order_word = 0;
}

void ParticleGeneratorServer::queue_requests(VisibilityContext& context, float far_fade, float far_cut) {
    finish_update();
    RenderInfo info;
    context.set_object_transform(geometry::identity_quaternion(), {});
    default_far_fade_distance = far_fade;
    default_far_cut_distance = far_cut;
    const ParticleView view = make_particle_view(context, far_fade, far_cut);
    for (const ParticleGeneratorState* state = get_first_state(); state != nullptr; state = state->update_next) {
        if (state->params.enabled == 0) {
            continue;
        }
        const geometry::Frustum* clip_volume = &context.frustum;
        info.clip_rectangle = nullptr;
        const uint32_t slot = find_sector_view_slot(context, *state);
        if (slot == no_sector_view) {
            continue;
        }
        if (slot < context.sector_view_count) {
            const SectorView& sector_view = context.sector_views[slot];
            ScissorRectangle& scissor = sector_scissors[slot];
            scissor = {sector_view.rectangle.x0, sector_view.rectangle.y0, sector_view.rectangle.x1,
                       sector_view.rectangle.y1};
            info.clip_rectangle = &scissor;
            clip_volume = &sector_view.clip_volume;
        }
        if (state->params.unclipped != 0) {
            info.clip_rectangle = nullptr;
            clip_volume = nullptr;
        }
        info.clip_volume = clip_volume;
        ParticleGeneratorRender::queue_requests(info, *state, view, clip_volume);
    }
}

void queue_sprites_and_particles(VisibilityContext& context, float far_fade, float far_cut, bool) {
    particle_generator_server.queue_requests(context, far_fade, far_cut);
}

}  // namespace zolt::renderer

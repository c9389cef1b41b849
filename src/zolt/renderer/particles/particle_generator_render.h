#pragma once
// Drawing particle generators into a view: each enabled generator whose
// sector the view sees is culled by distance and by its bounding sphere,
// then its particles are appended as quads to one batch of the quad batcher
// with the generator's material. Main thread, inside the view's rendering,
// after the frame's particle update has finished.
#include "zolt/renderer/particles/particle_generator_state.h"
#include "zolt/renderer/particles/particle_quad.h"

namespace zolt::geometry {
struct Frustum;
}

namespace zolt::renderer {

struct RenderInfo;
struct VisibilityContext;

class ParticleGeneratorRender {
public:
    // One generator; clip_volume is the volume its emitter must touch, null
    // for none.
    static void queue_requests(RenderInfo& info, const ParticleGeneratorState& state, const ParticleView& view,
                               const geometry::Frustum* clip_volume);
};

// The view's axes and eye with the viewport's distances.
ParticleView make_particle_view(const VisibilityContext& context, float far_fade, float far_cut);

// The view hook: sprites have no pass of their own yet, so only particles
// are queued, with the viewport's far fade and far cut distances.
void queue_sprites_and_particles(VisibilityContext& context, float far_fade, float far_cut, bool occlusion);

}  // namespace zolt::renderer

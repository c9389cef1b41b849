#pragma once
// The quad of one particle as the view sees it: where its four corners lie,
// its colour after the distance fades, and its animation phase. The view is
// passed in (its axes and eye), so the same code serves every view. Main
// thread, after the frame's update has finished.
#include <cstdint>

#include "libs/geometry/vector.h"
#include "zolt/renderer/particles/particle_generator_state.h"

namespace zolt::renderer {

struct ParticleView {
    geometry::Vector3 right;
    geometry::Vector3 up;
    geometry::Vector3 forward;
    geometry::Vector3 eye;
    // The viewport's distances, used when the generator sets no far cut.
    float default_far_fade_distance = 0;
    float default_far_cut_distance = 0;
};

// The generator's axes for its orientation mode (velocity-facing quads take
// theirs per particle). A mode above 4 is fatal.
struct ParticleAxes {
    geometry::Vector3 right;
    geometry::Vector3 up;
    geometry::Vector3 normal;
};
ParticleAxes get_particle_axes(const ParticleGeneratorState& state, const ParticleView& view);

struct ParticleQuad {
    // In draw order: -H-W, -H+W, +H+W, +H-W.
    geometry::Vector3 corners[4];
    uint32_t color = 0;
    float phase = 0;
};

// False when the particle is not drawn: faded out, shrunk away, or cut.
bool compute_particle_quad(const ParticleGeneratorState& state, const ParticleAxes& axes, const Particle& particle,
                           const ParticleView& view, ParticleQuad& out);

}  // namespace zolt::renderer

#pragma once
// The runtime twin of a particle generator: a copy of its parameters, where
// its placements were this frame, its emission cycle and its particles. The
// main thread fills it before the frame's update list is published; then
// exactly one thread (a worker or the main thread) updates it; the main thread
// reads it again only after every worker reported done.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/object_handle.h"
#include "zolt/renderer/particles/particle.h"
#include "zolt/renderer/particles/particle_description.h"

namespace zolt::renderer {

struct ParticleGeneratorState {
    ParticleDescription params;
    uint8_t emitter_present = 0;
    geometry::Vector3 emitter_position;
    geometry::Quaternion emitter_rotation;
    uint8_t space_present = 0;
    geometry::Vector3 space_position;
    geometry::Quaternion space_rotation;
    geometry::Vector3 emitter_local;
    geometry::Vector3 previous_emitter_position;
    // Units per second.
    geometry::Vector3 emitter_velocity;
    geometry::Vector3 emitter_velocity_local;
    // The sector holding the emitter, 0 for none; drawing skips the
    // generator in views that do not see it.
    core::ObjectHandle sector = 0;
    // The generator's material, 0 for none (nothing is drawn).
    core::ObjectHandle material = 0;
    uint32_t pending_ticks = 0;
    Particle* particles = nullptr;
    uint32_t particle_count = 0;
    // Saturates instead of wrapping.
    uint32_t elapsed_ticks = 0;
    uint32_t burst_countdown = 0;
    uint32_t burst_count = 0;
    // Out of range: the particles were dropped.
    uint8_t suspended = 0;
    uint8_t in_range = 1;
    // This frame's update list; null ends it.
    ParticleGeneratorState* update_next = nullptr;
};

}  // namespace zolt::renderer

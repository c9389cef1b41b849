#pragma once
// One particle: a record of the shared pool, linked either on the pool's free
// list or on one generator's list. Positions are in particle space, times in
// ticks of 10 microseconds. Touched only by the thread updating its generator.
#include <cstdint>

#include "libs/geometry/vector.h"

namespace zolt::renderer {

struct Particle {
    Particle* next = nullptr;
    uint8_t immortal = 0;
    uint32_t lifetime = 0;
    uint32_t age = 0;
    uint32_t color = 0xFFFFFFFF;
    uint32_t start_color = 0;
    uint32_t end_color = 0;
    uint32_t fade_in = 0;
    uint32_t fade_out = 0;
    geometry::Vector3 position;
    geometry::Vector3 velocity;
    float size = 0;
    float growth = 0;
    // ln(growth), kept so a step costs one exponential.
    float log_growth = 0;
    float size_rate = 0;
    // Turns; a length factor for velocity-facing quads.
    float rotation = 0;
    float spin = 0;
    float restitution = 0;
    float animation_time = 0;
    geometry::Vector3 jitter_offset;
    geometry::Vector3 jitter_target;
};

}  // namespace zolt::renderer

#pragma once
// The numbered properties of a particle generator's description: where each
// field lies, its value type and the rule a write goes through. A write of a
// value that is not a finite number is refused. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/property.h"
#include "zolt/renderer/particles/particle_description.h"

namespace zolt::renderer {

namespace particle_generator_property {
constexpr uint32_t emitter_placement = 0x0100019A, space_placement = 0x0100019B, material_shader = 0x0300019C,
                   first_texture = 0x03000017, second_texture = 0x03000018, material_option = 0x0300025E,
                   enabled = 0x0300005B, destroy_when_idle = 0x03000178, immortal_particles = 0x030001A0,
                   layer_word = 0x0400001B, tint = 0x400001E1;
}  // namespace particle_generator_property

// Answers a description property by its bare key or its typed id.
bool get_description_property(const ParticleDescription& description, uint32_t id, core::Property& out);

enum class DescriptionWrite {
    // Not a description property under this typed id.
    unknown,
    stored,
    refused,
};

DescriptionWrite set_description_property(ParticleDescription& description, uint32_t id, const core::Property& value);

}  // namespace zolt::renderer

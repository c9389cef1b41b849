#include "zolt/renderer/particles/particle_generator_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/renderer/particles/particle_generator_server.h"

namespace zolt::renderer {

uint32_t advance_particle_generator(ParticleGeneratorHandle handle, uint32_t ticks) {
    ParticleGenerator* const generator = particle_generator_server.get_typed_object(handle.value);
    if (generator == nullptr) {
        return 0;
    }
    const uint32_t taken = ticks > longest_particle_advance_ticks ? longest_particle_advance_ticks : ticks;
    if (generator->description.enabled != 0) {
        generator->pending_ticks =
            generator->pending_ticks > UINT32_MAX - taken ? UINT32_MAX : generator->pending_ticks + taken;
    }
    return taken;
}

void restart_particle_generator(ParticleGeneratorHandle handle) {
    ParticleGenerator* const generator = particle_generator_server.get_typed_object(handle.value);
    if (generator == nullptr) {
        return;
    }
    if (generator->description.stopped != 0) {
        generator->description.stopped = 0;
        generator->mark_changed();
    }
    if (generator->description.immortal_particles == 0) {
        generator->restart_requested = 1;
        generator->pending_ticks = 0;
    }
}

void advance_particle_generators(uint32_t ticks) {
    particle_generator_server.advance_generators(ticks);
}

void bind_particle_builtins(core::BuiltinTable& table) {
    using core::bind_builtin;
    using core::BuiltinId;
    bind_builtin<BuiltinId::advance_particle_generator, &advance_particle_generator>(table);
    bind_builtin<BuiltinId::restart_particle_generator, &restart_particle_generator>(table);
    bind_builtin<BuiltinId::advance_particle_generators, &advance_particle_generators>(table);
}

}  // namespace zolt::renderer

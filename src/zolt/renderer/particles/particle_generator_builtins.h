#pragma once
// The particle builtins' bodies (602-604), the generator first as the
// builtins take it (on top of the stack). A handle that names no particle
// generator gives 0 or does nothing. Main thread only.
#include <cstdint>

#include "zolt/builtins/builtin_table.h"
#include "zolt/builtins/builtin_values.h"

namespace zolt::renderer {

using ParticleGeneratorHandle = core::BuiltinHandle<core::BuiltinKind::particle_generator_handle>;

// One call hands at most a minute of time to a generator.
constexpr uint32_t longest_particle_advance_ticks = 6000000;

void bind_particle_builtins(core::BuiltinTable& table);

// 602: the ticks as taken (capped); they are added only when the generator is
// enabled.
uint32_t advance_particle_generator(ParticleGeneratorHandle generator, uint32_t ticks);
// 603: a stopped generator starts again; unless its particles are immortal,
// its cycle restarts and its pending time is dropped.
void restart_particle_generator(ParticleGeneratorHandle generator);
// 604: destroys the idle generators that ask for it, then advances every
// enabled one.
void advance_particle_generators(uint32_t ticks);

}  // namespace zolt::renderer

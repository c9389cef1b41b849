#include "zolt/renderer/particles/particle_generator_server.h"

#include "libs/utility/config_variable_row.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/program/program_main.h"
#include "zolt/core/script_objects/random_generator.h"
#include "zolt/navigation/area_builtins.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/particles/particle_generator_render.h"
#include "zolt/renderer/particles/particle_simulation.h"
#include "zolt/renderer/view/view_hooks.h"

namespace zolt::renderer {

int32_t separate_particle_update_thread_count = -1;

namespace {

// The configuration table leaves this variable's number open; 118 is free.
const ConfigVariableRow<int32_t> separate_particle_update_thread_count_row(118, "separate_particle_update_thread_count",
                                                                           &separate_particle_update_thread_count, -1,
                                                                           -1, 2, 0);

void finish_particle_update() {
    particle_generator_server.finish_update();
}

}  // namespace

ParticleGeneratorServer particle_generator_server;

ParticleGeneratorServer::ParticleGeneratorServer()
    : PooledServer(particle_generator_server_type), workers_(pool_, update_generator) {}

uint32_t ParticleGeneratorServer::get_slot_index(const ParticleGenerator& generator) {
    // By address: a destroyed generator's handle already names the next slot.
    return static_cast<uint32_t>(&generator - &get_slot(0));
}

ParticleGeneratorState& ParticleGeneratorServer::get_state(const ParticleGenerator& generator) {
    return states_[get_slot_index(generator)];
}

void ParticleGeneratorServer::register_server() {
    PooledServer::register_server();
    workers_.start_workers(
        particle_thread_count(separate_particle_update_thread_count, compute_thread_affinity_mask()));
    rendering_command_hooks.finish_particle_update = &finish_particle_update;
    view_hooks.queue_sprites_and_particles = &queue_sprites_and_particles;
}

void ParticleGeneratorServer::unregister_server() {
    finish_update();
    workers_.stop_workers();
    first_state_ = nullptr;
    if (rendering_command_hooks.finish_particle_update == &finish_particle_update) {
        rendering_command_hooks.finish_particle_update = nullptr;
    }
    if (view_hooks.queue_sprites_and_particles == &queue_sprites_and_particles) {
        view_hooks.queue_sprites_and_particles = nullptr;
    }
    PooledServer::unregister_server();
    changed_count_ = 0;
}

void ParticleGeneratorServer::link_changed(ParticleGenerator& generator) {
    if (generator.in_changed_ring) {
        return;
    }
    generator.in_changed_ring = true;
    changed_slots_[changed_count_++] = static_cast<uint16_t>(get_slot_index(generator));
}

void ParticleGeneratorServer::object_created(core::ServerObject* object) {
    auto* const generator = static_cast<ParticleGenerator*>(object);
    generator->status = particle_generator_status::live;
    link_changed(*generator);
}

void ParticleGeneratorServer::object_loaded(core::ServerObject* object) {
    static_cast<ParticleGenerator*>(object)->status = particle_generator_status::live;
}

void ParticleGeneratorServer::object_destroyed(core::ServerObject* object) {
    auto* const generator = static_cast<ParticleGenerator*>(object);
    generator->status = particle_generator_status::destroyed;
    link_changed(*generator);
}

void ParticleGeneratorServer::object_released(core::ServerObject* object) {
    release_generator(*static_cast<ParticleGenerator*>(object));
}

void ParticleGeneratorServer::release_generator(ParticleGenerator& generator) {
    ParticleGeneratorState& state = get_state(generator);
    pool_.give_particles(state.particles);
    state.particle_count = 0;
    state.update_next = nullptr;
    state.sector = 0;
    state.material = 0;
    if (generator.in_changed_ring) {
        const auto slot = static_cast<uint16_t>(get_slot_index(generator));
        uint32_t kept = 0;
        for (uint32_t index = 0; index < changed_count_; ++index) {
            if (changed_slots_[index] != slot) {
                changed_slots_[kept++] = changed_slots_[index];
            }
        }
        changed_count_ = kept;
        generator.in_changed_ring = false;
    }
    generator.status = particle_generator_status::released;
}

void ParticleGeneratorServer::refresh_placements(const ParticleGenerator& generator, ParticleGeneratorState& state) {
    core::Placement* const emitter = generator.emitter_placement != 0
                                         ? core::placement_server.get_typed_object(generator.emitter_placement)
                                         : nullptr;
    if (emitter != nullptr) {
        state.emitter_position = emitter->get_world_position();
        state.emitter_rotation = emitter->get_world_rotation();
        // A new emitter has not moved yet.
        if (state.emitter_present == 0) {
            state.previous_emitter_position = state.emitter_position;
        }
        state.emitter_present = 1;
    } else {
        state.emitter_present = 0;
        state.emitter_position = {};
        state.emitter_rotation = geometry::identity_quaternion();
        state.previous_emitter_position = {};
    }
    core::Placement* const space =
        generator.space_placement != 0 ? core::placement_server.get_typed_object(generator.space_placement) : nullptr;
    if (space != nullptr) {
        state.space_present = 1;
        state.space_position = space->get_world_position();
        state.space_rotation = space->get_world_rotation();
        state.emitter_local = space->world_to_local(state.emitter_position);
    } else {
        state.space_present = 0;
        state.space_position = {};
        state.space_rotation = geometry::identity_quaternion();
        state.emitter_local = state.emitter_position;
    }
}

void ParticleGeneratorServer::apply_changes(ParticleGenerator& generator) {
    ParticleGeneratorState& state = get_state(generator);
    generator.in_changed_ring = false;
    if (generator.status == particle_generator_status::destroyed) {
        pool_.give_particles(state.particles);
        state.particle_count = 0;
        return;
    }
    if (generator.description_changed != 0) {
        state.params = generator.description;
        state.material = generator.material;
        generator.description_changed = 0;
    }
    refresh_placements(generator, state);
    // Generators drawn in front of the scene and those told so belong to no
    // sector; the search starts in the sector found last time.
    const ParticleDescription& p = state.params;
    if (state.emitter_present == 0 || p.no_sector != 0 || p.layer_word == 1) {
        state.sector = 0;
    } else {
        state.sector = servers::find_sector_at_point(state.emitter_position, {state.sector}).value;
    }
}

void ParticleGeneratorServer::prepare_generator(ParticleGenerator& generator, ParticleGeneratorState& state) {
    const ParticleDescription& p = generator.description;
    if (generator.restart_requested != 0) {
        generator.restart_requested = 0;
        if (p.immortal_particles == 0) {
            state.elapsed_ticks = 0;
            state.burst_count = 0;
            state.burst_countdown = 0;
        }
    }
    state.pending_ticks = generator.pending_ticks;
    generator.pending_ticks = 0;
    const bool finished = p.burst_limit != 0 && state.burst_count >= p.burst_limit;
    generator.idle = p.enabled != 0 && p.immortal_particles == 0 && (finished || p.stopped != 0) &&
                             state.particle_count == 0 && p.cycle_length == 0
                         ? 1
                         : 0;
    generator.suspended = state.suspended;
    // Without viewports there is no camera to measure the range from, so a
    // generator with a margin keeps the range it had.
    if (p.update_margin <= 0.0f) {
        state.in_range = 1;
    }
}

void ParticleGeneratorServer::update() {
    finish_update();
    const uint32_t changed_at_start = changed_count_;
    for (uint32_t index = 0; index < changed_at_start; ++index) {
        apply_changes(get_slot(changed_slots_[index]));
    }
    // Whatever changed while the ring was walked waits for the next frame.
    for (uint32_t index = changed_at_start; index < changed_count_; ++index) {
        changed_slots_[index - changed_at_start] = changed_slots_[index];
    }
    changed_count_ -= changed_at_start;

    first_state_ = nullptr;
    ParticleGeneratorState* previous = nullptr;
    core::for_each_live_object(this, [&](core::ServerObject* object) {
        auto* const generator = static_cast<ParticleGenerator*>(object);
        ParticleGeneratorState& state = get_state(*generator);
        prepare_generator(*generator, state);
        state.update_next = nullptr;
        if (previous != nullptr) {
            previous->update_next = &state;
        } else {
            first_state_ = &state;
        }
        previous = &state;
    });
    workers_.begin_update(first_state_);
}

void ParticleGeneratorServer::finish_update() {
    workers_.finish_update(core::global_random_generator);
}

void ParticleGeneratorServer::advance_generators(uint32_t ticks) {
    // Destroying a generator can destroy others it owns, so the walk goes by
    // handle and skips whatever no longer resolves.
    core::ObjectHandle handles[particle_generator_capacity];
    uint32_t count = 0;
    core::for_each_live_object(this, [&](core::ServerObject* object) { handles[count++] = object->get_handle(); });
    for (uint32_t index = 0; index < count; ++index) {
        ParticleGenerator* const generator = get_typed_object(handles[index]);
        if (generator == nullptr) {
            continue;
        }
        const ParticleDescription& p = generator->description;
        if (p.destroy_when_idle != 0 && (generator->idle != 0 || generator->suspended != 0 || p.enabled == 0)) {
            core::destroy_object(generator);
        }
    }
    if (ticks == 0) {
        return;
    }
    core::for_each_live_object(this, [&](core::ServerObject* object) {
        auto* const generator = static_cast<ParticleGenerator*>(object);
        if (generator->description.enabled != 0) {
            // Saturates: a wrapped sum would throw the time away.
            generator->pending_ticks =
                generator->pending_ticks > UINT32_MAX - ticks ? UINT32_MAX : generator->pending_ticks + ticks;
        }
    });
}

}  // namespace zolt::renderer

#pragma once
// The server of particle generators (type 37, 2000 of them). Beside the
// generators it keeps one runtime state per slot, the pool of particles they
// share and the worker threads. Once a frame, inside a rendering command,
// update() brings the states up to date and hands them out; finish_update()
// lets the main thread take what is left and waits for the workers, so no
// update is pending when the command returns.
//
// Main thread only, except that the workers run the updates they pop.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/renderer/particles/particle_generator.h"
#include "zolt/renderer/particles/particle_generator_state.h"
#include "zolt/renderer/particles/particle_pool.h"
#include "zolt/renderer/particles/particle_update_workers.h"

namespace zolt::renderer {

struct VisibilityContext;

constexpr uint32_t particle_generator_server_type = 37;
constexpr uint32_t particle_generator_capacity = 2000;

// The setting behind the worker count: -1 chooses by the process affinity.
extern int32_t separate_particle_update_thread_count;

class ParticleGeneratorServer final : public core::PooledServer<ParticleGenerator, particle_generator_capacity> {
public:
    ParticleGeneratorServer();

    const char* get_name() const override { return "ParticleGeneratorServer"; }
    // Also starts the workers and installs the frame's finishing step.
    void register_server() override;
    void unregister_server() override;
    void object_created(core::ServerObject* object) override;
    void object_loaded(core::ServerObject* object) override;
    void object_destroyed(core::ServerObject* object) override;
    // Destroyed generators wait for the rendering thread's release pass.
    bool is_object_in_use(core::ServerObject* object, bool on_rendering_thread) override {
        return !on_rendering_thread;
    }
    void object_released(core::ServerObject* object) override;
    void update() override;
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    void finish_update();
    // Draws every enabled generator into the view (finishing the update
    // first); the distances are the viewport's, for generators without
    // their own far cut.
    void queue_requests(VisibilityContext& context, float far_fade, float far_cut);
    // The first live generator's state; the rest follow through update_next.
    ParticleGeneratorState* get_first_state() const { return first_state_; }

    uint32_t get_slot_index(const ParticleGenerator& generator);
    ParticleGeneratorState& get_state(const ParticleGenerator& generator);
    ParticlePool& get_pool() { return pool_; }
    ParticleUpdateWorkers& get_workers() { return workers_; }
    void link_changed(ParticleGenerator& generator);

    // Builtin 604: destroys every idle, suspended or disabled generator that
    // asks for it, then hands the ticks to every enabled one.
    void advance_generators(uint32_t ticks);

    float default_far_fade_distance = 0;
    float default_far_cut_distance = 0;

private:
    void apply_changes(ParticleGenerator& generator);
    void refresh_placements(const ParticleGenerator& generator, ParticleGeneratorState& state);
    void prepare_generator(ParticleGenerator& generator, ParticleGeneratorState& state);
    void release_generator(ParticleGenerator& generator);

    ParticleGeneratorState states_[particle_generator_capacity];
    // The changed generators by slot, in the order they changed.
    uint16_t changed_slots_[particle_generator_capacity] = {};
    uint32_t changed_count_ = 0;
    ParticlePool pool_;
    ParticleUpdateWorkers workers_;
    ParticleGeneratorState* first_state_ = nullptr;
};

extern ParticleGeneratorServer particle_generator_server;

}  // namespace zolt::renderer

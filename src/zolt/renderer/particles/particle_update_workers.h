#pragma once
// The frame's particle work shared out: the main thread publishes a list of
// generator states and wakes the workers; every thread, the main thread
// included in finish_update, pops states until the list is empty. A state is
// popped by exactly one thread. The pop is a compare-exchange on the head
// alone, which is safe only because nothing is pushed while workers pop: the
// list is rebuilt from scratch before each publication.
//
// Main thread: start_workers, stop_workers, begin_update, finish_update.
#include <array>
#include <atomic>
#include <cstdint>

#include "platform/system/event.h"
#include "platform/system/threads.h"
#include "zolt/core/script_objects/random_generator.h"
#include "zolt/renderer/particles/particle_generator_state.h"
#include "zolt/renderer/particles/particle_pool.h"

namespace zolt::renderer {

// The engine runs at most two; more exist only to measure how the work scales.
constexpr uint32_t maximum_particle_workers = 4;
constexpr uint32_t engine_particle_workers = 2;

// From separate_particle_update_thread_count: 0 or more is taken as it is
// (above 2 becomes 2); -1 asks for one worker when the affinity mask has two
// processors or more, else none.
uint32_t particle_thread_count(int32_t configured, uint32_t affinity_mask);

using ParticleUpdateFunction = void (*)(ParticleGeneratorState& state, ParticlePool& pool,
                                        core::RandomGenerator& random);

class ParticleUpdateWorkers {
public:
    // Every worker starts its random generator from these words, each time.
    static constexpr uint32_t worker_seed[4] = {0x12B9B0A1, 0x1033C4D6, 0x0EFF5AE1, 0x23F4085C};

    ParticleUpdateWorkers(ParticlePool& pool, ParticleUpdateFunction update);
    ~ParticleUpdateWorkers();
    ParticleUpdateWorkers(const ParticleUpdateWorkers&) = delete;
    ParticleUpdateWorkers& operator=(const ParticleUpdateWorkers&) = delete;

    // Up to maximum_particle_workers threads named "Particle thread".
    void start_workers(uint32_t count);
    void stop_workers();
    uint32_t get_worker_count() const { return worker_count_; }

    // Publishes the list from first (linked through update_next) and wakes
    // the workers. The previous update must be finished.
    void begin_update(ParticleGeneratorState* first);
    // Takes what is left with the main thread's generator, then waits for
    // every worker. Nothing when no update is in progress.
    void finish_update(core::RandomGenerator& random);
    bool is_update_in_progress() const { return update_in_progress_; }

private:
    struct Worker {
        ParticleUpdateWorkers* owner = nullptr;
        platform::ThreadHandle thread;
        platform::Event start_event{false, false};
        platform::Event done_event{false, false};
        std::atomic<bool> quit{false};
        core::RandomGenerator random;
    };

    static void run_worker(void* argument);
    ParticleGeneratorState* pop_state();
    void update_until_empty(core::RandomGenerator& random);

    ParticlePool& pool_;
    ParticleUpdateFunction update_;
    std::array<Worker, maximum_particle_workers> workers_;
    uint32_t worker_count_ = 0;
    std::atomic<ParticleGeneratorState*> update_head_{nullptr};
    bool update_in_progress_ = false;
};

}  // namespace zolt::renderer

#include "zolt/renderer/particles/particle_update_workers.h"

#include <bit>

#include "libs/system/worker_thread.h"

namespace zolt::renderer {

uint32_t particle_thread_count(int32_t configured, uint32_t affinity_mask) {
    if (configured >= 0) {
        return static_cast<uint32_t>(configured) > engine_particle_workers ? engine_particle_workers
                                                                           : static_cast<uint32_t>(configured);
    }
    return std::popcount(affinity_mask) >= 2 ? 1 : 0;
}

ParticleUpdateWorkers::ParticleUpdateWorkers(ParticlePool& pool, ParticleUpdateFunction update)
    : pool_(pool), update_(update) {
    for (Worker& worker : workers_) {
        worker.owner = this;
    }
}

ParticleUpdateWorkers::~ParticleUpdateWorkers() {
    stop_workers();
}

void ParticleUpdateWorkers::start_workers(uint32_t count) {
    stop_workers();
    worker_count_ = count > maximum_particle_workers ? maximum_particle_workers : count;
    for (uint32_t index = 0; index < worker_count_; ++index) {
        Worker& worker = workers_[index];
        worker.start_event.reset();
        worker.done_event.reset();
        worker.quit.store(false);
        create_thread(&worker.thread, nullptr, run_worker, &worker);
    }
}

void ParticleUpdateWorkers::stop_workers() {
    for (uint32_t index = 0; index < worker_count_; ++index) {
        Worker& worker = workers_[index];
        worker.quit.store(true);
        worker.start_event.set();
        worker.done_event.wait();
        platform::join_thread(&worker.thread);
    }
    worker_count_ = 0;
}

void ParticleUpdateWorkers::run_worker(void* argument) {
    Worker& worker = *static_cast<Worker*>(argument);
    platform::set_current_thread_name("Particle thread");
    worker.random.x = worker_seed[0];
    worker.random.y = worker_seed[1];
    worker.random.z = worker_seed[2];
    worker.random.w = worker_seed[3];
    for (;;) {
        worker.start_event.wait();
        if (worker.quit.load()) {
            worker.done_event.set();
            return;
        }
        worker.owner->update_until_empty(worker.random);
        worker.done_event.set();
    }
}

ParticleGeneratorState* ParticleUpdateWorkers::pop_state() {
    ParticleGeneratorState* head = update_head_.load(std::memory_order_acquire);
    while (head != nullptr) {
        if (update_head_.compare_exchange_weak(head, head->update_next, std::memory_order_acq_rel,
                                               std::memory_order_acquire)) {
            return head;
        }
    }
    return nullptr;
}

void ParticleUpdateWorkers::update_until_empty(core::RandomGenerator& random) {
    while (ParticleGeneratorState* const state = pop_state()) {
        update_(*state, pool_, random);
    }
}

void ParticleUpdateWorkers::begin_update(ParticleGeneratorState* first) {
    update_head_.store(first, std::memory_order_release);
    update_in_progress_ = true;
    for (uint32_t index = 0; index < worker_count_; ++index) {
        workers_[index].start_event.set();
    }
}

void ParticleUpdateWorkers::finish_update(core::RandomGenerator& random) {
    if (!update_in_progress_) {
        return;
    }
    update_until_empty(random);
    for (uint32_t index = 0; index < worker_count_; ++index) {
        workers_[index].done_event.wait();
    }
    update_in_progress_ = false;
}

}  // namespace zolt::renderer

#include "zolt/renderer/particles/particle_pool.h"

namespace zolt::renderer {

ParticlePool::ParticlePool(uint32_t capacity) : capacity_(capacity), records_(new Particle[capacity]) {
    // The last record heads the list, so records are handed out from the top.
    for (uint32_t index = 0; index < capacity; ++index) {
        records_[index].next = free_head_;
        free_head_ = &records_[index];
    }
    free_count_ = capacity;
}

Particle* ParticlePool::take_particle() {
    Particle* taken;
    {
        std::lock_guard<std::mutex> hold(lock_);
        taken = free_head_;
        if (taken == nullptr) {
            return nullptr;
        }
        free_head_ = taken->next;
        --free_count_;
    }
    *taken = Particle{};
    return taken;
}

void ParticlePool::give_particle(Particle* particle) {
    std::lock_guard<std::mutex> hold(lock_);
    particle->next = free_head_;
    free_head_ = particle;
    ++free_count_;
}

void ParticlePool::give_particles(Particle*& head) {
    while (head != nullptr) {
        Particle* const next = head->next;
        give_particle(head);
        head = next;
    }
}

uint32_t ParticlePool::count_free_particles() {
    std::lock_guard<std::mutex> hold(lock_);
    return free_count_;
}

}  // namespace zolt::renderer

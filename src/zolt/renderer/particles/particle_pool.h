#pragma once
// The particle records shared by all generators, sized once at construction.
// Any thread that updates a generator takes and gives records; each take and
// each give holds the lock for one list operation.
#include <cstdint>
#include <memory>
#include <mutex>

#include "zolt/renderer/particles/particle.h"

namespace zolt::renderer {

class ParticlePool {
public:
    static constexpr uint32_t default_capacity = 5000;

    explicit ParticlePool(uint32_t capacity = default_capacity);
    ParticlePool(const ParticlePool&) = delete;
    ParticlePool& operator=(const ParticlePool&) = delete;

    // A reset record, or null when the pool is empty.
    Particle* take_particle();
    void give_particle(Particle* particle);
    // Gives back a whole generator list; the head becomes null.
    void give_particles(Particle*& head);

    uint32_t get_capacity() const { return capacity_; }
    uint32_t count_free_particles();

private:
    uint32_t capacity_;
    std::unique_ptr<Particle[]> records_;
    Particle* free_head_ = nullptr;
    uint32_t free_count_ = 0;
    std::mutex lock_;
};

}  // namespace zolt::renderer

#include "zolt/renderer/particles/particle_update_workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "zolt/renderer/particles/particle_simulation.h"
#include "zolt/renderer/particles/particle_test_support.h"

namespace zolt::renderer {
namespace {

constexpr uint32_t generator_count = 64;

// Counts updates in the state's pending ticks word, which nothing else
// touches here: a state updated twice in one frame shows 2.
void count_update(ParticleGeneratorState& state, ParticlePool&, core::RandomGenerator&) {
    ++state.pending_ticks;
}

ParticleGeneratorState* link_update_list(std::vector<ParticleGeneratorState>& states) {
    for (size_t index = 0; index + 1 < states.size(); ++index) {
        states[index].update_next = &states[index + 1];
    }
    states.back().update_next = nullptr;
    return &states.front();
}

TEST(ParticleUpdateWorkers, EveryGeneratorIsUpdatedExactlyOncePerFrame) {
    for (uint32_t workers = 0; workers <= engine_particle_workers; ++workers) {
        ParticlePool pool(1);
        ParticleUpdateWorkers update(pool, count_update);
        update.start_workers(workers);
        EXPECT_EQ(update.get_worker_count(), workers);
        std::vector<ParticleGeneratorState> states(generator_count);
        core::RandomGenerator random = testing::make_seeded_random();
        for (int frame = 0; frame < 50; ++frame) {
            for (ParticleGeneratorState& state : states) {
                state.pending_ticks = 0;
            }
            update.begin_update(link_update_list(states));
            EXPECT_TRUE(update.is_update_in_progress());
            update.finish_update(random);
            EXPECT_FALSE(update.is_update_in_progress());
            for (uint32_t index = 0; index < generator_count; ++index) {
                ASSERT_EQ(states[index].pending_ticks, 1u) << workers << " workers, frame " << frame << ", " << index;
            }
        }
        update.stop_workers();
        EXPECT_EQ(update.get_worker_count(), 0u);
    }
}

TEST(ParticleUpdateWorkers, ThePoolIsConservedWhileWorkersEmitAndRetire) {
    for (uint32_t workers = 0; workers <= engine_particle_workers; ++workers) {
        ParticlePool pool(600);
        ParticleUpdateWorkers update(pool, update_generator);
        update.start_workers(workers);
        std::vector<ParticleGeneratorState> states(16, testing::make_emitting_state());
        for (ParticleGeneratorState& state : states) {
            state.params.burst_interval = 500;
            state.params.burst_size = 7;
            state.params.lifetime = 6000;
        }
        core::RandomGenerator random = testing::make_seeded_random();
        bool pool_ran_dry = false;
        for (int frame = 0; frame < 40; ++frame) {
            for (ParticleGeneratorState& state : states) {
                state.pending_ticks = 1666;
            }
            update.begin_update(link_update_list(states));
            update.finish_update(random);
            uint32_t live = 0;
            for (const ParticleGeneratorState& state : states) {
                uint32_t listed = 0;
                testing::for_each_particle(state, [&](const Particle&) { ++listed; });
                ASSERT_EQ(listed, state.particle_count);
                EXPECT_EQ(state.pending_ticks, 0u);
                live += listed;
            }
            const uint32_t free = pool.count_free_particles();
            ASSERT_EQ(live + free, pool.get_capacity()) << workers << " workers, frame " << frame;
            pool_ran_dry = pool_ran_dry || free == 0;
        }
        EXPECT_TRUE(pool_ran_dry) << "the load should exhaust the pool";
        for (ParticleGeneratorState& state : states) {
            pool.give_particles(state.particles);
        }
        EXPECT_EQ(pool.count_free_particles(), pool.get_capacity());
    }
}

TEST(ParticleUpdateWorkers, FinishingWithoutAnUpdateDoesNothing) {
    ParticlePool pool(1);
    ParticleUpdateWorkers update(pool, count_update);
    update.start_workers(1);
    core::RandomGenerator random = testing::make_seeded_random();
    std::vector<ParticleGeneratorState> states(3);
    update.begin_update(link_update_list(states));
    update.finish_update(random);
    update.finish_update(random);
    for (const ParticleGeneratorState& state : states) {
        EXPECT_EQ(state.pending_ticks, 1u);
    }
    // An empty frame still wakes and joins the workers.
    update.begin_update(nullptr);
    update.finish_update(random);
    EXPECT_FALSE(update.is_update_in_progress());
}

TEST(ParticleUpdateWorkers, TheThreadCountFollowsTheSettingAndTheAffinity) {
    const struct {
        int32_t configured;
        uint32_t mask;
        uint32_t expected;
    } rows[] = {
        {0, 0xF, 0}, {1, 0x1, 1}, {2, 0x1, 2}, {-1, 0x1, 0}, {-1, 0xF, 1}, {-1, 0x0, 0}, {-1, 0x3, 1}, {7, 0xF, 2},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(particle_thread_count(row.configured, row.mask), row.expected)
            << row.configured << " with mask " << row.mask;
    }
}

}  // namespace
}  // namespace zolt::renderer

#include "zolt/renderer/particles/particle_generator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "support/byte_streams.h"
#include "support/server_ring.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/renderer/particles/particle_generator_builtins.h"
#include "zolt/renderer/particles/particle_generator_properties.h"
#include "zolt/renderer/particles/particle_generator_server.h"

namespace zolt::renderer {
namespace {

using core::Property;
namespace property = particle_generator_property;

constexpr float not_a_number = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

Property word(uint32_t id, uint32_t value) {
    Property p;
    p.set_u32(id, value);
    return p;
}

Property real(uint32_t key, float value) {
    Property p;
    p.set_float(core::make_property_id(core::property_type::floating, key), value);
    return p;
}

Property vector(uint32_t key, float x, float y, float z) {
    const float lanes[3] = {x, y, z};
    Property p;
    p.set_floats(core::make_property_id(core::property_type::vector3, key), lanes, 3);
    return p;
}

uint32_t typed_word(uint32_t key) {
    return core::make_property_id(core::property_type::unsigned_integer, key);
}

class ParticleGeneratorTest : public ::testing::Test {
protected:
    void SetUp() override {
        separate_particle_update_thread_count = 0;
        core::dictionary_server.register_server();
        core::placement_server.register_server();
        particle_generator_server.register_server();
    }
    void TearDown() override {
        test::unregister_all_servers();
        separate_particle_update_thread_count = -1;
    }

    ParticleGenerator* create() {
        return static_cast<ParticleGenerator*>(particle_generator_server.create_object_internal(0));
    }
    // One frame of the render side: changes applied, states updated.
    void run_frame() {
        particle_generator_server.update();
        particle_generator_server.finish_update();
    }
    ParticleGenerator* create_emitting() {
        ParticleGenerator* g = create();
        EXPECT_TRUE(g->set_property(property::enabled, word(property::enabled, 1)));
        g->set_property(typed_word(439), word(typed_word(439), 1000000));
        g->set_property(typed_word(437), word(typed_word(437), 3));
        g->set_property(real(468, 1).id, real(468, 1));
        g->set_property(vector(441, 0, 0, 1).id, vector(441, 0, 0, 1));
        g->set_property(real(444, 2).id, real(444, 2));
        g->set_property(real(442, 0.1f).id, real(442, 0.1f));
        g->set_property(typed_word(435), word(typed_word(435), 2000));
        return g;
    }
};

TEST_F(ParticleGeneratorTest, WritesFollowEachPropertysRule) {
    ParticleGenerator* const g = create();
    struct Case {
        const char* name;
        Property written;
        uint32_t read_id;
        float expected[3];
    };
    const Case cases[] = {
        {"spread above a half", real(442, 0.7f), 442, {0.5f}},
        {"negative spread", real(442, -1), 442, {0}},
        {"negative size", real(468, -3), 468, {0}},
        {"blend end above 1", real(459, 4), 459, {1}},
        {"zero direction", vector(441, 0, 0, 0), 441, {0, 1, 0}},
        {"long direction", vector(441, 0, 0, 3), 441, {0, 0, 1}},
        {"negative extents", vector(426, -1, 2, -3), 426, {0, 2, 0}},
        {"acceleration as written", vector(307, -1, 2, -3), 307, {-1, 2, -3}},
        {"height as written", real(420, -7), 420, {-7}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(g->set_property(c.written.id, c.written)) << c.name;
        Property read;
        ASSERT_TRUE(g->get_property(c.read_id, read)) << c.name;
        const uint32_t lanes = core::get_property_value_type(read.id) == core::property_type::vector3 ? 3 : 1;
        for (uint32_t lane = 0; lane < lanes; ++lane) {
            EXPECT_FLOAT_EQ(read.get_float(static_cast<int>(lane)), c.expected[lane]) << c.name << " lane " << lane;
        }
    }
}

TEST_F(ParticleGeneratorTest, SpeedLimitsAndImmortalityDependOnEachOther) {
    ParticleGenerator* const g = create();
    const ParticleDescription& d = g->description;
    g->set_property(real(446, 5).id, real(446, 5));
    EXPECT_EQ(d.minimum_speed, 5);
    EXPECT_EQ(d.maximum_speed, 5);
    g->set_property(real(447, 2).id, real(447, 2));
    EXPECT_EQ(d.minimum_speed, 2);
    EXPECT_EQ(d.maximum_speed, 2);

    g->set_property(property::immortal_particles, word(property::immortal_particles, 7));
    EXPECT_EQ(d.immortal_particles, 0);
    g->set_property(property::destroy_when_idle, word(property::destroy_when_idle, 0));
    g->set_property(property::immortal_particles, word(property::immortal_particles, 7));
    EXPECT_EQ(d.immortal_particles, 1);
}

TEST_F(ParticleGeneratorTest, RefusedWritesChangeNothing) {
    ParticleGenerator* const g = create();
    g->set_property(real(444, 3).id, real(444, 3));
    g->set_property(vector(307, 1, 2, 3).id, vector(307, 1, 2, 3));
    const ParticleDescription before = g->description;
    const Property refused[] = {
        real(444, not_a_number),         real(444, infinity),         real(442, -infinity),
        vector(307, 1, not_a_number, 3), vector(441, infinity, 0, 0), word(property::layer_word, 2),
    };
    for (const Property& p : refused) {
        EXPECT_FALSE(g->set_property(p.id, p)) << std::hex << p.id;
    }
    EXPECT_EQ(std::memcmp(&before, &g->description, sizeof before), 0);
    EXPECT_TRUE(g->set_property(property::layer_word, word(property::layer_word, 1)));
    Property read;
    ASSERT_TRUE(g->get_property(27, read));
    EXPECT_EQ(read.id, property::layer_word);
    EXPECT_EQ(read.get_u32(), 1u);
}

TEST_F(ParticleGeneratorTest, AWriteUnderAnotherTypeGoesToTheExtraPropertiesAndTheFieldStillAnswers) {
    ParticleGenerator* const g = create();
    ASSERT_TRUE(g->set_property(real(413, 2.5f).id, real(413, 2.5f)));
    ASSERT_TRUE(g->set_property(typed_word(413), word(typed_word(413), 9)));
    EXPECT_NE(g->extra_properties, 0u);
    EXPECT_EQ(g->description.animation_duration, 2.5f);
    Property read;
    ASSERT_TRUE(g->get_property(413, read));
    EXPECT_EQ(read.get_float(), 2.5f);
    ASSERT_TRUE(g->get_property(real(413, 0).id, read));
    EXPECT_EQ(read.get_float(), 2.5f);
    ASSERT_TRUE(g->get_property(typed_word(413), read));
    EXPECT_EQ(read.get_u32(), 9u);
    // A flag reads back as 0 or 1.
    g->set_property(typed_word(417), word(typed_word(417), 40));
    ASSERT_TRUE(g->get_property(417, read));
    EXPECT_EQ(read.get_u32(), 1u);
}

TEST_F(ParticleGeneratorTest, PlacementLinksKeepOnlyPlacementsAndAttachTheGenerator) {
    ParticleGenerator* const g = create();
    core::Placement* const emitter = core::placement_server.create_placement();
    emitter->set_world_position({1, 2, 3});
    ASSERT_TRUE(g->set_property(property::emitter_placement, word(property::emitter_placement, emitter->get_handle())));
    EXPECT_EQ(g->emitter_placement, emitter->get_handle());
    EXPECT_EQ(emitter->get_attached_object(), g->get_handle());
    run_frame();
    const ParticleGeneratorState& state = particle_generator_server.get_state(*g);
    EXPECT_EQ(state.emitter_present, 1);
    EXPECT_EQ(state.emitter_position.z, 3.0f);

    g->set_property(property::space_placement, word(property::space_placement, 0x12345));
    EXPECT_EQ(g->space_placement, 0u);
    g->set_property(property::emitter_placement, word(property::emitter_placement, 0));
    EXPECT_EQ(emitter->get_attached_object(), 0u);
    run_frame();
    EXPECT_EQ(state.emitter_present, 0);
}

TEST_F(ParticleGeneratorTest, BuiltinsHandOutTimeAndRestartTheCycle) {
    ParticleGenerator* const g = create();
    const ParticleGeneratorHandle handle{g->get_handle()};
    EXPECT_EQ(advance_particle_generator(handle, 10000000), longest_particle_advance_ticks);
    EXPECT_EQ(g->pending_ticks, 0u);  // disabled: nothing added
    g->set_property(property::enabled, word(property::enabled, 1));
    EXPECT_EQ(advance_particle_generator(handle, 10000000), longest_particle_advance_ticks);
    EXPECT_EQ(g->pending_ticks, longest_particle_advance_ticks);
    EXPECT_EQ(advance_particle_generator(ParticleGeneratorHandle{0x12345}, 5), 0u);

    g->set_property(typed_word(417), word(typed_word(417), 1));
    g->restart_requested = 0;
    restart_particle_generator(handle);
    EXPECT_EQ(g->description.stopped, 0);
    EXPECT_EQ(g->restart_requested, 1);
    EXPECT_EQ(g->pending_ticks, 0u);
    restart_particle_generator(ParticleGeneratorHandle{0});

    // 604 saturates instead of wrapping.
    g->pending_ticks = 0xFFFFFF00u;
    g->set_property(property::destroy_when_idle, word(property::destroy_when_idle, 0));
    advance_particle_generators(0x1000);
    EXPECT_EQ(g->pending_ticks, 0xFFFFFFFFu);
}

TEST_F(ParticleGeneratorTest, AdvancingAllDestroysTheGeneratorsThatAskWhenDisabledOrIdle) {
    ParticleGenerator* const disabled = create();
    ParticleGenerator* const kept_disabled = create();
    kept_disabled->set_property(property::destroy_when_idle, word(property::destroy_when_idle, 0));
    ParticleGenerator* const running = create_emitting();
    const core::ObjectHandle handles[] = {disabled->get_handle(), kept_disabled->get_handle(), running->get_handle()};
    advance_particle_generators(5000);
    EXPECT_EQ(particle_generator_server.get_typed_object(handles[0]), nullptr);
    EXPECT_NE(particle_generator_server.get_typed_object(handles[1]), nullptr);
    ASSERT_NE(particle_generator_server.get_typed_object(handles[2]), nullptr);
    EXPECT_EQ(running->pending_ticks, 5000u);
    EXPECT_EQ(kept_disabled->pending_ticks, 0u);
}

TEST_F(ParticleGeneratorTest, EachFrameUpdatesEveryGeneratorOnceWithAnyWorkerCount) {
    for (int32_t workers = 0; workers <= 2; ++workers) {
        test::unregister_all_servers();
        separate_particle_update_thread_count = workers;
        core::dictionary_server.register_server();
        core::placement_server.register_server();
        particle_generator_server.register_server();
        EXPECT_EQ(particle_generator_server.get_workers().get_worker_count(), static_cast<uint32_t>(workers));
        std::vector<ParticleGenerator*> generators;
        for (int index = 0; index < 40; ++index) {
            generators.push_back(create_emitting());
        }
        for (int frame = 1; frame <= 10; ++frame) {
            for (ParticleGenerator* g : generators) {
                advance_particle_generator(ParticleGeneratorHandle{g->get_handle()}, 1666);
            }
            run_frame();
            uint32_t live = 0;
            for (ParticleGenerator* g : generators) {
                const ParticleGeneratorState& state = particle_generator_server.get_state(*g);
                // Once per frame: the cycle has seen exactly the time given.
                ASSERT_EQ(state.elapsed_ticks, 1666u * frame) << workers << " workers, frame " << frame;
                ASSERT_EQ(state.pending_ticks, 0u);
                live += state.particle_count;
            }
            ASSERT_EQ(live + particle_generator_server.get_pool().count_free_particles(),
                      particle_generator_server.get_pool().get_capacity());
        }
    }
}

TEST_F(ParticleGeneratorTest, ADestroyedGeneratorGivesItsParticlesBack) {
    ParticleGenerator* const g = create_emitting();
    advance_particle_generator(ParticleGeneratorHandle{g->get_handle()}, 20000);
    run_frame();
    EXPECT_GT(particle_generator_server.get_state(*g).particle_count, 0u);
    core::destroy_object(g);
    run_frame();
    core::release_all_dead_objects();
    EXPECT_EQ(particle_generator_server.get_pool().count_free_particles(),
              particle_generator_server.get_pool().get_capacity());
}

TEST_F(ParticleGeneratorTest, ASaveWithParticlesInFlightLoadsBackByteForByte) {
    ParticleGenerator* const g = create_emitting();
    g->set_property(vector(426, 1, 2, 3).id, vector(426, 1, 2, 3));
    g->set_property(real(430, 1).id, real(430, 1));
    g->set_property(vector(431, 0.5f, 0.5f, 0.5f).id, vector(431, 0.5f, 0.5f, 0.5f));
    ParticleGenerator* const other = create_emitting();
    for (int frame = 0; frame < 3; ++frame) {
        advance_particle_generator(ParticleGeneratorHandle{g->get_handle()}, 1666);
        advance_particle_generator(ParticleGeneratorHandle{other->get_handle()}, 3000);
        run_frame();
    }
    advance_particle_generator(ParticleGeneratorHandle{g->get_handle()}, 77);
    const ParticleGeneratorState& state = particle_generator_server.get_state(*g);
    ASSERT_GT(state.particle_count, 3u);
    std::vector<geometry::Vector3> positions;
    for (const Particle* p = state.particles; p != nullptr; p = p->next) {
        positions.push_back(p->position);
    }

    test::ByteSaveStream saved;
    core::save_all_servers(saved);
    const std::vector<uint8_t> first = saved.get_bytes();
    test::ByteLoadStream load(first);
    ASSERT_TRUE(core::load_all_servers(load));
    test::ByteSaveStream saved_again;
    core::save_all_servers(saved_again);
    EXPECT_EQ(saved_again.get_bytes(), first);

    ParticleGenerator* const loaded = particle_generator_server.get_typed_object(g->get_handle());
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->pending_ticks, 77u);
    const ParticleGeneratorState& loaded_state = particle_generator_server.get_state(*loaded);
    size_t index = 0;
    for (const Particle* p = loaded_state.particles; p != nullptr; p = p->next, ++index) {
        ASSERT_LT(index, positions.size());
        EXPECT_TRUE(geometry::equal_xyz(p->position, positions[index])) << index;
    }
    EXPECT_EQ(index, positions.size());
    // The loaded description drives the next frame.
    run_frame();
    EXPECT_EQ(loaded_state.params.burst_size, 3u);
    EXPECT_EQ(particle_generator_server.get_pool().count_free_particles() + loaded_state.particle_count +
                  particle_generator_server.get_state(*other).particle_count,
              particle_generator_server.get_pool().get_capacity());
}

}  // namespace
}  // namespace zolt::renderer

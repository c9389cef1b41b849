// Particles drawn in a viewport's view: a single particle appears at the
// pixels the camera's projection predicts, in its own colour, and the
// generator's fades and switches hide it.
#include <gtest/gtest.h>

#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/particles/particle_generator_properties.h"
#include "zolt/renderer/particles/particle_generator_server.h"
#include "zolt/renderer/viewport/camera_view_world.h"

namespace zolt::renderer {
namespace {

using test_support::Pixel;
namespace property = particle_generator_property;

constexpr Pixel black{0, 0, 0, 255};
constexpr Pixel orange{255, 128, 0, 255};

class ParticleDrawing : public test_support::CameraViewWorld {
protected:
    void SetUp() override {
        CameraViewWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        separate_particle_update_thread_count = 0;
        core::dictionary_server.register_server();
        particle_generator_server.register_server();
    }
    void TearDown() override {
        if (particle_generator_server.is_registered()) {
            particle_generator_server.unregister_server();
            core::dictionary_server.unregister_server();
        }
        separate_particle_update_thread_count = -1;
        CameraViewWorld::TearDown();
    }

    ParticleGenerator& make_generator() {
        auto* const generator =
            static_cast<ParticleGenerator*>(particle_generator_server.create_object_internal(0));
        set_word(*generator, property::enabled, 1);
        set_word(*generator, property::material_shader, test_support::vertex_colour_quad_entry);
        return *generator;
    }
    static void set_word(ParticleGenerator& generator, uint32_t id, uint32_t value) {
        core::Property property_value;
        property_value.set_u32(id, value);
        ASSERT_TRUE(generator.set_property(id, property_value));
    }
    static void set_real(ParticleGenerator& generator, uint32_t key, float value) {
        const uint32_t id = core::make_property_id(core::property_type::floating, key);
        core::Property property_value;
        property_value.set_float(id, value);
        ASSERT_TRUE(generator.set_property(id, property_value));
    }
    // One particle of size 2 at (-5, 10, 0), put in after the frame's
    // update so that no time passes for it.
    void add_particle(ParticleGenerator& generator) {
        particle_generator_server.update();
        particle_generator_server.finish_update();
        ParticleGeneratorState& state = particle_generator_server.get_state(generator);
        Particle* const particle = particle_generator_server.get_pool().take_particle();
        ASSERT_NE(particle, nullptr);
        particle->position = {-5, 10, 0};
        particle->size = 2;
        particle->color = 0xFFFF8000;
        particle->lifetime = 1000000;
        particle->next = state.particles;
        state.particles = particle;
        ++state.particle_count;
    }
    bool draw_particles() {
        viewport_server.update();
        material_server.process_pending();
        return viewport_server.render_viewports();
    }
};

TEST_F(ParticleDrawing, AViewFacingParticleCoversItsProjectedSquare) {
    make_view(nullptr);
    ParticleGenerator& generator = make_generator();
    add_particle(generator);
    ASSERT_TRUE(draw_particles());
    // Corners (-7, 10, -2) and (-3, 10, 2): pixels 9.6 to 22.4 across and
    // 25.6 to 38.4 up.
    EXPECT_EQ(read_pixel(16, 32), orange);
    EXPECT_EQ(read_pixel(11, 27), orange);
    EXPECT_EQ(read_pixel(21, 37), orange);
    EXPECT_EQ(read_pixel(8, 32), black);
    EXPECT_EQ(read_pixel(24, 32), black);
    EXPECT_EQ(read_pixel(16, 24), black);
    EXPECT_EQ(read_pixel(16, 40), black);
    EXPECT_EQ(read_pixel(44, 32), black);
}

TEST_F(ParticleDrawing, FadesAndSwitchesHideTheParticle) {
    const struct {
        const char* name;
        void (*change)(ParticleGenerator& generator);
    } cases[] = {
        {"tint alpha 0",
         [](ParticleGenerator& g) {
             const float tint[4] = {1, 1, 1, 0};
             core::Property value;
             value.set_floats(property::tint, tint, 4);
             ASSERT_TRUE(g.set_property(property::tint, value));
         }},
        {"far cut nearer than the particle", [](ParticleGenerator& g) { set_real(g, 467, 5); }},
        {"near cut beyond the particle",
         [](ParticleGenerator& g) {
             set_real(g, 465, 20);
             set_real(g, 464, 15);
         }},
        {"disabled", [](ParticleGenerator& g) { set_word(g, property::enabled, 0); }},
        {"no material", [](ParticleGenerator& g) { set_word(g, property::material_shader, 0); }},
    };
    make_view(nullptr);
    for (const auto& c : cases) {
        ParticleGenerator& generator = make_generator();
        c.change(generator);
        add_particle(generator);
        ASSERT_TRUE(draw_particles());
        EXPECT_EQ(read_pixel(16, 32), black) << c.name;
        core::destroy_object(&generator);
        particle_generator_server.release_dead_objects(true);
    }
}

}  // namespace
}  // namespace zolt::renderer

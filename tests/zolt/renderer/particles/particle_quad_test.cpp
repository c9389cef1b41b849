#include "zolt/renderer/particles/particle_quad.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/child_process.h"

namespace zolt::renderer {
namespace {

using geometry::Vector3;

// A camera at the origin looking along +Y with +Z up and +X right.
ParticleView make_view() {
    ParticleView view;
    view.right = {1, 0, 0};
    view.up = {0, 0, 1};
    view.forward = {0, 1, 0};
    view.eye = {0, 0, 0};
    return view;
}

Particle make_particle(const Vector3& position, float size) {
    Particle particle;
    particle.position = position;
    particle.size = size;
    particle.lifetime = 1000;
    particle.color = 0xFF102030;
    return particle;
}

void expect_near(const Vector3& a, const Vector3& b, const char* what) {
    EXPECT_NEAR(a.x, b.x, 1e-5f) << what;
    EXPECT_NEAR(a.y, b.y, 1e-5f) << what;
    EXPECT_NEAR(a.z, b.z, 1e-5f) << what;
}

TEST(ParticleQuad, AViewFacingQuadSpansTheViewAxesInDrawOrder) {
    ParticleGeneratorState state;
    state.params.width_factor = 2;
    const ParticleView view = make_view();
    const Particle particle = make_particle({1, 10, 2}, 0.5f);
    ParticleQuad quad;
    ASSERT_TRUE(compute_particle_quad(state, get_particle_axes(state, view), particle, view, quad));
    expect_near(quad.corners[0], {0, 10, 1.5f}, "-H-W");
    expect_near(quad.corners[1], {2, 10, 1.5f}, "-H+W");
    expect_near(quad.corners[2], {2, 10, 2.5f}, "+H+W");
    expect_near(quad.corners[3], {0, 10, 2.5f}, "+H-W");
    EXPECT_EQ(quad.color, 0xFF102030u);
    EXPECT_EQ(quad.phase, 1.0f);
}

TEST(ParticleQuad, DistanceFadesScaleTheAlpha) {
    struct Case {
        const char* name;
        float near_cut, near_fade, far_fade, far_cut;
        float view_far_fade, view_far_cut;
        float distance;
        int alpha;  // -1: not drawn
    };
    const Case cases[] = {
        {"no fades", 0, 0, 0, 0, 0, 0, 500, 255},
        {"halfway through the far fade", 0, 0, 10, 20, 0, 0, 15, 127},
        {"beyond the far cut", 0, 0, 10, 20, 0, 0, 20, -1},
        {"the viewport's distances without a far cut", 0, 0, 99, 0, 10, 30, 25, 63},
        {"inside the near cut", 2, 4, 0, 0, 0, 0, 2, -1},
        {"halfway through the near fade", 2, 4, 0, 0, 0, 0, 3, 127},
    };
    for (const Case& c : cases) {
        ParticleGeneratorState state;
        state.params.near_cut_distance = c.near_cut;
        state.params.near_fade_distance = c.near_fade;
        state.params.far_fade_distance = c.far_fade;
        state.params.far_cut_distance = c.far_cut;
        ParticleView view = make_view();
        view.default_far_fade_distance = c.view_far_fade;
        view.default_far_cut_distance = c.view_far_cut;
        const Particle particle = make_particle({0, c.distance, 0}, 1);
        ParticleQuad quad;
        const bool drawn = compute_particle_quad(state, get_particle_axes(state, view), particle, view, quad);
        EXPECT_EQ(drawn, c.alpha >= 0) << c.name;
        if (drawn) {
            EXPECT_EQ(static_cast<int>(quad.color >> 24), c.alpha) << c.name;
        }
    }
}

TEST(ParticleQuad, NearShrinkNarrowsQuadsCloseToTheEye) {
    ParticleGeneratorState state;
    state.params.near_shrink_radius = 4;
    const ParticleView view = make_view();
    ParticleQuad quad;
    // At depth 2 of 4: (8 - 2) * 2 / 16 = 0.75 of the size.
    ASSERT_TRUE(compute_particle_quad(state, get_particle_axes(state, view), make_particle({0, 2, 0}, 1), view, quad));
    EXPECT_NEAR(quad.corners[2].x - quad.corners[0].x, 1.5f, 1e-5f);
    ASSERT_TRUE(compute_particle_quad(state, get_particle_axes(state, view), make_particle({0, 6, 0}, 1), view, quad));
    EXPECT_NEAR(quad.corners[2].x - quad.corners[0].x, 2.0f, 1e-5f);
    EXPECT_FALSE(
        compute_particle_quad(state, get_particle_axes(state, view), make_particle({0, -1, 0}, 1), view, quad));
}

TEST(ParticleQuad, VelocityFacingQuadsStretchAlongTheirMotion) {
    ParticleGeneratorState state;
    state.params.orientation_mode = static_cast<uint32_t>(ParticleOrientation::VelocityFacing);
    const ParticleView view = make_view();
    Particle particle = make_particle({0, 10, 0}, 1);
    particle.velocity = {3, 0, 0};
    particle.rotation = 2;  // the stretch
    ParticleQuad quad;
    ASSERT_TRUE(compute_particle_quad(state, get_particle_axes(state, view), particle, view, quad));
    // Up is the motion (+X); right is (p - eye) x up = (0, 10, 0) x (1, 0, 0), so -Z.
    expect_near(quad.corners[0], {-2, 10, 1}, "-H-W");
    expect_near(quad.corners[2], {2, 10, -1}, "+H+W");
}

TEST(ParticleQuad, RotationTurnsTheQuadAboutItsNormal) {
    ParticleGeneratorState state;
    state.params.orientation_mode = static_cast<uint32_t>(ParticleOrientation::WorldFixed);
    const ParticleView view = make_view();
    Particle particle = make_particle({0, 10, 0}, 1);
    particle.rotation = 0.25f;
    ParticleQuad quad;
    ASSERT_TRUE(compute_particle_quad(state, get_particle_axes(state, view), particle, view, quad));
    // A quarter turn about +Y takes W = +X to -Z and H = +Z to +X.
    expect_near(quad.corners[1] - Vector3{0, 10, 0}, {-1, 0, -1}, "-H+W");
}

TEST(ParticleQuad, AnUnknownOrientationModeIsFatal) {
    const test::ChildResult result = test::run_in_child([] {
        ParticleGeneratorState state;
        state.params.orientation_mode = 5;
        get_particle_axes(state, make_view());
    });
    EXPECT_NE(result.exit_code, 0);
    EXPECT_NE(result.standard_error.find("Invalid orientation mode of particle 5."), std::string::npos)
        << result.standard_error;
}

}  // namespace
}  // namespace zolt::renderer

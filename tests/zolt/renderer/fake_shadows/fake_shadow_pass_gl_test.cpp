// The fake-shadow maps on llvmpipe: a cube visual asking for a fake shadow
// is admitted to a view, the shadow passes give it a tile after the spot
// lights, and its own depth lands in that tile exactly where a ray cast
// along the shadow's direction from each texel meets the cube; the record's
// texture matrix takes the point hit back to that texel and depth. Texels
// within one texel of the silhouette are left out.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "libs/opengl/opengl_config.h"
#include "libs/opengl/shadowmap_framebuffer.h"
#include "support/gl_context.h"
#include "zolt/renderer/batcher/batcher_test_support.h"
#include "zolt/renderer/fake_shadows/fake_shadow.h"
#include "zolt/renderer/fake_shadows/fake_shadow_direction.h"
#include "zolt/renderer/fake_shadows/fake_shadow_volume.h"
#include "zolt/renderer/lights/light_server.h"
#include "zolt/renderer/shadows/shadow_passes.h"
#include "zolt/renderer/texture/texture_object.h"
#include "zolt/renderer/texture/texture_server.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/visuals/visual_world.h"

namespace zolt::renderer {
namespace {

namespace p = visual_property;
using opengl::gl;

constexpr uint32_t caster_mesh = 3;
constexpr uint32_t map_size = 1024;
constexpr float half_edge = 0.5f;
constexpr geometry::Vector3 cube_centre{5, 5, 1};
constexpr float depth_tolerance = 0.01f;

// The cube's entry draws its depth in the shadow passes.
MeshBuild make_caster_cube() {
    MeshBuild build = test_support::make_cube_build(half_edge, test_support::shadowed_lit_entry);
    std::vector<uint32_t>& vectors = build.material_sets[0][0].tables[0];
    for (int copy = 0; copy < 2; ++copy) {
        for (const float value : {0.5f, 0.5f, 0.5f, 1.0f}) {
            vectors.push_back(std::bit_cast<uint32_t>(value));
        }
    }
    return build;
}

// Where the ray from the point along the direction enters the cube, or
// nothing when it misses it.
std::optional<float> enter_cube(const geometry::Vector3& start, const geometry::Vector3& direction) {
    const float origin[3] = {start.x - cube_centre.x, start.y - cube_centre.y, start.z - cube_centre.z};
    const float step[3] = {direction.x, direction.y, direction.z};
    float enter = -INFINITY, leave = INFINITY;
    for (int axis = 0; axis < 3; ++axis) {
        if (std::fabs(step[axis]) < 1e-9f) {
            if (std::fabs(origin[axis]) > half_edge) {
                return std::nullopt;
            }
            continue;
        }
        const float a = (-half_edge - origin[axis]) / step[axis];
        const float b = (half_edge - origin[axis]) / step[axis];
        enter = std::max(enter, std::min(a, b));
        leave = std::min(leave, std::max(a, b));
    }
    if (enter > leave || leave < 0) {
        return std::nullopt;
    }
    return std::max(enter, 0.0f);
}

class FakeShadowPass : public test_support::VisualWorld {
protected:
    void SetUp() override {
        test_support::add_mesh(extra_resources_, caster_mesh, test_support::lay_out_mesh(make_caster_cube()));
        VisualWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(opengl::choose_shadowmap_size());
        texture_server.create_shadowmap_textures();
        texture_server.initialize_pending_textures(false);
        ASSERT_EQ(texture_server.get_shadowmap_size(), map_size);
        light_server.register_server();
        visual_ = visual_server.create_visual(caster_mesh);
        core::Property value;
        value.set_u32(0x1000000, make_placement(cube_centre)->get_handle());
        ASSERT_TRUE(visual_->set_property(p::placement, value));
        ASSERT_TRUE(set_word(visual_, p::has_fake_shadow, 1));
        run_server_passes();
        const int32_t record = visual_server.get_render(*visual_).fake_shadow;
        ASSERT_GE(record, 0);
        shadow_ = &light_server.fake_shadows.get(static_cast<uint32_t>(record));
        view_ = std::make_unique<VisibilityContext>();
        view_->view_mask = 0xFFFFFFFF;
        view_->items = items_.data();
        view_->item_capacity = static_cast<uint32_t>(items_.size());
    }

    void TearDown() override {
        if (light_server.is_registered()) {
            light_server.unregister_server();
        }
        VisualWorld::TearDown();
    }

    // The record turned along the direction, fitted around the cube and
    // admitted to the view, as the frame and the view's admission leave it.
    void admit_along(const geometry::Vector3& direction) {
        shadow_->direction = geometry::normalize(direction);
        shadow_->orientation = get_fake_shadow_orientation(shadow_->direction);
        shadow_->strength = {0, 0, 0, 0.5f};
        geometry::Vector3 corners[8];
        for (uint32_t corner = 0; corner < 8; ++corner) {
            corners[corner] = cube_centre + geometry::Vector3{(corner & 1) != 0 ? half_edge : -half_edge,
                                                              (corner & 2) != 0 ? half_edge : -half_edge,
                                                              (corner & 4) != 0 ? half_edge : -half_edge};
        }
        fit_fake_shadow_projection(*shadow_, corners);
        view_->fake_shadow_count = 0;
        ASSERT_TRUE(view_->add_fake_shadow(shadow_, std::bit_cast<uint32_t>(1.0f)));
    }

    std::vector<float> read_map() const {
        TextureObject* const texture = get_shadow_tile_texture(shadow_->tile);
        std::vector<float> depths(static_cast<size_t>(map_size) * map_size);
        if (texture == nullptr) {
            return depths;
        }
        const auto get_tex_image =
            reinterpret_cast<decltype(&::glGetTexImage)>(platform::EglTestContext::get_proc_address("glGetTexImage"));
        gl.glBindTexture(GL_TEXTURE_2D, texture->get_bound_name());
        get_tex_image(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depths.data());
        gl.glBindTexture(GL_TEXTURE_2D, 0);
        return depths;
    }

    // The depth a texel of the tile must hold: the cube's, along the
    // direction from the texel's point on the box's face, over the map's
    // depth span; or nothing, where the clear 1 stays.
    std::optional<float> expected_depth(const ShadowTileViewport& tile, float x, float y,
                                        geometry::Vector3* hit) const {
        const geometry::Vector3 across = geometry::rotate(shadow_->orientation, {1, 0, 0});
        const geometry::Vector3 along = geometry::rotate(shadow_->orientation, {0, 1, 0});
        const geometry::Vector3 up = geometry::rotate(shadow_->orientation, {0, 0, 1});
        const float u = (x - static_cast<float>(tile.x)) / static_cast<float>(tile.width);
        const float v = (y - static_cast<float>(tile.y)) / static_cast<float>(tile.height);
        const geometry::Vector3 start = shadow_->projection_origin +
                                        across * ((u - 0.5f) * shadow_->projection_extents.x) +
                                        up * ((v - 0.5f) * shadow_->projection_extents.y);
        const std::optional<float> distance = enter_cube(start, along);
        if (!distance) {
            return std::nullopt;
        }
        if (hit != nullptr) {
            *hit = start + along * *distance;
        }
        const FakeShadowDepthSpan span = get_fake_shadow_depth_span(*shadow_);
        return (*distance - span.start) / span.length;
    }

    // Every texel of the tile away from the silhouette holds what the rays
    // predict; answers how many show the cube.
    uint32_t expect_silhouette_in_tile() {
        const ShadowTileViewport tile = get_shadow_tile_viewport(*shadow_->tile, map_size);
        const std::vector<float> depths = read_map();
        const geometry::Matrix4 texture_matrix = make_fake_shadow_texture_matrix(*shadow_);
        uint32_t covered = 0, mismatches = 0;
        for (uint32_t y = tile.y; y < tile.y + tile.height; ++y) {
            for (uint32_t x = tile.x; x < tile.x + tile.width; ++x) {
                const float cx = static_cast<float>(x) + 0.5f, cy = static_cast<float>(y) + 0.5f;
                geometry::Vector3 hit;
                const std::optional<float> expected = expected_depth(tile, cx, cy, &hit);
                bool edge = false;
                for (const float d : {-1.0f, 1.0f}) {
                    edge = edge || expected_depth(tile, cx + d, cy, nullptr).has_value() != expected.has_value() ||
                           expected_depth(tile, cx, cy + d, nullptr).has_value() != expected.has_value();
                }
                if (edge) {
                    continue;
                }
                const float shown = depths[static_cast<size_t>(y) * map_size + x];
                const float wanted = expected.value_or(1.0f);
                if (std::fabs(shown - wanted) > depth_tolerance && ++mismatches <= 8) {
                    ADD_FAILURE() << "texel (" << x << ", " << y << ") holds " << shown << ", expected " << wanted;
                }
                if (!expected) {
                    continue;
                }
                ++covered;
                // The layer's lookup of the point hit lands on this texel.
                const geometry::Vector4 mapped = geometry::transform_homogeneous(hit, texture_matrix);
                const ShadowTileRectangle rectangle = get_shadow_tile_rectangle(shadow_->tile);
                const float texel = 1.0f / static_cast<float>(map_size);
                if ((std::fabs((rectangle.x + mapped.x * rectangle.scale_x) - cx * texel) > texel ||
                     std::fabs((rectangle.y + mapped.y * rectangle.scale_y) - cy * texel) > texel ||
                     std::fabs(mapped.z - wanted) > depth_tolerance) &&
                    ++mismatches <= 8) {
                    ADD_FAILURE() << "texel (" << x << ", " << y << ") is looked up at " << mapped.x << ", " << mapped.y
                                  << ", " << mapped.z;
                }
            }
        }
        EXPECT_EQ(mismatches, 0u);
        return covered;
    }

    test::ScopedValue<uint32_t> largest_map_{opengl::maximal_shadowmap_size, map_size};
    Visual* visual_ = nullptr;
    FakeShadow* shadow_ = nullptr;
    std::unique_ptr<VisibilityContext> view_;
    std::vector<RenderItem> items_ = std::vector<RenderItem>(64);
};

TEST_F(FakeShadowPass, TheTileHoldsTheVisualsDepthAlongTheShadowDirection) {
    // Straight down, with a light straight above; slanted from two sides,
    // as far down as a fake shadow may lean.
    const geometry::Vector3 directions[] = {{0, 0, -1}, {1, 0, -1}, {-0.6f, 0.8f, -1}};
    for (const geometry::Vector3& direction : directions) {
        SCOPED_TRACE(testing::Message() << direction.x << ", " << direction.y << ", " << direction.z);
        light_server.update();
        admit_along(direction);
        // A taken tile first: the shadow's lies away from the map's corner.
        ShadowMapSet& set = light_server.get_shadow_maps();
        set_up_shadow_maps(set);
        ASSERT_NE(set.atlas.allocate(2), nullptr);
        render_view_shadows(set, *view_);
        ASSERT_EQ(shadow_->has_tile, 1);
        ASSERT_NE(shadow_->tile, nullptr);
        EXPECT_EQ(shadow_->tile->level, 2);
        EXPECT_GT(expect_silhouette_in_tile(), 1000u);
        EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(FakeShadowPass, ASecondViewportKeepsTheTileAndSwitchedOffShadowsGetNone) {
    ShadowMapSet& set = light_server.get_shadow_maps();
    light_server.update();
    admit_along({0, 0, -1});
    render_view_shadows(set, *view_);
    const ShadowTile* const first = shadow_->tile;
    ASSERT_NE(first, nullptr);
    render_view_shadows(set, *view_);
    EXPECT_EQ(shadow_->tile, first);

    // The next frame starts without tiles; with shadows switched off the
    // admitted shadow finds none and fades out rather than show an old map.
    light_server.update();
    EXPECT_EQ(shadow_->tile, nullptr);
    test::ScopedValue<bool> disabled(debug_disable_shadows, true);
    admit_along({0, 0, -1});
    render_view_shadows(set, *view_);
    EXPECT_EQ(shadow_->has_tile, 0);
    EXPECT_EQ(shadow_->tile, nullptr);
    EXPECT_EQ(shadow_->strength.w, 0.0f);
}

}  // namespace
}  // namespace zolt::renderer

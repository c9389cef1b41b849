// The fake-shadow layer on llvmpipe with the sample shader library: a
// shadow box over a floor darkens, by the shadow's strength, exactly the
// floor pixels inside the box whose point the shadow's map shows behind its
// visual (not the platform above, though the box covers it on screen, nor
// the floor where the map is empty), and leaves the stencil at zero;
// shadows without a tile, a view without the first screen copy and an
// inactive layer draw nothing. The depth layer's copy holds the scene's
// depth packed as the sample's depth pass packs it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <memory>
#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/opengl/shadowmap_framebuffer.h"
#include "support/gl_context.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/render_layer_fake_shadows.h"
#include "zolt/renderer/batcher/sample_library_world.h"
#include "zolt/renderer/batcher/screen_copies.h"
#include "zolt/renderer/fake_shadows/fake_shadow.h"
#include "zolt/renderer/fake_shadows/fake_shadow_direction.h"
#include "zolt/renderer/fake_shadows/fake_shadow_volume.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/shadows/shadow_atlas.h"
#include "zolt/renderer/shadows/shadow_drawing.h"
#include "zolt/renderer/texture/texture_object.h"
#include "zolt/renderer/view/view_hooks.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {
namespace {

namespace library = shader_library;
using opengl::gl;
using test_support::Pixel;

constexpr uint32_t fake_shadow_layer_index = 4;
constexpr float eye_height = 10;
constexpr float platform_height = 3;
// The box: 10 by 10 around the origin, from 1.5 down to -0.5.
constexpr float box_half = 5;
constexpr float darkness = 0.6f;
constexpr uint32_t map_size = 1024;
// The visual as its map shows it: across (u) and up (v) in the map, and
// its depth there, nearer the lights than the floor.
constexpr float caster_u[2] = {0.25f, 0.75f};
constexpr float caster_v[2] = {0.25f, 0.5f};
constexpr float caster_depth = 0.2f;

constexpr float near_distance = 0.5f;
constexpr float far_distance = 100;

// As the sample's depth pass packs the view depth, a fraction of the far
// distance, into its colour.
std::array<uint8_t, 4> pack_depth(float depth) {
    const auto fraction = [](float value) { return value - std::floor(value); };
    float x = fraction(depth), y = fraction(depth * 255), z = fraction(depth * 65025);
    x -= y / 255;
    y -= z / 255;
    const auto byte = [](float value) {
        return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255));
    };
    return {byte(x), byte(y), byte(z), 255};
}

class FakeShadowLayer : public test_support::SampleLibraryWorld {
protected:
    void SetUp() override {
        SampleLibraryWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(opengl::choose_shadowmap_size());
        texture_server.create_shadowmap_textures();
        texture_server.initialize_pending_textures(false);
        ASSERT_GT(texture_server.get_shadowmap_texture_count(), 0u);
        atlas_ = std::make_unique<ShadowAtlas>();
        atlas_->set_maps(1, texture_server.get_shadowmap_size());
        records_ = std::make_unique<FakeShadowRecords>();
        view_ = std::make_unique<VisibilityContext>();
        const float turn_eighth = std::sqrt(0.5f);
        ASSERT_TRUE(view_->set_screen_rectangle(0xFFFFFFFFu, {0, 0, 0}, {width, height, 0}));
        // Looking straight down, 90 degrees across: +X to the right, +Y up.
        view_->set_perspective_view(nullptr, {0, 0, eye_height}, {-turn_eighth, 0, 0, turn_eighth}, near_distance, far_distance, 0.25f,
                                    0.25f, false);
        set_current_visibility_context(view_.get());
        layer_.update(fake_shadow_layer_index);
    }

    // A white floor at height 0 and, over x >= 0, a white platform at
    // height 3; the view's matrices loaded as the layers have them.
    void draw_scene() {
        clear_frame_buffer(0xFFFFFFFFu);
        library::reset_state();
        library::unbind_glsl_program();
        apply_current_view_matrices();
        gl.glMatrixMode(GL_MODELVIEW);
        gl.glLoadIdentity();
        gl.glDisable(GL_STENCIL_TEST);
        gl.glDisable(GL_BLEND);
        gl.glDisable(GL_CULL_FACE);
        gl.glEnable(GL_DEPTH_TEST);
        gl.glDepthFunc(GL_LEQUAL);
        gl.glDepthMask(GL_TRUE);
        gl.glColor4f(1, 1, 1, 1);
        gl.glBegin(GL_QUADS);
        gl.glVertex3f(-40, -40, 0);
        gl.glVertex3f(40, -40, 0);
        gl.glVertex3f(40, 40, 0);
        gl.glVertex3f(-40, 40, 0);
        gl.glVertex3f(0, -40, platform_height);
        gl.glVertex3f(40, -40, platform_height);
        gl.glVertex3f(40, 40, platform_height);
        gl.glVertex3f(0, 40, platform_height);
        gl.glEnd();
        library::reset_state();
        library::invalidate_texture_cache();
        library::get_constant_vertex_attribute(0).valid = false;
        copy_packed_depth();
    }

    // The depth layer's copy: the frame's view depth, packed.
    void copy_packed_depth() {
        std::vector<float> depths(static_cast<size_t>(width) * height);
        gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
        gl.glReadPixels(0, 0, width, height, GL_DEPTH_COMPONENT, GL_FLOAT, depths.data());
        std::vector<uint8_t> colours;
        for (const float depth : depths) {
            // From the window depth of the perspective projection.
            const float view_depth = near_distance * far_distance / (far_distance - depth * (far_distance - near_distance));
            const std::array<uint8_t, 4> packed = pack_depth(std::min(view_depth / far_distance, 1.0f));
            colours.insert(colours.end(), packed.begin(), packed.end());
        }
        TextureObject* const copy = get_screen_copy(ScreenCopy::depth_layer_colour);
        ASSERT_NE(copy, nullptr);
        ASSERT_EQ(copy->get_width(), static_cast<uint32_t>(width));
        gl.glBindTexture(GL_TEXTURE_2D, copy->get_bound_name());
        gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        gl.glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, colours.data());
        gl.glBindTexture(GL_TEXTURE_2D, 0);
        library::invalidate_texture_cache();
    }

    // The tile's map: the caster's rectangle at its depth, the rest clear.
    void fill_map(const ShadowTile& tile) {
        const ShadowTileViewport viewport = get_shadow_tile_viewport(tile, map_size);
        std::vector<float> depths(static_cast<size_t>(viewport.width) * viewport.height, 1.0f);
        for (uint32_t y = 0; y < viewport.height; ++y) {
            for (uint32_t x = 0; x < viewport.width; ++x) {
                const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(viewport.width);
                const float v = (static_cast<float>(y) + 0.5f) / static_cast<float>(viewport.height);
                if (u > caster_u[0] && u < caster_u[1] && v > caster_v[0] && v < caster_v[1]) {
                    depths[static_cast<size_t>(y) * viewport.width + x] = caster_depth;
                }
            }
        }
        TextureObject* const map = get_shadow_map_texture(tile.map_index);
        ASSERT_NE(map, nullptr);
        gl.glBindTexture(GL_TEXTURE_2D, map->get_bound_name());
        gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        gl.glTexSubImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(viewport.x), static_cast<GLint>(viewport.y),
                           static_cast<GLsizei>(viewport.width), static_cast<GLsizei>(viewport.height),
                           GL_DEPTH_COMPONENT, GL_FLOAT, depths.data());
        gl.glBindTexture(GL_TEXTURE_2D, 0);
        library::invalidate_texture_cache();
    }

    // A dark shadow straight down over the origin, with a tile unless told.
    FakeShadow& add_shadow(bool with_tile) {
        FakeShadow& shadow = records_->get(static_cast<uint32_t>(records_->allocate(0)));
        shadow.orientation = get_fake_shadow_orientation({0, 0, -1});
        shadow.direction = {0, 0, -1};
        shadow.projection_origin = {0, 0, 1.5f};
        shadow.projection_extents = {2 * box_half, 2 * box_half, 1};
        shadow.settings.volume_extension = 1;
        shadow.strength = {0, 0, 0, darkness};
        if (with_tile) {
            // A tile away from the map's corner.
            EXPECT_NE(atlas_->allocate(1), nullptr);
            shadow.tile = atlas_->allocate(1);
            shadow.has_tile = shadow.tile != nullptr ? 1 : 0;
            if (shadow.tile != nullptr) {
                fill_map(*shadow.tile);
            }
        }
        EXPECT_TRUE(view_->add_fake_shadow(&shadow, std::bit_cast<uint32_t>(1.0f)));
        return shadow;
    }

    void run_layer(bool active) {
        library::set_renderer_texture(1, get_screen_copy(ScreenCopy::depth_layer_colour));
        layer_.render_request_pass(fake_shadow_layer_index, active);
        library::reset_state();
    }

    uint8_t read_stencil(int32_t x, int32_t y) const {
        uint8_t value = 0;
        gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
        gl.glReadPixels(x, y, 1, 1, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, &value);
        return value;
    }
    uint32_t count_nonzero_stencil() const {
        uint8_t values[width * height] = {};
        gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
        gl.glReadPixels(0, 0, width, height, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, values);
        uint32_t count = 0;
        for (const uint8_t value : values) {
            count += value != 0 ? 1 : 0;
        }
        return count;
    }

    // Which pixels the test expects darkened, from the view itself: the
    // visible surface under the pixel centre (the platform where its x is
    // not negative) lies inside the box. 0: dark, 1: untouched, 2: too
    // close to an edge of the box or the platform to say.
    static int classify_pixel(int32_t x, int32_t y) {
        // 90 degrees across: at depth d, normalised x maps to d * x.
        const float nx = (static_cast<float>(x) + 0.5f) / (width / 2.0f) - 1;
        const float ny = (static_cast<float>(y) + 0.5f) / (height / 2.0f) - 1;
        const float pixel = 2.0f / width;
        const bool on_platform = nx >= 0;
        const float depth = on_platform ? eye_height - platform_height : eye_height;
        const float wx = nx * depth, wy = ny * depth;
        const float margin = pixel * depth;
        if (std::fabs(nx) < 1.5f * pixel || std::fabs(std::fabs(wx) - box_half) < margin ||
            std::fabs(std::fabs(wy) - box_half) < margin) {
            return 2;
        }
        // Straight down, the map's u runs along +X and v along +Y over the box.
        const float u = (wx + box_half) / (2 * box_half), v = (wy + box_half) / (2 * box_half);
        const float map_margin = margin / (2 * box_half);
        if (!on_platform && (std::fabs(u - caster_u[0]) < map_margin || std::fabs(u - caster_u[1]) < map_margin ||
                             std::fabs(v - caster_v[0]) < map_margin || std::fabs(v - caster_v[1]) < map_margin)) {
            return 2;
        }
        const bool inside = !on_platform && std::fabs(wx) < box_half && std::fabs(wy) < box_half;
        const bool behind_caster = u > caster_u[0] && u < caster_u[1] && v > caster_v[0] && v < caster_v[1];
        return inside && behind_caster ? 0 : 1;
    }

    test::ScopedValue<uint32_t> largest_map_{opengl::maximal_shadowmap_size, map_size};
    RenderLayerFakeShadows layer_;
    std::unique_ptr<ShadowAtlas> atlas_;
    std::unique_ptr<FakeShadowRecords> records_;
    std::unique_ptr<VisibilityContext> view_;
};

TEST_F(FakeShadowLayer, ABoxDarkensTheSurfacesInsideItAndLeavesTheStencilAtZero) {
    ASSERT_NE(layer_.get_layer_material_in_use(), nullptr) << "the sample's fake-shadow material";
    // The test's reading of the view: the origin at the centre, (5, 5, 0)
    // at three quarters across and up.
    const geometry::Vector4 corner =
        geometry::transform_homogeneous({box_half, box_half, 0}, view_->get_view_projection_matrix());
    ASSERT_NEAR(corner.x / corner.w, 0.5f, 1e-4f);
    ASSERT_NEAR(corner.y / corner.w, 0.5f, 1e-4f);

    draw_scene();
    add_shadow(true);
    run_layer(true);

    const uint8_t dark = static_cast<uint8_t>(std::lround(255 * (1 - darkness)));
    EXPECT_EQ(count_nonzero_stencil(), 0u);
    uint32_t dark_count = 0, untouched_count = 0;
    for (int32_t y = 0; y < static_cast<int32_t>(height); ++y) {
        for (int32_t x = 0; x < static_cast<int32_t>(width); ++x) {
            const int expected = classify_pixel(x, y);
            if (expected == 2) {
                continue;
            }
            const Pixel pixel = read_pixel(x, y);
            const uint8_t wanted = expected == 0 ? dark : 255;
            EXPECT_NEAR(pixel[0], wanted, 2) << x << ", " << y;
            EXPECT_NEAR(pixel[1], wanted, 2) << x << ", " << y;
            EXPECT_NEAR(pixel[2], wanted, 2) << x << ", " << y;
            (expected == 0 ? dark_count : untouched_count) += 1;
        }
    }
    // The caster's share of the floor: 8 by 8 pixels less the edges.
    EXPECT_GT(dark_count, 12u);
    EXPECT_GT(untouched_count, 2000u);
}

TEST_F(FakeShadowLayer, NothingIsDrawnWithoutATileAFirstScreenCopyOrTheLayerActive) {
    ASSERT_NE(layer_.get_layer_material_in_use(), nullptr);
    struct Row {
        const char* what;
        bool tile;
        bool active;
        bool screen_copy;
    };
    const Row rows[] = {
        {"no tile", false, true, true},
        {"layer inactive", true, false, true},
        {"no first screen copy", true, true, false},
    };
    for (const Row& row : rows) {
        *view_ = VisibilityContext{};
        ASSERT_TRUE(view_->set_screen_rectangle(0xFFFFFFFFu, {0, 0, 0}, {width, height, 0}));
        const float turn_eighth = std::sqrt(0.5f);
        view_->set_perspective_view(nullptr, {0, 0, eye_height}, {-turn_eighth, 0, 0, turn_eighth}, near_distance, far_distance, 0.25f,
                                    0.25f, false);
        records_->clear();
        draw_scene();
        add_shadow(row.tile);
        library::set_renderer_texture(1, row.screen_copy ? get_screen_copy(ScreenCopy::depth_layer_colour) : nullptr);
        layer_.render_request_pass(fake_shadow_layer_index, row.active);
        library::reset_state();
        const Pixel centre_left = read_pixel(20, 32);
        EXPECT_EQ(centre_left[0], 255) << row.what;
        EXPECT_EQ(read_stencil(20, 32), 0) << row.what;
    }
}

}  // namespace
}  // namespace zolt::renderer

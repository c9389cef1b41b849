// Spot-light shadow maps in a GL world: the light server's spot light gets
// a tile in the texture server's shadow maps, the occluder's depth is drawn
// into it from the light, and the lit plane is dark exactly where the
// occluder, projected from the light, covers it; the same for the global
// light's cascades, each quadrant of its map holding one slice of a camera's
// depth. Geometry is in clip space of the 64 x 64 view, as in the batcher
// world.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/opengl/shadowmap_framebuffer.h"
#include "support/gl_context.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/batcher_test_support.h"
#include "zolt/renderer/batcher/render_layer.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/lights/light_server.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shadows/shadow_cascades.h"
#include "zolt/renderer/shadows/shadow_passes.h"
#include "zolt/renderer/texture/texture_config.h"
#include "zolt/renderer/texture/texture_server.h"
#include "zolt/renderer/view/view_hooks.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {
namespace {

using opengl::gl;
using test_support::Colour;
using test_support::Pixel;

constexpr Colour grey{0.2f, 0.2f, 0.2f};
constexpr uint32_t packed_black = 0xFF000000;
constexpr uint32_t map_size = 1024;
constexpr int tolerance = 3;
constexpr float pi = 3.14159265f;

// The light hangs at z = 1 over the plane z = 0 and shines down with
// tan(half angle) = 0.5; the occluder floats half way, so its shadow is
// twice its size.
constexpr geometry::Vector3 light_position{0, 0, 1};
constexpr float spot_tangent = 0.5f;
constexpr float spot_range = 2.0f;
constexpr float occluder_z = 0.5f;
constexpr float occluder[4] = {-0.1f, -0.05f, 0.1f, 0.125f};

// Straight down under the global light, one occluder over each of the four
// slices of the cascade camera's depth (below), all above the plane.
struct Occluder {
    float x0, y0, x1, y1, z;
};
constexpr Occluder cascade_occluders[] = {{-0.3f, -0.95f, 0.0f, -0.8f, 0.2f},
                                          {0.1f, -0.5f, 0.4f, -0.2f, 0.2f},
                                          {-0.5f, 0.2f, -0.2f, 0.5f, 0.2f},
                                          {0.2f, 0.85f, 0.6f, 0.97f, 0.6f}};
constexpr float sun_colour = 0.5f;

float pixel_centre(int32_t p) {
    return (static_cast<float>(p) + 0.5f) / 32.0f - 1.0f;
}

// The occluder's rectangle seen from the light on the plane z = 0.
bool is_in_shadow(float x, float y, float band) {
    const float scale = light_position.z / (light_position.z - occluder_z);
    return x > occluder[0] * scale + band && x < occluder[2] * scale - band && y > occluder[1] * scale + band &&
           y < occluder[3] * scale - band;
}

// The plane's grey base and the spot light's pass, lit or in shadow.
Pixel expected_pixel(int32_t px, int32_t py, bool shadowed) {
    const float x = pixel_centre(px);
    const float y = pixel_centre(py);
    const float to_light[3] = {light_position.x - x, light_position.y - y, light_position.z};
    const float distance = std::sqrt(to_light[0] * to_light[0] + to_light[1] * to_light[1] + to_light[2] * to_light[2]);
    const float light =
        shadowed ? 0.0f : std::clamp(1.0f - distance / spot_range, 0.0f, 1.0f) * to_light[2] / distance;
    const auto channel = [&](float base) {
        return static_cast<uint8_t>(std::lround(std::clamp(base + light, 0.0f, 1.0f) * 255.0f));
    };
    return {channel(grey.red), channel(grey.green), channel(grey.blue), 255};
}

bool is_near(const Pixel& a, const Pixel& b) {
    for (size_t c = 0; c < 3; ++c) {
        if (std::abs(static_cast<int>(a[c]) - static_cast<int>(b[c])) > tolerance) {
            return false;
        }
    }
    return true;
}

class ShadowPasses;
ShadowPasses* world = nullptr;

class ShadowPasses : public test_support::BatcherWorld {
protected:
    void SetUp() override {
        BatcherWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        // The batcher world makes no shadow maps: a small set of its own.
        ASSERT_TRUE(opengl::choose_shadowmap_size());
        texture_server.create_shadowmap_textures();
        texture_server.initialize_pending_textures(false);
        ASSERT_EQ(texture_server.get_shadowmap_size(), map_size);
        shader_library::set_object_texture_matrix(geometry::Matrix4{});
        light_server.register_server();
        saved_hooks_ = view_hooks;
        view_hooks.traverse_visible_sectors = nullptr;
        view_hooks.queue_visible_sector_objects = &queue_scene;
        world = this;
        caster_ = make_material(test_support::shadowed_lit_entry, grey, grey);
        view_ = std::make_unique<VisibilityContext>();
        view_->items = items_.data();
        view_->item_capacity = static_cast<uint32_t>(items_.size());
    }

    void TearDown() override {
        world = nullptr;
        view_hooks = saved_hooks_;
        if (light_server.is_registered()) {
            light_server.unregister_server();
        }
        BatcherWorld::TearDown();
    }

    // The occluders and the plane, all casting, as the light's pass sees them.
    static void queue_scene(VisibilityContext& context) {
        RenderItem* const item = context.allocate_item();
        ASSERT_NE(item, nullptr);
        item->queue = [](VisibilityContext&, RenderItem&) {
            if (world->cascade_scene_) {
                for (const Occluder& o : cascade_occluders) {
                    world->offer_quad({}, world->caster_, o.x0, o.y0, o.x1, o.y1, o.z);
                }
            } else {
                world->offer_quad({}, world->caster_, occluder[0], occluder[1], occluder[2], occluder[3], occluder_z);
            }
            world->offer_quad({}, world->caster_, -1, -1, 1, 1, 0);
        };
    }

    LightRender& add_spot_light(uint32_t resolution) {
        Light* const light = light_server.create_light();
        const uint32_t index = light_server.get_slot_index(*light);
        view_->add_visible_light(index);
        LightRender& render = light_server.get_render(*light);
        render.type = static_cast<uint8_t>(LightType::spot);
        render.on = 1;
        render.position = light_position;
        render.rotation = get_rotation_towards({0, 0, -1});
        render.direction = {0, 0, -1};
        render.colour = {1, 1, 1, 1};
        render.intensity = 1;
        render.range = spot_range;
        render.cone = std::atan(spot_tangent) / pi;
        render.light_fade_start = render.shadow_fade_start = 1000;
        render.light_fade_length = render.shadow_fade_length = 1;
        render.casts_shadows = 1;
        render.shadow_mask = 0xFFFFFFFF;
        render.shadow_map_resolution = resolution;
        lights_.push_back(index);
        return render;
    }

    // The shadow passes of the view, then the plane lit by the light on
    // black, as a viewport draws them.
    void draw_view(uint32_t light_index) {
        render_view_shadows(light_server.get_shadow_maps(), *view_);
        set_target_size(width, height);
        set_viewport(0, 0, width, height);
        set_active_render_layers(1u << nmap_layer);
        clear_to(packed_black);
        RenderInfo info;
        info.object_id = 1;
        info.light_list = 1 | static_cast<uint64_t>(light_index) << 8;
        offer_quad(info, caster_, -1, -1, 1, 1, 0);
        get_render_layer(nmap_layer)->render_request_pass(nmap_layer, true);
    }

    // Every pixel well inside the cone: in shadow as predicted, else lit,
    // leaving out a band of one pixel along the shadow's edges.
    void expect_shadow_as_projected(bool shadows_drawn) {
        const float pixel = 1.0f / 32.0f;
        uint32_t shadowed = 0;
        for (int32_t py = 0; py < height; ++py) {
            for (int32_t px = 0; px < width; ++px) {
                const float x = pixel_centre(px);
                const float y = pixel_centre(py);
                const bool inside = is_in_shadow(x, y, pixel);
                const bool outside = !is_in_shadow(x, y, -pixel);
                if (std::hypot(x, y) > 0.5f - 2 * pixel || (!inside && !outside)) {
                    continue;
                }
                const bool dark = shadows_drawn && inside;
                shadowed += dark ? 1 : 0;
                EXPECT_PRED2(is_near, read_pixel(px, py), expected_pixel(px, py, dark))
                    << "at " << px << ", " << py << (dark ? " in shadow" : " lit");
                if (HasFailure()) {
                    return;
                }
            }
        }
        EXPECT_EQ(shadowed > 0, shadows_drawn);
    }

    // The camera whose depth the cascades split: behind the plane's near
    // edge, looking along +y with a right-angled view, its shadow splits
    // even from near 0.1 to the shadow end.
    void set_cascade_camera(float shadow_distance, const geometry::Vector4& blend) {
        view_->set_perspective_view(nullptr, {0, -1.5f, 0.4f}, geometry::identity_quaternion(), 0.1f, 4.0f, 0.25f,
                                    0.25f, false);
        view_->first_shadow_split = 0.5f;
        view_->shadow_distance = shadow_distance;
        view_->shadow_split_count = 4;
        view_->shadow_parameters = blend;
        GlobalLightSettings& global = light_server.get_global_light();
        global.direction = {0, 0, -1, 0};
        global.colour = {sun_colour, sun_colour, sun_colour, 1};
        global.intensity = 1;
        global.shadow_strength = 1;
        global.recompute_on();
        light_server.update();
    }

    // The global light's map and cascades over the sectors' boxes, as the
    // view's shadow passes make them, and its block handed to the shaders.
    bool render_cascades(const geometry::Box& box) {
        ShadowMapSet& set = light_server.get_shadow_maps();
        set_up_shadow_maps(set);
        set.global_tile = set.atlas.allocate(0);
        CascadeSectors sectors;
        sectors.add(nullptr, box, *view_);
        const bool rendered = set.global_tile != nullptr &&
                              render_global_cascades(*set.global_tile, map_size, *view_,
                                                     light_server.get_global_light_render().direction, sectors,
                                                     set.cascades);
        upload_global_light_block(light_server.get_global_light_render(), set.cascades);
        return rendered;
    }

    test::ScopedValue<uint32_t> largest_map_{opengl::maximal_shadowmap_size, map_size};
    bool cascade_scene_ = false;
    ViewHooks saved_hooks_;
    Material* caster_ = nullptr;
    std::unique_ptr<VisibilityContext> view_;
    std::vector<RenderItem> items_ = std::vector<RenderItem>(64);
    std::vector<uint32_t> lights_;
};

TEST_F(ShadowPasses, AnOccluderDarkensThePlaneWhereItsProjectionFromTheSpotLightFalls) {
    ShadowMapSet& set = light_server.get_shadow_maps();
    // A whole map, and a small tile whose place in its map is not the corner.
    struct Case {
        uint32_t resolution;
        uint32_t tiles_taken_first;
        uint32_t level;
    };
    for (const Case& c : {Case{4000, 0, 0}, Case{128, 1, 3}}) {
        SCOPED_TRACE(c.resolution);
        light_server.update();
        if (!lights_.empty()) {
            light_server.get_render_slot(lights_.back()) = LightRender{};
            view_->visible_lights = {};
        }
        render_view_shadows(set, *view_);
        for (uint32_t taken = 0; taken < c.tiles_taken_first; ++taken) {
            ASSERT_NE(set.atlas.allocate(c.level), nullptr);
        }
        LightRender& light = add_spot_light(c.resolution);
        draw_view(lights_.back());
        ASSERT_NE(light.shadow_tile, nullptr);
        EXPECT_EQ(light.shadow_tile->level, c.level);
        EXPECT_EQ(get_shadow_tile_rectangle(light.shadow_tile).x, c.tiles_taken_first > 0 ? 1.0f / 8 : 0.0f);
        expect_shadow_as_projected(true);
        EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(ShadowPasses, WithoutATileTheLightStillShapesItsConeUnshadowed) {
    // Shadows switched off; a shadow that fades out before the camera; a
    // light that casts none.
    enum class Why { disabled, faded, not_casting };
    for (const Why why : {Why::disabled, Why::faded, Why::not_casting}) {
        SCOPED_TRACE(static_cast<int>(why));
        light_server.update();
        view_->visible_lights = {};
        if (!lights_.empty()) {
            light_server.get_render_slot(lights_.back()) = LightRender{};
        }
        test::ScopedValue<bool> disabled(debug_disable_shadows, why == Why::disabled);
        LightRender& light = add_spot_light(256);
        if (why == Why::faded) {
            light.shadow_fade_start = 0;
            light.shadow_fade_length = 0.5f;
            view_->eye = {0, 0, 5};
        }
        light.casts_shadows = why == Why::not_casting ? 0 : 1;
        draw_view(lights_.back());
        EXPECT_EQ(light.shadow_tile, nullptr);
        view_->eye = {};
        expect_shadow_as_projected(false);
    }
}

TEST_F(ShadowPasses, MoreWholeMapsAskedThanThereAreLeavesTheLastLightsUnshadowed) {
    ShadowMapSet& set = light_server.get_shadow_maps();
    light_server.update();
    const uint32_t maps = texture_server.get_shadowmap_texture_count();
    ASSERT_GT(maps, 0u);
    std::vector<LightRender*> lights;
    for (uint32_t index = 0; index <= maps; ++index) {
        lights.push_back(&add_spot_light(4 * map_size));
    }
    render_view_shadows(set, *view_);
    uint32_t tiled = 0;
    bool used[shadow_map_capacity] = {};
    for (const LightRender* light : lights) {
        if (light->shadow_tile != nullptr) {
            ++tiled;
            EXPECT_EQ(light->shadow_tile->level, 0);
            EXPECT_FALSE(used[light->shadow_tile->map_index]) << "map " << light->shadow_tile->map_index;
            used[light->shadow_tile->map_index] = true;
        }
    }
    EXPECT_EQ(tiled, std::min(maps, shadow_map_capacity));

    // A second viewport of the frame keeps the tiles; the next frame gives
    // them all back.
    const ShadowTile* const first = lights[0]->shadow_tile;
    render_view_shadows(set, *view_);
    EXPECT_EQ(lights[0]->shadow_tile, first);
    light_server.update();
    for (const LightRender* light : lights) {
        EXPECT_EQ(light->shadow_tile, nullptr);
    }
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShadowPasses, EachGlobalCascadeShadowsThePlaneUnderItsOccluder) {
    cascade_scene_ = true;
    set_cascade_camera(3.0f, {-1, -1, -1, -1});
    // The scene's box: every occluder lies above the boxes fitted to the
    // slices, which reach back towards the light only through it.
    ASSERT_TRUE(render_cascades({{-2, -2, -1}, {2, 2, 1}}));
    const CascadeState& cascades = light_server.get_shadow_maps().cascades;
    ASSERT_EQ(cascades.count, 4u);
    for (uint32_t index = 0; index < 4; ++index) {
        EXPECT_FLOAT_EQ(cascades.far_distances[index], 0.1f + 0.725f * static_cast<float>(index + 1)) << index;
    }

    set_target_size(width, height);
    set_viewport(0, 0, width, height);
    set_active_render_layers(1u << nmap_layer);
    clear_to(packed_black);
    RenderInfo info;
    info.object_id = 1;
    info.light_list = light_list_global_light;
    offer_quad(info, caster_, -1, -1, 1, 1, 0);
    get_render_layer(nmap_layer)->render_request_pass(nmap_layer, true);

    const auto channel = [](float value) { return static_cast<uint8_t>(std::lround(value * 255.0f)); };
    const Pixel lit{channel(grey.red + sun_colour), channel(grey.green + sun_colour), channel(grey.blue + sun_colour),
                    255};
    const Pixel dark{channel(grey.red), channel(grey.green), channel(grey.blue), 255};
    const float pixel = 1.0f / 32.0f;
    uint32_t darkened[std::size(cascade_occluders)] = {};
    for (int32_t py = 0; py < height; ++py) {
        for (int32_t px = 0; px < width; ++px) {
            const float x = pixel_centre(px);
            const float y = pixel_centre(py);
            int32_t under = -1;
            bool near_edge = false;
            for (uint32_t index = 0; index < std::size(cascade_occluders); ++index) {
                const Occluder& o = cascade_occluders[index];
                const bool inside = x > o.x0 + pixel && x < o.x1 - pixel && y > o.y0 + pixel && y < o.y1 - pixel;
                const bool outside = x < o.x0 - pixel || x > o.x1 + pixel || y < o.y0 - pixel || y > o.y1 + pixel;
                under = inside ? static_cast<int32_t>(index) : under;
                near_edge = near_edge || (!inside && !outside);
            }
            if (near_edge) {
                continue;
            }
            darkened[under >= 0 ? under : 0] += under >= 0 ? 1 : 0;
            EXPECT_PRED2(is_near, read_pixel(px, py), under >= 0 ? dark : lit) << "at " << px << ", " << py;
            if (HasFailure()) {
                return;
            }
        }
    }
    for (uint32_t index = 0; index < std::size(cascade_occluders); ++index) {
        EXPECT_GT(darkened[index], 0u) << "occluder " << index;
    }
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShadowPasses, SlicesPastTheFarthestSectorOrEmptyOnesGiveFewerCascades) {
    cascade_scene_ = true;
    // Everything the camera sees ends before the second split: one cascade,
    // the other slots reaching to the shadow end with no matrix.
    set_cascade_camera(3.0f, {-1, -1, -1, -1});
    ASSERT_TRUE(render_cascades({{-1, -1.5f, -1}, {1, -1.0f, 1}}));
    const CascadeState& cascades = light_server.get_shadow_maps().cascades;
    const float end = 0.5f + 2.5f;  // the box's farthest depth, then the margin
    EXPECT_EQ(cascades.count, 1u);
    for (uint32_t index = 1; index < 4; ++index) {
        EXPECT_FLOAT_EQ(cascades.far_distances[index], end) << index;
        EXPECT_EQ(cascades.matrices[index].rows[0].x, 0.0f) << index;
    }

    // A blend that folds split 2 past split 3: cascade 2 is an empty slice,
    // drawn nowhere, yet counted.
    const float blend[4] = {-1, -3, -1, -1};
    ASSERT_GE(get_cascade_split(2, 4, 0.1f, 3.0f, blend), get_cascade_split(3, 4, 0.1f, 3.0f, blend));
    set_cascade_camera(3.0f, {-1, -3, -1, -1});
    ASSERT_TRUE(render_cascades({{-2, -2, -1}, {2, 2, 1}}));
    EXPECT_EQ(cascades.count, 4u);
    EXPECT_FLOAT_EQ(cascades.far_distances[2], get_cascade_split(2, 4, 0.1f, 3.0f, blend));
    EXPECT_EQ(cascades.matrices[2].rows[0].x, 0.0f);
    EXPECT_NE(cascades.matrices[3].rows[0].x, 0.0f);

    // A direction of no length has no orientation: no cascade at all.
    light_server.get_global_light().direction = {0, 0, 0, 0};
    light_server.update();
    EXPECT_FALSE(render_cascades({{-2, -2, -1}, {2, 2, 1}}));
    EXPECT_EQ(cascades.count, 0u);
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace zolt::renderer

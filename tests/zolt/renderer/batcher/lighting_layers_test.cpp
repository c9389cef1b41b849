// The lighting layers in a GL world: a spot light lights only its cone,
// confined by its stencil volume or by its screen rectangle alone, with the
// intensity the lighting equation predicts; the order of one frame's draws
// (per request, per light, the fog between sort keys 0 and 1); the decal
// and blended layers drawing each request with all its lights, back to
// front, with the screen pass at its view depth; and bad lights that never
// reach the picture as NaN or a GL error.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "support/gl_context.h"
#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/batcher_test_support.h"
#include "zolt/renderer/batcher/light_source.h"
#include "zolt/renderer/batcher/light_upload.h"
#include "zolt/renderer/batcher/render_layer_nmap_base.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/batcher/render_layers_lighting.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/lights/light_render.h"
#include "zolt/renderer/materials/material_warm_up.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/shaders/shader_target_setup.h"
#include "zolt/renderer/viewport/viewport.h"

namespace zolt::renderer {
namespace {

namespace library = shader_library;
using opengl::gl;
using test_support::Colour;
using test_support::Pixel;

constexpr Colour grey{0.2f, 0.2f, 0.2f};
constexpr Colour fog_colour{0.0f, 0.0f, 0.3f};
constexpr uint32_t packed_black = 0xFF000000;
constexpr uint32_t spot_index = 3;
constexpr uint32_t point_index = 5;
constexpr uint32_t directional_index = 7;
constexpr uint32_t light_table_size = 8;
// One step of 8-bit colour either way, and one for rounding.
constexpr int tolerance = 3;

// The plane z = 0 fills the view (clip space is world space here); the spot
// light hangs at z = 1 and shines down -z with tan(half angle) = 0.5, so
// its cone meets the plane in a circle of radius 0.5.
constexpr geometry::Vector3 spot_position{0, 0, 1};
constexpr float spot_tangent = 0.5f;
constexpr float spot_range = 2.0f;
constexpr Colour spot_colour{1.0f, 0.8f, 0.6f};

LightRender lights[light_table_size];
// The square pyramid the stencil volume is drawn from: apex at the light,
// base past the plane at z = -0.5.
float mask_tangent = spot_tangent;

struct Draw {
    uint32_t layer;
    LightingDraw kind;
    uint32_t object;
    uint32_t slot;
    uint32_t setup;
    int32_t light;
    bool operator==(const Draw&) const = default;
};
std::vector<Draw> trace;

void record_draw(uint32_t layer, LightingDraw kind, const RenderRequest* request, uint32_t slot, uint32_t setup,
                 int32_t light) {
    trace.push_back({layer, kind, request != nullptr ? request->object_id : 0, slot, setup, light});
}

std::ostream& operator<<(std::ostream& out, const Draw& draw) {
    return out << "{layer " << draw.layer << ", kind " << static_cast<int>(draw.kind) << ", object " << draw.object
               << ", slot " << draw.slot << ", setup " << draw.setup << ", light " << draw.light << "}";
}

const LightRender* get_test_light(uint32_t index) {
    return index < light_table_size ? &lights[index] : nullptr;
}

bool get_pyramid(const LightRender& light, LightMaskGeometry* geometry) {
    if (light.type != static_cast<uint8_t>(LightType::spot)) {
        return false;
    }
    static constexpr uint16_t indices[] = {1, 2, 3, 1, 3, 4, 2, 1, 0, 3, 2, 0, 4, 3, 0, 1, 4, 0};
    const float base_z = -0.5f;
    const float half = mask_tangent * (spot_position.z - base_z);
    const float points[] = {spot_position.x,
                            spot_position.y,
                            spot_position.z,
                            -half,
                            -half,
                            base_z,
                            half,
                            -half,
                            base_z,
                            half,
                            half,
                            base_z,
                            -half,
                            half,
                            base_z};
    std::copy(std::begin(points), std::end(points), geometry->vertices);
    geometry->vertex_count = 5;
    geometry->indices = indices;
    geometry->triangle_count = 6;
    geometry->camera_inside = false;
    // Clip x and y from -half to half, as fractions of the view.
    const float low = (1.0f - half) / 2.0f;
    const float high = (1.0f + half) / 2.0f;
    geometry->rectangle[0] = low;
    geometry->rectangle[1] = low;
    geometry->rectangle[2] = high;
    geometry->rectangle[3] = high;
    return true;
}

LightRender make_spot_light() {
    LightRender light;
    light.type = static_cast<uint8_t>(LightType::spot);
    light.on = 1;
    light.position = spot_position;
    light.direction = {0, 0, -1};
    light.colour = {spot_colour.red, spot_colour.green, spot_colour.blue, 1};
    light.intensity = 1.0f;
    light.range = spot_range;
    // Rows in the row-vector convention: q = 1 - z and, mapped to the map's
    // 0..1, s = (x / tan + q) / 2, t = (y / tan + q) / 2.
    light.shadow_texture_matrix[0] = {0.5f / spot_tangent, 0, 0, 0};
    light.shadow_texture_matrix[1] = {0, 0.5f / spot_tangent, 0, 0};
    light.shadow_texture_matrix[2] = {-0.5f, -0.5f, 0, -1};
    light.shadow_texture_matrix[3] = {0.5f, 0.5f, 0, 1};
    return light;
}

// The centre of pixel p in clip space.
float pixel_centre(int32_t p) {
    return (static_cast<float>(p) + 0.5f) / 32.0f - 1.0f;
}

// The spot light's pass at pixel (x, y) over the grey base, as the
// lighting equation gives it, in 8-bit channels.
Pixel expected_spot_pixel(int32_t px, int32_t py) {
    const float x = pixel_centre(px);
    const float y = pixel_centre(py);
    const float to_light[3] = {spot_position.x - x, spot_position.y - y, spot_position.z};
    const float distance = std::sqrt(to_light[0] * to_light[0] + to_light[1] * to_light[1] + to_light[2] * to_light[2]);
    const float falloff = std::clamp(1.0f - distance / spot_range, 0.0f, 1.0f);
    // The plane's normal is +z.
    const float cosine = std::max(to_light[2] / distance, 0.0f);
    const float q = spot_position.z;
    const bool inside = (x * x + y * y) / (spot_tangent * spot_tangent) <= q * q;
    const float light = inside ? falloff * cosine : 0.0f;
    const auto channel = [&](float base, float colour) {
        return static_cast<uint8_t>(std::lround(std::clamp(base + colour * light, 0.0f, 1.0f) * 255.0f));
    };
    return {channel(grey.red, spot_colour.red), channel(grey.green, spot_colour.green),
            channel(grey.blue, spot_colour.blue), 255};
}

bool is_near(const Pixel& a, const Pixel& b) {
    for (size_t c = 0; c < 3; ++c) {
        if (std::abs(static_cast<int>(a[c]) - static_cast<int>(b[c])) > tolerance) {
            return false;
        }
    }
    return true;
}

ViewportRender fog_view;
const ViewportRender* get_fog_view() {
    return &fog_view;
}

float screen_pass_parameters[3] = {};
float get_screen_pass_parameter(uint32_t id) {
    return id >= 270 && id <= 272 ? screen_pass_parameters[id - 270] : 0.0f;
}

RenderInfo lit_by(uint32_t object, std::initializer_list<uint32_t> indices, uint64_t global_bits = 0) {
    RenderInfo info;
    info.object_id = object;
    info.light_list = indices.size() | global_bits;
    uint32_t k = 1;
    for (const uint32_t index : indices) {
        info.light_list |= static_cast<uint64_t>(index) << (8 * k++);
    }
    return info;
}

class LightingLayers : public test_support::BatcherWorld {
protected:
    void SetUp() override {
        BatcherWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        library::set_object_texture_matrix(geometry::Matrix4{});
        for (LightRender& light : lights) {
            light = LightRender{};
        }
        lights[spot_index] = make_spot_light();
        lights[point_index].type = static_cast<uint8_t>(LightType::point);
        lights[point_index].range = 1;
        lights[directional_index].type = static_cast<uint8_t>(LightType::directional);
        mask_tangent = spot_tangent;
        light_source = {};
        light_source.get_light = &get_test_light;
        light_source.get_mask_geometry = &get_pyramid;
        trace.clear();
        lighting_draw_trace = &record_draw;
        fog_view = ViewportRender{};
        screen_pass_parameters[0] = screen_pass_parameters[1] = screen_pass_parameters[2] = 0;
    }
    void TearDown() override {
        clear_accepted_render_layers();
        lighting_draw_trace = nullptr;
        light_source = {};
        stencil_light_ranges = true;
        render_view_hooks.get_current_view = nullptr;
        render_view_hooks.get_layer_parameter = nullptr;
        BatcherWorld::TearDown();
    }

    // One layer's pass over a plane lit by the spot light, on black.
    void draw_lit_plane(uint32_t layer) {
        set_active_render_layers(1u << layer);
        clear_to(packed_black);
        Material* const material = make_material(test_support::lit_entry, grey, fog_colour);
        offer_quad(lit_by(1, {spot_index}), material, -1, -1, 1, 1, 0);
        get_render_layer(layer)->render_request_pass(layer, true);
    }

    void run_pass(uint32_t layer) { get_render_layer(layer)->render_request_pass(layer, true); }
};

TEST_F(LightingLayers, ASpotLightLightsItsConeAsTheLightingEquationSays) {
    draw_lit_plane(nmap_layer);
    // Across the cone's edge along a row, the centre, a diagonal and the
    // corners, which the volume's rectangle leaves out.
    const int32_t samples[][2] = {{32, 32}, {40, 32}, {44, 32}, {46, 32}, {52, 32}, {38, 38},
                                  {44, 44}, {20, 36}, {2, 2},   {61, 60}, {32, 60}};
    for (const auto& sample : samples) {
        const int32_t x = sample[0];
        const int32_t y = sample[1];
        EXPECT_PRED2(is_near, read_pixel(x, y), expected_spot_pixel(x, y)) << "at " << x << ", " << y;
    }
    // Past the cone the base is all there is.
    EXPECT_PRED2(is_near, read_pixel(52, 32), (Pixel{51, 51, 51, 255}));
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(LightingLayers, TheStencilVolumeConfinesTheLightAndWithoutItTheScreenRectangleDoes) {
    // A volume narrower than the cone: its cross-section at the plane is
    // |x|, |y| <= 0.15, its rectangle clip x and y within +-0.225, which the
    // scissor widens by two pixels (pixels 22 to 41).
    mask_tangent = 0.15f;
    struct Case {
        bool stencil_ranges;
        int32_t x;
        bool lit;
    };
    const Case cases[] = {
        {true, 32, true},    // the centre
        {true, 35, true},    // x = 0.11: inside the volume
        {true, 39, false},   // x = 0.23: in the cone, out of the volume
        {false, 39, true},   // the rectangle alone lets it through
        {false, 44, false},  // x = 0.39: in the cone, out of the rectangle
        {true, 44, false},
    };
    for (const Case& c : cases) {
        stencil_light_ranges = c.stencil_ranges;
        draw_lit_plane(nmap_layer);
        const Pixel lit = expected_spot_pixel(c.x, 32);
        const Pixel unlit{51, 51, 51, 255};
        EXPECT_PRED2(is_near, read_pixel(c.x, 32), c.lit ? lit : unlit)
            << "stencil ranges " << c.stencil_ranges << ", x " << c.x;
    }
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(LightingLayers, OneFrameDrawsEachStateForAllRequestsThenTheFogBetweenSortKeys) {
    render_view_hooks.get_current_view = &get_fog_view;
    fog_view.user_vectors[2].w = 1;
    RenderLayer* const layer = get_render_layer(nmap_layer);
    layer->update(nmap_layer);
    set_active_render_layers(1u << nmap_layer);
    Material* const lit = make_material(test_support::lit_entry, grey, fog_colour);
    Material* const late = make_material(test_support::lit_after_fog_entry, grey, fog_colour);
    offer_quad(lit_by(3, {}), late, -1, -1, 1, 1, 0);
    offer_quad(lit_by(1, {spot_index, point_index}), lit, -1, -1, 1, 1, 0);
    offer_quad(lit_by(2, {spot_index}, light_list_global_without_shadow), lit, -1, -1, 1, 1, 0);
    run_pass(nmap_layer);

    const auto request = [](uint32_t object, uint32_t setup, int32_t light) {
        return Draw{nmap_layer, LightingDraw::request, object, 6, setup, light};
    };
    const std::vector<Draw> expected = {
        request(1, base_setup, no_light),
        request(2, base_setup, no_light),
        // Request 2's global light comes before the lights of its list.
        request(2, directional_setup, global_light_without_shadow),
        request(1, spot_setup, spot_index),
        request(2, spot_setup, spot_index),
        request(1, point_setup, point_index),
        {nmap_layer, LightingDraw::deferred_fog, 0, 0, 0, no_light},
        // Drawn after the full-screen fog, it fogs itself.
        request(3, base_setup, no_light),
        request(3, fog_setup, no_light),
    };
    EXPECT_EQ(trace, expected);
    EXPECT_EQ(get_free_render_request_count(), render_request_capacity);

    // With an empty heap the fog is still drawn once.
    trace.clear();
    run_pass(nmap_layer);
    EXPECT_EQ(trace, (std::vector<Draw>{{nmap_layer, LightingDraw::deferred_fog, 0, 0, 0, no_light}}));
}

TEST_F(LightingLayers, WithoutFogOrLightsARequestIsDrawnOnceAndTheNearLayerRebuildsDepthFirst) {
    set_active_render_layers(1u << nmap_layer | 1u << near_nmap_layer);
    Material* const lit = make_material(test_support::lit_entry, grey, fog_colour);
    Material* const layered = make_material(test_support::layered_entry, grey, grey);
    offer_quad(lit_by(1, {}), lit, -1, -1, 1, 1, 0);
    RenderInfo in_front = lit_by(2, {});
    in_front.kind = render_info_kind_in_front;
    offer_quad(in_front, layered, -1, -1, 1, 1, 0);
    run_pass(nmap_layer);
    run_pass(near_nmap_layer);
    const std::vector<Draw> expected = {
        {nmap_layer, LightingDraw::request, 1, 6, base_setup, no_light},
        // Its depth slot first, then its unlit slot 4.
        {near_nmap_layer, LightingDraw::request, 2, 1, base_setup, no_light},
        {near_nmap_layer, LightingDraw::request, 2, 4, base_setup, no_light},
    };
    EXPECT_EQ(trace, expected);
}

TEST_F(LightingLayers, ADecalIsDrawnWithAllItsLightsAndItsFogAtOnce) {
    render_view_hooks.get_current_view = &get_fog_view;
    fog_view.user_vectors[2].w = 1;
    set_active_render_layers(1u << nmap_lit_decal_layer);
    Material* const decal = make_material(test_support::lit_decal_and_blended_entry, grey, fog_colour);
    offer_quad(lit_by(1, {spot_index, directional_index}, light_list_global_without_shadow), decal, -1, -1, 1, 1, 0);
    run_pass(nmap_lit_decal_layer);
    const auto draw = [](uint32_t setup, int32_t light) {
        return Draw{nmap_lit_decal_layer, LightingDraw::request, 1, 9, setup, light};
    };
    EXPECT_EQ(trace,
              (std::vector<Draw>{draw(base_setup, no_light), draw(directional_setup, global_light_without_shadow),
                                 draw(spot_setup, spot_index), draw(directional_setup, directional_index),
                                 draw(fog_setup, directional_index)}));
}

TEST_F(LightingLayers, BlendedRequestsDrawBackToFrontWithTheScreenPassAtItsViewDepth) {
    render_view_hooks.get_layer_parameter = &get_screen_pass_parameter;
    get_render_layer(nmap_blended_layer)->update(nmap_blended_layer);
    get_render_layer(near_nmap_blended_layer)->update(near_nmap_blended_layer);
    Material* const blended = make_material(test_support::unlit_blended_entry, grey, grey);
    const auto offer = [&](uint32_t object, float depth) {
        RenderInfo info;
        info.object_id = object;
        info.eye_distance = depth;
        info.view_depth = depth;
        offer_quad(info, blended, -1, -1, 1, 1, 0);
    };
    const auto request = [](uint32_t object) {
        return Draw{nmap_blended_layer, LightingDraw::request, object, 10, base_setup, no_light};
    };
    const Draw screen{nmap_blended_layer, LightingDraw::screen_pass, 0, 0, 0, no_light};
    set_active_render_layers(1u << nmap_blended_layer | 1u << near_nmap_blended_layer);

    struct Case {
        float enabled;
        float threshold;
        std::vector<Draw> expected;
    };
    const Case cases[] = {
        {0, 4, {request(2), request(3), request(1)}},
        // Before the first request nearer than the threshold.
        {1, 4, {request(2), screen, request(3), request(1)}},
        // None nearer: after the last.
        {1, 0.5f, {request(2), request(3), request(1), screen}},
        {1, 100, {screen, request(2), request(3), request(1)}},
    };
    for (const Case& c : cases) {
        screen_pass_parameters[0] = c.enabled;
        screen_pass_parameters[1] = c.threshold;
        trace.clear();
        offer(1, 1);
        offer(2, 5);
        offer(3, 3);
        run_pass(nmap_blended_layer);
        EXPECT_EQ(trace, c.expected) << "threshold " << c.threshold;
    }

    // An empty heap still gets the screen pass in layer 8, never in 14.
    screen_pass_parameters[0] = 1;
    trace.clear();
    run_pass(nmap_blended_layer);
    run_pass(near_nmap_blended_layer);
    EXPECT_EQ(trace, std::vector<Draw>{screen});
}

TEST_F(LightingLayers, BadLightsReachTheShadersFiniteAndLightNothingOddly) {
    const float nan = std::nanf("");
    const float infinity = INFINITY;
    struct Case {
        const char* name;
        void (*spoil)(LightRender& light, float nan, float infinity);
    };
    const Case cases[] = {
        {"zero range", [](LightRender& l, float, float) { l.range = 0; }},
        {"negative range", [](LightRender& l, float, float) { l.range = -3; }},
        {"NaN range", [](LightRender& l, float nan, float) { l.range = nan; }},
        {"NaN colour",
         [](LightRender& l, float nan, float) {
             l.colour = {nan, nan, nan, nan};
         }},
        {"infinite intensity", [](LightRender& l, float, float infinity) { l.intensity = infinity; }},
        {"NaN position",
         [](LightRender& l, float nan, float) {
             l.position = {nan, 0, 1};
         }},
        // A cone of no opening: tan 0 makes an infinite matrix.
        {"degenerate cone",
         [](LightRender& l, float, float infinity) {
             l.shadow_texture_matrix[0] = {infinity, 0, 0, 0};
         }},
    };
    for (const Case& c : cases) {
        LightRender light = make_spot_light();
        c.spoil(light, nan, infinity);
        const SpotLightBlock block = make_spot_light_block(light, 1, 1, 0, 0);
        for (const geometry::Vector4& v : block.pixel) {
            EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w)) << c.name;
        }
        for (const geometry::Vector4& v : block.vertex) {
            EXPECT_TRUE(std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w)) << c.name;
        }
        lights[spot_index] = light;
        draw_lit_plane(nmap_layer);
        EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << c.name;
        // No light shows anything but the base where the light cannot
        // reach, and nothing turns black from a NaN.
        EXPECT_PRED2(is_near, read_pixel(2, 2), (Pixel{51, 51, 51, 255})) << c.name;
        const Pixel centre = read_pixel(32, 32);
        EXPECT_GE(centre[0], 51 - tolerance) << c.name;
    }
}

TEST_F(LightingLayers, WarmingUpALitMaterialDrawsEachOfItsLightingSetupsOnce) {
    Material* const material = make_material(test_support::lit_entry, grey, fog_colour);
    const float triangle[] = {-1, -1, 0, 1, -1, 0, 0, 1, 0};
    const uint16_t indices[] = {0, 1, 2};
    Stream vertices;
    Stream index_stream;
    vertices.initialize({12, 0, sizeof triangle, 0}, triangle);
    index_stream.initialize({stream_format_index | sizeof(uint16_t), 0, sizeof indices, 0}, indices);
    const Stream* streams[] = {&vertices, &index_stream};
    library::ShaderLibraryContext context;
    {
        zolt::test::GlCallRecorder recorder;
        render_geometry_immediately(*material, streams, 2, context);
        // Setups 0 to 6 of its lit slot, each once.
        EXPECT_EQ(recorder.count("glDrawElements"), 7u);
    }
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    vertices.free_copy(0);
    index_stream.free_copy(0);
}

TEST_F(LightingLayers, AfterALightingPassAZeroTargetSetupByteKeepsTheStateInEffect) {
    draw_lit_plane(nmap_layer);
    using library::TargetSetupField;
    // The layers leave their defaults behind; a later pass that leaves a
    // field at 0 must neither fail on them nor change the state.
    ASSERT_EQ(library::get_target_setup_default(TargetSetupField::depth), library::target_setup_not_applied);
    constexpr uint8_t less_equal = 8;
    constexpr uint8_t blend_add = 3;
    library::apply_depth_mode(less_equal);
    library::apply_blend_mode(blend_add);
    library::apply_depth_mode(0);
    library::apply_blend_mode(0);
    library::apply_cull_mode(0);
    library::apply_alpha_test_mode(0);
    EXPECT_EQ(library::get_applied_target_setup(TargetSetupField::depth), less_equal);
    EXPECT_EQ(library::get_applied_target_setup(TargetSetupField::blend), blend_add);
    GLint depth_function = 0;
    gl.glGetIntegerv(GL_DEPTH_FUNC, &depth_function);
    EXPECT_EQ(depth_function, GL_LEQUAL);
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace zolt::renderer

// The sample library's normal-mapped lit entry and its fog, drawn through
// the lighting layers on llvmpipe: a plane whose normal map holds one
// tilted normal is lit by each light kind as the lighting equation says with
// that normal in place of the plane's own; and a plane at a known depth
// under a perspective view takes the share of fog colour that the view's
// density gives over its distance, through the full-screen fog and through
// each request's own fog pass alike.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "libs/opengl/opengl_capabilities.h"
#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/backend/stream_fibres.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/light_source.h"
#include "zolt/renderer/batcher/render_layer_nmap_lighting.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/batcher/sample_library_world.h"
#include "zolt/renderer/batcher/screen_copies.h"
#include "zolt/renderer/lights/light_render.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/viewport/viewport.h"

namespace zolt::renderer {
namespace {

namespace library = shader_library;
using opengl::gl;
using test_support::Pixel;

constexpr uint32_t normal_mapped_entry = 50;
constexpr uint32_t white_texture_id = 0x20007300;
constexpr uint32_t normal_map_id = 0x20007304;
// One tangent-space normal for every texel: leaning towards +u (the
// plane's +x), as the map stores it.
constexpr uint8_t stored_normal[3] = {204, 128, 230};
// The sample library's ambient light (library constant 1) over white.
constexpr float ambient[3] = {0.25f, 0.25f, 0.27f};
constexpr uint32_t packed_black = 0xFF000000;
constexpr int tolerance = 3;

test_support::TextureFixture make_one_texel(uint32_t id, const uint8_t (&rgb)[3]) {
    test_support::TextureFixture fixture;
    fixture.id = id;
    fixture.format = make_texture_format(TexelFormat::rgba8, TextureTarget::texture_2d, 1, TextureFilter::nearest, 0);
    fixture.width = fixture.height = 1;
    const uint8_t red = rgb[0], green = rgb[1], blue = rgb[2];
    fixture.surfaces = test_support::make_surfaces(fixture.format, 1, 1, 1,
                                                   [=](uint32_t, uint32_t, uint32_t, uint32_t, uint8_t* element) {
                                                       // B, G, R, A bytes.
                                                       element[0] = blue;
                                                       element[1] = green;
                                                       element[2] = red;
                                                       element[3] = 255;
                                                   });
    return fixture;
}

// The plane's vertices as the glTF import lays them out.
struct Vertex {
    float position[3];
    float uv[2];
    uint8_t colour[4];
    float normal[3];
    float tangent[4];
};
static_assert(sizeof(Vertex) == 52);

LightRender test_lights[2];
const LightRender* get_test_light(uint32_t index) {
    return index < 2 ? &test_lights[index] : nullptr;
}
// No volume: every light is drawn unconfined.
bool get_no_mask(const LightRender&, LightMaskGeometry*) {
    return false;
}

ViewportRender fog_view;
const ViewportRender* get_fog_view() {
    return &fog_view;
}
constexpr float far_distance = 10.0f;
float get_far() {
    return far_distance;
}

geometry::Vector3 normalise3(geometry::Vector3 v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

float dot3(geometry::Vector3 a, geometry::Vector3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The normal the map gives on the plane z = 0 (tangent +x, normal +z).
geometry::Vector3 mapped_normal() {
    const auto decode = [](uint8_t byte) { return byte / 255.0f * 2.0f - 1.0f; };
    return normalise3({decode(stored_normal[0]), decode(stored_normal[1]), decode(stored_normal[2])});
}

// The centre of pixel p in clip space.
float pixel_centre(int32_t p) {
    return (static_cast<float>(p) + 0.5f) / 32.0f - 1.0f;
}

Pixel to_pixel(const float (&colour)[3]) {
    const auto channel = [](float c) { return static_cast<uint8_t>(std::lround(std::clamp(c, 0.0f, 1.0f) * 255.0f)); };
    return {channel(colour[0]), channel(colour[1]), channel(colour[2]), 255};
}

bool is_near(const Pixel& a, const Pixel& b) {
    for (size_t c = 0; c < 3; ++c) {
        if (std::abs(static_cast<int>(a[c]) - static_cast<int>(b[c])) > tolerance) {
            return false;
        }
    }
    return true;
}

class SampleNormalMapAndFog : public test_support::SampleLibraryWorld {
protected:
    void SetUp() override {
        for (const test_support::TextureFixture& fixture :
             {make_one_texel(white_texture_id, {255, 255, 255}), make_one_texel(normal_map_id, stored_normal)}) {
            const test_support::TextureResources texture = test_support::lay_out(fixture);
            extra_resources_.push_back(test::make_resource(fixture.id, texture.header));
            extra_resources_.push_back(test::make_resource(get_resident_levels_id(fixture.id), texture.resident, 4));
        }
        SampleLibraryWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        library::set_object_texture_matrix(geometry::Matrix4{});
        test_lights[0] = test_lights[1] = LightRender{};
        light_source = {};
        light_source.get_light = &get_test_light;
        light_source.get_mask_geometry = &get_no_mask;
        fog_view = ViewportRender{};
        // The full-screen fog reads the depth layer's colour from its copy.
        create_screen_copies();
        material_ = make_normal_mapped_material();
        // A frame uploads the textures the material binds and makes the
        // copies.
        run_frame(nullptr);
        take_screen_copies();
    }
    void TearDown() override {
        clear_accepted_render_layers();
        light_source = {};
        allow_deferred_fog = true;
        render_view_hooks.get_current_view = nullptr;
        render_view_hooks.get_far_distance = nullptr;
        if (context_made_) {
            library::reset_transforms();
        }
        for (auto& streams : planes_) {
            streams->vertices.free_copy(0);
            streams->indices.free_copy(0);
        }
        planes_.clear();
        SampleLibraryWorld::TearDown();
    }

    Material* make_normal_mapped_material() {
        static uint32_t textures[] = {white_texture_id, normal_map_id};
        static uint32_t fibre_tags[] = {1u << library::fibre_source_stream_shift,
                                        make_fibre_format(FibreSourceFormat::float_3, offsetof(Vertex, position)),
                                        make_fibre_format(FibreSourceFormat::float_2, offsetof(Vertex, uv)),
                                        make_fibre_format(FibreSourceFormat::unsigned_byte_4_normalised,
                                                          offsetof(Vertex, colour)),
                                        make_fibre_format(FibreSourceFormat::float_3, offsetof(Vertex, normal)),
                                        make_fibre_format(FibreSourceFormat::float_4, offsetof(Vertex, tangent))};
        MaterialDescription description;
        description.shader_index = normal_mapped_entry;
        description.textures = {textures, 2};
        description.fibre_tags = {fibre_tags, 6};
        Material* const material = material_server.create_material(description);
        material->update_pending();
        EXPECT_EQ(material->selected_entry, normal_mapped_entry);
        return material;
    }

    // The plane z = `z` from -extent to extent, facing +z, its tangent +x.
    void offer_plane(const RenderInfo& info, float extent, float z) {
        auto plane = std::make_unique<PlaneStreams>();
        const float e = extent;
        const float corners[4][2] = {{-e, -e}, {e, -e}, {e, e}, {-e, e}};
        for (uint32_t k = 0; k < 4; ++k) {
            plane->quad[k] = {{corners[k][0], corners[k][1], z},
                              {corners[k][0], corners[k][1]},
                              {255, 255, 255, 255},
                              {0, 0, 1},
                              {1, 0, 0, 1}};
        }
        static constexpr uint16_t indices[] = {0, 1, 2, 0, 2, 3};
        plane->vertices.initialize({sizeof(Vertex), 0, sizeof plane->quad, 0}, plane->quad);
        plane->indices.initialize({stream_format_index | sizeof(uint16_t), 0, sizeof indices, 0}, indices);
        queue_render_request(info, plane->streams, 2, material_, 0, 0);
        planes_.push_back(std::move(plane));
    }

    Material* material_ = nullptr;

private:
    struct PlaneStreams {
        Vertex quad[4];
        Stream vertices;
        Stream indices;
        const Stream* streams[2] = {&vertices, &indices};
    };
    std::vector<std::unique_ptr<PlaneStreams>> planes_;
};

RenderInfo lit_by_light_0() {
    RenderInfo info;
    info.object_id = 1;
    info.light_list = 1;  // one light: index 0 in byte 1
    return info;
}

TEST_F(SampleNormalMapAndFog, EachLightKindLightsThePlaneWithTheMappedNormal) {
    const geometry::Vector3 light_position{0, 0, 1};
    const float colour[3] = {0.6f, 0.5f, 0.4f};
    const float range = 3.0f;
    // The spot light shines down -z with tan(half angle) 0.5 (the texture
    // matrix as in the plain lighting layers' test); the directional light
    // comes from straight above.
    struct Case {
        const char* name;
        LightType type;
    };
    const Case cases[] = {{"point", LightType::point}, {"spot", LightType::spot}, {"directional", LightType::directional}};
    const geometry::Vector3 normal = mapped_normal();
    for (const Case& c : cases) {
        LightRender& light = test_lights[0];
        light = LightRender{};
        light.type = static_cast<uint8_t>(c.type);
        light.on = 1;
        light.position = light_position;
        light.direction = {0, 0, -1};
        light.colour = {colour[0], colour[1], colour[2], 1};
        light.intensity = 1;
        light.range = range;
        light.shadow_texture_matrix[0] = {1, 0, 0, 0};
        light.shadow_texture_matrix[1] = {0, 1, 0, 0};
        light.shadow_texture_matrix[2] = {-0.5f, -0.5f, 0, -1};
        light.shadow_texture_matrix[3] = {0.5f, 0.5f, 0, 1};

        set_active_render_layers(1u << nmap_layer);
        clear_to(packed_black);
        offer_plane(lit_by_light_0(), 1, 0);
        get_render_layer(nmap_layer)->render_request_pass(nmap_layer, true);

        // Either side of the centre, where the tilted normal turns towards
        // or away from the light, and off the axis.
        const int32_t samples[][2] = {{32, 32}, {24, 32}, {40, 32}, {44, 36}, {20, 28}};
        for (const auto& sample : samples) {
            const float x = pixel_centre(sample[0]);
            const float y = pixel_centre(sample[1]);
            float share = 0;
            if (c.type == LightType::directional) {
                share = std::max(normal.z, 0.0f);
            } else {
                const geometry::Vector3 to_light{light_position.x - x, light_position.y - y, light_position.z};
                const float distance = std::sqrt(dot3(to_light, to_light));
                const float falloff = std::clamp(1.0f - distance / range, 0.0f, 1.0f);
                const float cosine = std::max(dot3(normal, to_light) / distance, 0.0f);
                const bool inside = c.type != LightType::spot || (x * x + y * y) / 0.25f <= 1.0f;
                share = inside ? falloff * cosine : 0.0f;
            }
            const float expected[3] = {ambient[0] + colour[0] * share, ambient[1] + colour[1] * share,
                                       ambient[2] + colour[2] * share};
            EXPECT_PRED2(is_near, read_pixel(sample[0], sample[1]), to_pixel(expected))
                << c.name << " at " << sample[0] << ", " << sample[1];
        }
        // The flat normal would light the two sides alike; the map's tilt
        // towards +x makes the side towards the light's far side darker.
        if (c.type != LightType::directional) {
            EXPECT_LT(int{read_pixel(40, 32)[0]} + 8, int{read_pixel(24, 32)[0]}) << c.name;
        }
    }
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(SampleNormalMapAndFog, APlaneAtAKnownDepthTakesTheFogItsDistanceGives) {
    // A 90-degree perspective view (tan of each half angle 1), near 0.1, in
    // the row-vector convention; the plane 4 in front of the eye fills it.
    constexpr float near_distance = 0.1f;
    constexpr float depth = 4.0f;
    geometry::Matrix4 projection;
    projection.rows[0] = {1, 0, 0, 0};
    projection.rows[1] = {0, 1, 0, 0};
    projection.rows[2] = {0, 0, (far_distance + near_distance) / (near_distance - far_distance), -1};
    projection.rows[3] = {0, 0, 2 * far_distance * near_distance / (near_distance - far_distance), 0};
    auto view = std::make_unique<VisibilityContext>();
    view->fov_x = 0.25f;
    view->fov_y = 0.25f;
    view->far = far_distance;
    set_current_visibility_context(view.get());
    render_view_hooks.get_current_view = &get_fog_view;
    render_view_hooks.get_far_distance = &get_far;
    library::set_eye_position({0, 0, 0});

    const float fog[4] = {0.8f, 0.6f, 0.2f, 0.15f};
    fog_view.user_vectors[2] = {fog[0], fog[1], fog[2], fog[3]};
    library::get_viewport_constants().vectors[2].set_floats(fog[0], fog[1], fog[2], fog[3]);

    for (const bool deferred : {true, false}) {
        allow_deferred_fog = deferred;
        get_render_layer(nmap_layer)->update(nmap_layer);
        set_active_render_layers((1u << depth_layer) | (1u << nmap_layer));
        library::set_projection_matrix(projection, geometry::Matrix4{});
        offer_plane(RenderInfo{}, depth, -depth);
        render_layers(packed_black);

        const int32_t samples[][2] = {{32, 32}, {8, 32}, {56, 56}, {4, 60}, {40, 20}};
        for (const auto& sample : samples) {
            const float x = pixel_centre(sample[0]);
            const float y = pixel_centre(sample[1]);
            const float distance = depth * std::sqrt(1 + x * x + y * y);
            const float share = 1 - std::exp(-fog[3] * distance);
            const float expected[3] = {ambient[0] * (1 - share) + fog[0] * share,
                                       ambient[1] * (1 - share) + fog[1] * share,
                                       ambient[2] * (1 - share) + fog[2] * share};
            EXPECT_PRED2(is_near, read_pixel(sample[0], sample[1]), to_pixel(expected))
                << (deferred ? "full-screen fog" : "per-request fog") << " at " << sample[0] << ", " << sample[1];
        }
    }
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    set_current_visibility_context(nullptr);
}

}  // namespace
}  // namespace zolt::renderer

#include "zolt/renderer/batcher/batcher_test_support.h"

#include <string>

#include "zcontent/lib/shader_library_compiler.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/backend/stream_fibres.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/quad_batcher.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/batcher/screen_copies.h"
#include "zolt/renderer/batcher/stream_pool.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_tags.h"

namespace zolt::renderer::test_support {

namespace library = shader_library;
using opengl::gl;

namespace {

// The index stream as stream 1 (quads when asked), positions as three
// floats at the start of stream 0.
uint32_t index_fibre_tag(bool quads) {
    return (1u << library::fibre_source_stream_shift) | (quads ? 0x100000u : 0u);
}
const uint32_t position_fibre_tag = make_fibre_format(FibreSourceFormat::float_3, 0);
const uint32_t colour_fibre_tag = make_fibre_format(FibreSourceFormat::unsigned_byte_4_normalised, 16);

// A flat pass of the material's vector 0 or 1, with or without a depth test.
std::string flat_pass(uint32_t program, uint32_t tag, const char* depth) {
    return std::string(R"({"vertex": {"glsl": "flat_vertex"}, "pixel": {"glsl": "flat_pixel"}, "program_index": )") +
           std::to_string(program) + R"(, "target_setup": {"cull": "off", "depth": ")" + depth +
           R"(", "blend": "off", "alpha_test": "off", "stencil": "off"}, "fibre_bindings": [{"tag": 1, "target": "position"}], "constant_bindings": [{"tag": )" +
           std::to_string(tag) + R"(, "target": "glsl_uniform", "index": 0, "count": 4}]})";
}

// A light's pass: added over the base pass, the stencil left to the
// lighting layers' default.
std::string light_pass(uint32_t program, const char* shaders) {
    return std::string(R"({"vertex": {"glsl": ")") + shaders + R"(_vertex"}, "pixel": {"glsl": ")" + shaders +
           R"(_pixel"}, "program_index": )" + std::to_string(program) +
           R"(, "target_setup": {"cull": "off", "depth": "less_equal", "blend": "add", "alpha_test": "off"}, "fibre_bindings": [{"tag": 1, "target": "position"}]})";
}

// Setups 0 to 6 of a lit slot: the base in vector 0, the shadowed and plain
// global light as the directional light, spot (with and without shadow),
// point, directional, and the fog adding vector 1.
std::string lit_setups() {
    const std::string base = flat_pass(1, 0, "less_equal");
    const std::string fog = std::string(
        R"({"vertex": {"glsl": "flat_vertex"}, "pixel": {"glsl": "flat_pixel"}, "program_index": 1, "target_setup": {"cull": "off", "depth": "less_equal", "blend": "add", "alpha_test": "off", "stencil": "off"}, "fibre_bindings": [{"tag": 1, "target": "position"}], "constant_bindings": [{"tag": 1, "target": "glsl_uniform", "index": 0, "count": 4}]})");
    const std::string spot = light_pass(30, "spot");
    const std::string point = light_pass(31, "point");
    const std::string directional = light_pass(32, "directional");
    return "[[" + base + "], [" + directional + "], [" + spot + "], [" + spot + "], [" + point + "], [" + directional +
           "], [" + fog + "]]";
}

// As lit_setups, with setup 1 the global light over its cascades and setup
// 2 the spot light over its shadow map.
std::string shadowed_lit_setups() {
    std::string setups = lit_setups();
    const std::string directional = light_pass(32, "directional");
    setups.replace(setups.find(directional), directional.size(), light_pass(35, "global_shadowed"));
    const std::string spot = light_pass(30, "spot");
    setups.replace(setups.find(spot), spot.size(), light_pass(33, "spot_shadowed"));
    return setups;
}

// Vertex colours from fibre tag 2; a skinned pass also binds its weights
// (tag 3) and palette entries (tag 4) to texture coordinate sets 1 and 2.
std::string vertex_colour_pass(uint32_t program, const std::string& shaders) {
    const bool skinned = shaders == "skinned";
    return R"({"vertex": {"glsl": ")" + shaders + R"(_vertex"}, "pixel": {"glsl": ")" + shaders +
           R"(_pixel"}, "program_index": )" + std::to_string(program) +
           R"(, "target_setup": {"cull": "off", "depth": "less_equal", "blend": "off", "alpha_test": "off", "stencil": "off"}, "fibre_bindings": [{"tag": 1, "target": "position"}, {"tag": 2, "target": "colour"})" +
           (skinned ? R"(, {"tag": 3, "target": "texture_coordinates", "index": 1}, {"tag": 4, "target": "texture_coordinates", "index": 2})"
                    : "") +
           "]}";
}

std::string make_library_description() {
    const std::string fixed_function =
        R"({"vertex": "fixed_function", "target_setup": {"cull": "off", "depth": "less_equal", "blend": "off", "alpha_test": "off", "stencil": "off"}})";
    // The default material draws occlusion proxies: positions only.
    const std::string positioned =
        R"({"vertex": "fixed_function", "fibre_bindings": [{"tag": 1, "target": "position"}], "target_setup": {"cull": "off", "depth": "less_equal", "blend": "off", "alpha_test": "off", "stencil": "off"}})";
    const std::string colour_defaults =
        R"("constant_tag_defaults": [{"source": "material", "parameter": 0}, {"source": "material", "parameter": 1}])";
    const std::string first = flat_pass(1, 0, "off");
    return R"({
  "glsl_shaders": {
    "flat_vertex": {"sources": ["flat.vert"], "uniforms": ["material_colour"]},
    "flat_pixel": {"sources": ["flat.frag"]},
    "object_flat_vertex": {"sources": ["object_flat.vert"], "uniforms": ["material_colour"]},
    "colour_vertex": {"sources": ["vertex_colour.vert"]},
    "colour_pixel": {"sources": ["vertex_colour.frag"]},
    "spot_vertex": {"sources": ["spot_light.vert"]},
    "spot_pixel": {"sources": ["spot_light.frag", "light_untextured.frag"]},
    "point_vertex": {"sources": ["point_light.vert"]},
    "point_pixel": {"sources": ["point_light.frag", "light_untextured.frag"]},
    "directional_vertex": {"sources": ["directional_light.vert"]},
    "directional_pixel": {"sources": ["directional_light.frag", "light_untextured.frag"]},
    "spot_shadowed_vertex": {"sources": ["spot_light.vert"], "samplers": {"shadow_map": 15}},
    "spot_shadowed_pixel": {"sources": ["spot_light_shadowed.frag", "light_untextured.frag"]},
    "global_shadowed_vertex": {"sources": ["global_light_shadowed.vert"], "samplers": {"shadow_map": 15}},
    "global_shadowed_pixel": {"sources": ["global_light_shadowed.frag", "light_untextured.frag"]},
    "shadow_depth_vertex": {"sources": ["shadow_depth.vert"]},
    "shadow_depth_pixel": {"sources": ["shadow_depth.frag"]},
    "skinned_vertex": {"sources": ["skinned.vert"]},
    "skinned_pixel": {"sources": ["skinned.frag"]}
  },
  "entries": [
    {"index": 0, "variants": [{"passes": [{"slot": "direct", "setups": [[)" +
           fixed_function + R"(]]}]}]},
    {"index": 3, "variants": [{"passes": [{"slot": "direct", "setups": [[)" +
           fixed_function + "], [" + fixed_function + R"(]]}]}]},
    {"index": 10, "fibre_tag_defaults": [)" +
           std::to_string(index_fibre_tag(false)) + ", " + std::to_string(position_fibre_tag) +
           R"(], "variants": [{"passes": [{"slot": "depth", "setups": [[)" + positioned + "], [" + positioned + "], [" +
           positioned + R"(]]}]}]},
    {"index": 18, "variants": [{"passes": [{"slot": "direct", "setups": [[)" +
           fixed_function + R"(]]}]}]},
    {"index": 20, )" +
           colour_defaults + R"(, "variants": [{"constant_tags": [0, 1], "passes": [
      {"slot": "depth", "setups": [[)" +
           first + "], [" + flat_pass(2, 0, "less_equal") + "], [" + flat_pass(3, 1, "less_equal") + R"(]]},
      {"slot": "mask", "setups": [[)" +
           first + R"(]]},
      {"slot": "screen_copy", "setups": [[)" +
           flat_pass(4, 1, "off") + R"(]]},
      {"slot": "depth_only", "setups": [[)" +
           first + R"(]]},
      {"slot": 4, "setups": [[)" +
           first + R"(]]}
    ]}]},
    {"index": 21, )" +
           colour_defaults + R"(, "variants": [{"constant_tags": [0, 1], "passes": [
      {"slot": "depth", "flags": ["back_to_front"], "setups": [[)" +
           first + "], [" + flat_pass(5, 0, "off") + R"(]]}
    ]}]},
    {"index": 22, )" +
           colour_defaults + R"(, "variants": [{"constant_tags": [0, 1], "passes": [
      {"slot": "screen_copy", "setups": [[)" +
           flat_pass(6, 0, "off") + R"(]]}
    ]}]},
    {"index": 23, "fibre_tag_defaults": [)" +
           std::to_string(index_fibre_tag(true)) + ", " + std::to_string(position_fibre_tag) + ", " +
           std::to_string(colour_fibre_tag) +
           R"(], "variants": [{"passes": [
      {"slot": "screen_copy", "setups": [[{"vertex": {"glsl": "colour_vertex"}, "pixel": {"glsl": "colour_pixel"}, "program_index": 7, "target_setup": {"cull": "off", "depth": "off", "blend": "off", "alpha_test": "off", "stencil": "off"}, "fibre_bindings": [{"tag": 1, "target": "position"}, {"tag": 2, "target": "colour"}]}]]}
    ]}]},
    {"index": 24, "constant_tag_defaults": [{"source": "special", "parameter": 18}], "fibre_tag_defaults": [)" +
           std::to_string(index_fibre_tag(false)) + ", " + std::to_string(position_fibre_tag) +
           R"(], "variants": [{"constant_tags": [0], "passes": [
      {"slot": 8, "setups": [[)" +
           flat_pass(8, 0, "off") + R"(]]}
    ]}]},
    {"index": 25, )" +
           colour_defaults + R"(, "variants": [{"constant_tags": [0, 1], "passes": [
      {"slot": 6, "setups": )" +
           lit_setups() + R"(}
    ]}]},
    {"index": 26, )" +
           colour_defaults + R"(, "variants": [{"constant_tags": [0, 1], "passes": [
      {"slot": 6, "flags": ["after_deferred_fog"], "setups": )" +
           lit_setups() + R"(}
    ]}]},
    {"index": 27, )" +
           colour_defaults + R"(, "variants": [{"constant_tags": [0, 1], "passes": [
      {"slot": 9, "setups": )" +
           lit_setups() + R"(},
      {"slot": 11, "setups": )" +
           lit_setups() + R"(}
    ]}]},
    {"index": 28, )" +
           colour_defaults + R"(, "variants": [{"constant_tags": [0, 1], "passes": [
      {"slot": 10, "setups": [[)" +
           flat_pass(1, 0, "off") + R"(]]}
    ]}]},
    {"index": 29, )" +
           colour_defaults + R"(, "variants": [{"constant_tags": [0, 1], "passes": [
      {"slot": 6, "setups": )" +
           shadowed_lit_setups() + R"(},
      {"slot": "shadow_depth", "setups": [[{"vertex": {"glsl": "shadow_depth_vertex"}, "pixel": {"glsl": "shadow_depth_pixel"}, "program_index": 34, "target_setup": {"cull": "off", "depth": "less_equal", "blend": "off", "alpha_test": "off", "stencil": "off"}, "fibre_bindings": [{"tag": 1, "target": "position"}]}]]}
    ]}]},
    {"index": 30, "setup_pairs": true, "variants": [{"passes": [
      {"slot": "depth", "setups": [[)" +
           first + "], [" + first + "], [" + vertex_colour_pass(36, "colour") + "], [" +
           vertex_colour_pass(37, "skinned") + R"(]]}
    ]}]},
    {"index": 31, "constant_tag_defaults": [{"source": "special", "parameter": 18}], "fibre_tag_defaults": [)" +
           std::to_string(index_fibre_tag(false)) + ", " + std::to_string(position_fibre_tag) +
           R"(], "variants": [{"constant_tags": [0], "passes": [
      {"slot": 8, "setups": [[{"vertex": {"glsl": "object_flat_vertex"}, "pixel": {"glsl": "flat_pixel"}, "program_index": 38, "target_setup": {"cull": "off", "depth": "off", "blend": "off", "alpha_test": "off", "stencil": "off"}, "fibre_bindings": [{"tag": 1, "target": "position"}], "constant_bindings": [{"tag": 0, "target": "glsl_uniform", "index": 0, "count": 4}]}]]}
    ]}]}
  ]
})";
}

}  // namespace

void BatcherWorld::SetUp() {
    TextureWorld::SetUp();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    std::string error;
    // The sample's flat shaders, found beside where the description would lie.
    ASSERT_TRUE(use_sample_shader_library_ ||
                tools::compile_shader_library(make_library_description(),
                                              std::string(ZOLT_CONTENT_SOURCE_PATH) + "/shaders/batcher_test.json",
                                              &library_override_, &error))
        << error;
    reset_display_modes();
    ASSERT_TRUE(add_display_mode({width, height, 0}));
    ASSERT_TRUE(set_display_mode(1, true));
    install_batcher_rendering_steps();
    initialize_batcher_pools();
    open_world({});
    core::alias_server.register_server();
    material_server.register_server();
    set_target_size(width, height);
    set_viewport(0, 0, width, height);
    set_active_render_layers(default_viewport_layer_mask);
    take_screen_copies();
}

void BatcherWorld::TearDown() {
    if (context_made_) {
        clear_screen_copies();
        library::reset_state();
        library::release_all_fibres();
        release_batcher_pools();
        release_all_streams();
        for (auto& quad : quads_) {
            quad->vertices.free_copy(0);
            quad->indices.free_copy(0);
        }
        quads_.clear();
    }
    if (material_server.is_registered()) {
        material_server.unregister_server();
    }
    if (core::alias_server.is_registered()) {
        core::alias_server.unregister_server();
    }
    core::alias_server.clear_alias(default_material_alias);
    remove_batcher_rendering_steps();
    TextureWorld::TearDown();
    library::get_library_state() = {};
    reset_display_modes();
}

Material* BatcherWorld::make_material(uint32_t entry, Colour first, Colour second) {
    library::ConstantValue* const vectors = new library::ConstantValue[2];
    vectors[0].set_floats(first.red, first.green, first.blue, 1.0f);
    vectors[1].set_floats(second.red, second.green, second.blue, 1.0f);
    const bool quads = entry == quad_entry;
    static uint32_t fibre_tags[2][2] = {{index_fibre_tag(false), position_fibre_tag},
                                        {index_fibre_tag(true), position_fibre_tag}};
    MaterialDescription description;
    description.shader_index = entry;
    description.vectors = {vectors, 2};
    description.fibre_tags = {fibre_tags[quads ? 1 : 0], 2};
    Material* const material = material_server.create_material(description);
    delete[] vectors;
    material->update_pending();
    return material;
}

void BatcherWorld::offer_quad(const RenderInfo& info, Material* material, float x0, float y0, float x1, float y1,
                              float z) {
    const float corners[] = {x0, y0, z, x1, y0, z, x1, y1, z, x0, y1, z};
    offer_quad_corners(info, material, corners);
}

void BatcherWorld::offer_quad_corners(const RenderInfo& info, Material* material, const float (&corners)[12]) {
    static constexpr uint16_t indices[] = {0, 1, 2, 0, 2, 3};
    auto quad = std::make_unique<QuadStreams>();
    quad->vertices.initialize({12, 0, sizeof corners, 0}, corners);
    quad->indices.initialize({stream_format_index | sizeof(uint16_t), 0, sizeof indices, 0}, indices);
    queue_render_request(info, quad->streams, 2, material, 0, 0);
    quads_.push_back(std::move(quad));
}

Pixel BatcherWorld::read_texel(TextureObject* texture, int32_t x, int32_t y) {
    // Drawn over the whole picture at its own size, then read back.
    draw_texture(texture, 0, 0, static_cast<int32_t>(texture->get_width()),
                 static_cast<int32_t>(texture->get_height()));
    return read_pixel(x, y);
}

void BatcherWorld::clear_to(uint32_t packed_colour) const {
    clear_frame_buffer(packed_colour);
}

}  // namespace zolt::renderer::test_support

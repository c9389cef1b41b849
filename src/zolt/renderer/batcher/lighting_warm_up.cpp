#include "zolt/renderer/batcher/lighting_warm_up.h"

#include "zolt/core/object_server/server_base.h"
#include "zolt/renderer/batcher/render_layer_nmap_base.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_program_warm_up.h"
#include "zolt/renderer/texture/texture_object.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

namespace library = shader_library;
using geometry::Vector4;

namespace {

constexpr uint32_t projected_texture_unit = 14;
constexpr uint32_t last_texture_unit = 15;
// The script word that names the texture projected while warming up.
constexpr uint32_t projected_texture_script_word = 3;

TextureObject* get_projected_warm_up_texture() {
    const core::ObjectHandle handle = library::get_library_state().script_words[projected_texture_script_word];
    core::ServerObject* const object = core::resolve_handle(handle);
    if (object == nullptr || core::get_handle_server_type(object->get_handle()) != core::server_type::texture) {
        return nullptr;
    }
    return static_cast<TextureObject*>(object);
}

// Any values will do: they only give the programs something to draw with.
void fill_sample_light_blocks() {
    Vector4 global_pixel[library::max_light_pixel_vectors];
    for (uint32_t index = 0; index < library::max_light_pixel_vectors; ++index) {
        global_pixel[index] = {0.5f, 0.5f, 0.5f, 1.0f};
    }
    library::set_light_constants(global_pixel, library::max_cascade_count, {0.0f, 0.0f, 1.0f, 0.001f});
    const Vector4 spot_pixel[3] = {{1.0f, 1.0f, 1.0f, 0.1f}, {0.0f, 0.0f, 1.0f, 1.0f}, {0.001f, 0.001f, 1.0f, 0.001f}};
    const Vector4 spot_vertex[5] = {
        {0.0f, 0.0f, 10.0f, 0.001f}, {1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    library::set_spot_light_constants(spot_pixel, spot_vertex);
    library::set_point_light_constants({1.0f, 1.0f, 1.0f, 0.1f}, {0.0f, 0.0f, 10.0f, 0.001f});
    library::set_directional_light_constants({1.0f, 1.0f, 1.0f, 0.001f}, {0.0f, 0.0f, 1.0f, 0.001f});
}

}  // namespace

void warm_up_lighting(uint32_t slot_pass, const Stream* const* streams, uint32_t stream_count, Material& material,
                      library::ShaderLibraryContext& context) {
    texture_server.request_texture(projected_texture_unit, get_projected_warm_up_texture());
    texture_server.request_texture(last_texture_unit, nullptr);
    texture_server.commit_texture_units(0, last_texture_unit);
    fill_sample_light_blocks();
    const library::ShaderPassInput input = material.make_pass_input(streams, stream_count);
    for (uint32_t setup = base_setup; setup <= fog_setup; ++setup) {
        library::warm_up_draw(slot_pass, setup, input, context);
    }
    texture_server.request_texture(projected_texture_unit, nullptr);
    texture_server.commit_texture_units(projected_texture_unit, last_texture_unit);
}

}  // namespace zolt::renderer

#include "zolt/renderer/batcher/draw_request.h"

#include "libs/opengl/occlusion_query.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/quad_batcher.h"
#include "zolt/renderer/batcher/render_request.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/shaders/shader_draw.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_pass_setup.h"
#include "zolt/renderer/shaders/shader_program_warm_up.h"

namespace zolt::renderer {

namespace library = shader_library;

bool find_request_setup(const RenderRequest& request, uint32_t slot, uint32_t setup_number, library::ShaderSetup* setup,
                        uint32_t* slot_pass_flags) {
    const Material& material = *request.material;
    if (!material.has_pass(slot)) {
        return false;
    }
    const bool mesh_flag = request.mesh != nullptr && render_view_hooks.mesh_uses_setup_pair != nullptr &&
                           render_view_hooks.mesh_uses_setup_pair(request);
    const uint32_t number = library::apply_setup_pairs(material.selected_entry_flags, setup_number, mesh_flag);
    const uint32_t slot_pass = material.passes[slot];
    const uint32_t setup_index = library::find_slot_pass_setup(slot_pass, number);
    if (setup_index == library::no_setup) {
        return false;
    }
    const library::ShaderLibraryHeader& header = library::get_library_header();
    *setup = library::read_record<library::ShaderSetup>(header.setups, setup_index);
    if (slot_pass_flags != nullptr) {
        *slot_pass_flags = library::read_record<library::ShaderSlotPass>(header.slot_passes, slot_pass).pass_flags;
    }
    return setup->shader_pass_count != 0;
}

uint32_t get_first_program_index(const RenderRequest& request, uint32_t slot, uint32_t setup_number,
                                 uint32_t* slot_pass_flags) {
    library::ShaderSetup setup;
    if (!find_request_setup(request, slot, setup_number, &setup, slot_pass_flags)) {
        return 0;
    }
    const library::ShaderLibraryHeader& header = library::get_library_header();
    return library::read_record<library::ShaderPass>(header.shader_passes, setup.first_shader_pass).program_index;
}

void draw_request(const RenderRequest& request, uint32_t slot, uint32_t setup_number) {
    library::ShaderSetup setup;
    if (!find_request_setup(request, slot, setup_number, &setup, nullptr)) {
        return;
    }
    if (!set_scissor_rectangle(0, request.clip_rectangle)) {
        return;
    }
    if (render_view_hooks.set_object_matrix != nullptr) {
        geometry::Matrix4 object_matrix;
        if (render_view_hooks.set_object_matrix(request.rotation, request.position, &object_matrix)) {
            library::set_object_texture_matrix(object_matrix);
        }
    }
    const Material& material = *request.material;
    library::ShaderLibraryContext context;
    context.view = render_view_hooks.get_current_view != nullptr ? render_view_hooks.get_current_view() : nullptr;
    context.request = &request;
    material.fill_fibre_context(context);

    const Stream* quad_streams[quad_stream_count];
    const Stream* const* streams = request.streams;
    uint32_t stream_count = request.stream_word;
    if (streams == nullptr) {
        get_quad_streams(request.stream_word, quad_streams);
        streams = quad_streams;
        stream_count = quad_stream_count;
    }
    const library::ShaderPassInput input = material.make_pass_input(streams, stream_count);
    const library::ShaderLibraryHeader& header = library::get_library_header();
    for (uint32_t index = 0; index < setup.shader_pass_count; ++index) {
        const auto pass =
            library::read_record<library::ShaderPass>(header.shader_passes, setup.first_shader_pass + index);
        library::setup_shader_pass(pass, input, context);
        if (request.mesh != nullptr && render_view_hooks.draw_mesh_part != nullptr) {
            render_view_hooks.draw_mesh_part(request);
        } else {
            library::draw_indexed(request.index_count, request.first_index);
        }
    }
}

void render_request(const RenderRequest& request, uint32_t slot, uint32_t setup_number) {
    opengl::OcclusionQuery* const query = request.occlusion_query;
    if (query == nullptr) {
        draw_request(request, slot, setup_number);
        return;
    }
    if (request.material == material_server.get_default_material()) {
        // The proxy: its samples decide whether the object itself is drawn.
        opengl::openglBeginOcclusionQuery(query);
        draw_request(request, slot, setup_number);
        opengl::openglEndOcclusionQuery();
        return;
    }
    bool visible = false;
    if (opengl::get_current_occlusion_result(query, &visible) && visible) {
        draw_request(request, slot, setup_number);
    }
}

}  // namespace zolt::renderer

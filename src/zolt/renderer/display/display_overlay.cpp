// The 2D overlay pass: every visible element in layer order through one
// client-side vertex array of 500 quads, drawn again only when the material,
// the texture or the clipping changes, or the batch is full.
#include <algorithm>
#include <cmath>

#include "libs/opengl/buffer_binding.h"
#include "libs/opengl/opengl_capabilities.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/display/display_server.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/texture/texture_object.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

namespace {

using opengl::gl;
namespace library = shader_library;

constexpr GLsizei vertex_stride = sizeof(OverlayVertex);

int32_t truncate_to_screen(float value, int32_t limit) {
    const float positive = std::max(value, 0.0f);
    return positive >= static_cast<float>(limit) ? limit : static_cast<int32_t>(positive);
}

void apply_first_pass(Material* material) {
    library::ShaderLibraryContext context;
    material->setup_pass(0, context);
}

}  // namespace

void DisplayServer::render_displays() {
    begin_2d();
    draw_displays_and_texts();
    end_2d();
}

void DisplayServer::point_client_arrays() {
    gl.glColorPointer(4, GL_UNSIGNED_BYTE, vertex_stride, &vertices_[0].color_bytes);
    gl.glTexCoordPointer(2, GL_FLOAT, vertex_stride, &vertices_[0].u);
    gl.glVertexPointer(2, GL_FLOAT, vertex_stride, &vertices_[0].x);
    gl.glEnableClientState(GL_COLOR_ARRAY);
    gl.glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    gl.glEnableClientState(GL_VERTEX_ARRAY);
}

void DisplayServer::begin_2d() {
    const DisplayMode& mode = get_current_display_mode();
    const auto width = static_cast<int32_t>(mode.width);
    const auto height = static_cast<int32_t>(mode.height);
    set_viewport(0, 0, width, height);
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    // The views leave their own model-view matrix behind.
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
    if (default_material_ != nullptr && default_material_->has_pass(0)) {
        apply_first_pass(default_material_);
    }
    if (opengl::buffer_objects_in_use()) {
        opengl::bind_buffer(opengl::array_buffer_target, 0);
        opengl::bind_buffer(opengl::element_array_buffer_target, 0);
    }
    if (texture_server.get_active_unit() != 0) {
        texture_server.activate_texture_unit(0);
    }
    gl.glClientActiveTexture(GL_TEXTURE0);
    point_client_arrays();
    current_color_ = opaque_white;
}

void DisplayServer::end_2d() {
    flush_quads();
    gl.glDisableClientState(GL_COLOR_ARRAY);
    gl.glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    gl.glDisableClientState(GL_VERTEX_ARRAY);
    library::invalidate_texture_cache();
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glMatrixMode(GL_MODELVIEW);
    set_clip_rectangle({}, {});
    current_color_ = opaque_white;
    library::reset_state();
}

void DisplayServer::draw_record(const DisplayRender& record) {
    if ((record.color >> 24) == 0 || record.texture == nullptr ||
        (record.material != nullptr && !record.material->has_pass(0))) {
        return;
    }
    current_color_ = record.color;
    set_clip_rectangle(record.clip_size, record.clip_origin);
    queue_quad(record.geometry, record.texture, record.material);
}

void DisplayServer::draw_displays_and_texts() {
    // Texts join the walk when their part draws them; until then the
    // elements alone make the overlay.
    for (uint16_t slot = layer_head_; slot != no_display_record; slot = records_[slot].next) {
        if (records_[slot].visible != 0) {
            draw_record(records_[slot]);
        }
    }
    flush_quads();
}

void DisplayServer::set_clip_rectangle(Vector2 size, Vector2 origin) {
    if (size.x == clip_size_.x && size.y == clip_size_.y && origin.x == clip_origin_.x && origin.y == clip_origin_.y) {
        return;
    }
    flush_quads();
    clip_size_ = size;
    clip_origin_ = origin;
    // Also refuses a size that is not a number.
    if (!(size.x >= 1.0f) || !(size.y >= 1.0f)) {
        reset_scissor();
        return;
    }
    const DisplayMode& mode = get_current_display_mode();
    const auto width = static_cast<int32_t>(mode.width);
    const auto height = static_cast<int32_t>(mode.height);
    const int32_t x0 = truncate_to_screen(origin.x, width);
    const int32_t y0 = truncate_to_screen(origin.y, height);
    const int32_t x1 = truncate_to_screen(origin.x + size.x, width);
    const int32_t y1 = truncate_to_screen(origin.y + size.y, height);
    set_scissor_box(x0, y0, x1 - x0, y1 - y0);
}

void DisplayServer::queue_quad(const OverlayQuad& quad, TextureObject* texture, Material* material) {
    if (material == nullptr) {
        material = default_material_;
    }
    if (material != batch_material_ || texture != batch_texture_ || queued_quad_count_ == overlay_quad_capacity) {
        flush_quads();
    }
    batch_material_ = material;
    batch_texture_ = texture;
    const uint32_t width = texture != nullptr ? texture->get_width() : 1;
    const uint32_t height = texture != nullptr ? texture->get_height() : 1;
    build_overlay_quad(quad, width, height, current_color_, &vertices_[queued_quad_count_ * 4]);
    ++queued_quad_count_;
}

void DisplayServer::flush_quads() {
    if (queued_quad_count_ == 0) {
        return;
    }
    if (batch_material_ != nullptr && batch_material_->has_pass(0)) {
        library::set_renderer_texture(object_texture_slot, batch_texture_);
        apply_first_pass(batch_material_);
        // The pass may have bound its own arrays.
        point_client_arrays();
        gl.glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(queued_quad_count_ * 4));
        library::set_renderer_texture(object_texture_slot, nullptr);
    }
    queued_quad_count_ = 0;
    batch_material_ = nullptr;
    batch_texture_ = nullptr;
}

}  // namespace zolt::renderer

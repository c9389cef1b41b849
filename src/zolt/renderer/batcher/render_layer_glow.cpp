#include "zolt/renderer/batcher/render_layer_glow.h"

#include <algorithm>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/render_layer_comparators.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/materials/material_warm_up.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/texture/texture_object.h"
#include "zolt/renderer/texture/texture_server.h"
#include "zolt/renderer/viewport/viewport.h"

namespace zolt::renderer {

namespace {

namespace library = shader_library;
using opengl::gl;

constexpr uint32_t finished_frame_slot = 0;
constexpr uint32_t target_a_slot = 8;
constexpr uint32_t target_b_slot = 9;
constexpr uint32_t blur_b_setup = 1;
constexpr uint32_t blur_a_setup = 2;
// Room around the reduced image, so that blur taps past its edge read black.
constexpr uint32_t copy_margin = 4;
constexpr float blur_tap_offsets[4] = {-2.5f, -0.5f, 0.5f, 2.5f};
constexpr float far_distance_share = 20.0f;

library::ConstantValue make_value(float x, float y, float z, float w) {
    library::ConstantValue value;
    value.set_floats(x, y, z, w);
    return value;
}

library::ConstantValue make_value(const geometry::Vector4& vector) {
    return make_value(vector.x, vector.y, vector.z, vector.w);
}

uint32_t divide_up(uint32_t value, uint32_t divisor) {
    return divisor != 0 ? (value + divisor - 1) / divisor : value;
}

// The frame buffer from the viewport's origin into the texture, no larger
// than the texture.
void copy_into(TextureObject* texture, uint32_t width, uint32_t height) {
    const FrameBufferState& state = get_frame_buffer_state();
    texture->copy_from_frame_buffer(state.viewport_x, state.viewport_y,
                                    static_cast<int32_t>(std::min(width, texture->get_width())),
                                    static_cast<int32_t>(std::min(height, texture->get_height())));
}

}  // namespace

bool is_glow_blur_on(const ViewportRender& view) {
    const geometry::Vector4& blur = view.parameters.glow_262;
    return blur.y > 0 && blur.x < 1;
}

uint32_t get_glow_combine_setup(const ViewportRender& view) {
    const ViewportLayerParameters& p = view.parameters;
    const geometry::Vector4& tint = p.glow_267;
    return glow_first_combine_setup + (p.glow_264.z > 0 ? 1 : 0) +
           (tint.x > 0 || tint.y > 0 || tint.z > 0 || tint.w > 0 ? 2 : 0) + (is_glow_blur_on(view) ? 4 : 0) +
           (p.glow_269.x > 0 || p.glow_269.y > 0 ? 8 : 0);
}

RenderLayerGlow::RenderLayerGlow() : SortedRenderLayer(0, &compare_none, 0, 0) {}

void RenderLayerGlow::initialize(uint32_t) {
    for (const uint32_t id : {glow_target_a_id, glow_target_b_id}) {
        if (texture_server.find_texture(id) == nullptr) {
            texture_server.create_texture(id);
        }
    }
}

void RenderLayerGlow::update(uint32_t) {
    layer_material_ = nullptr;
    target_a_ = target_b_ = nullptr;
    if (opengl::compatibility_fix_disable_glow) {
        return;
    }
    Material* const material = get_layer_material(glow_material_alias, glow_shader_index);
    if (material == nullptr || !material->has_pass(0)) {
        return;
    }
    target_a_ = texture_server.find_texture(glow_target_a_id);
    target_b_ = texture_server.find_texture(glow_target_b_id);
    // Without its targets the glow has nowhere to blur.
    if (target_a_ != nullptr && target_b_ != nullptr) {
        layer_material_ = material;
    }
}

void RenderLayerGlow::warm_up(uint32_t) {
    if (layer_material_ == nullptr) {
        return;
    }
    library::set_renderer_texture(target_a_slot, target_a_);
    library::set_renderer_texture(target_b_slot, target_b_);
    layer_material_->update_pending();
    if (layer_material_->has_pass(0)) {
        for (uint32_t setup = glow_extract_setup; setup <= glow_last_combine_setup; ++setup) {
            library::ShaderLibraryContext context;
            warm_up_setup_immediate(*layer_material_, setup, context, nullptr);
        }
    }
    library::set_renderer_texture(target_a_slot, nullptr);
    library::set_renderer_texture(target_b_slot, nullptr);
}

void RenderLayerGlow::upload_parameters(const ViewportRender& view) const {
    const ViewportLayerParameters& p = view.parameters;
    const float far_distance = render_view_hooks.get_far_distance != nullptr ? render_view_hooks.get_far_distance() : 0;
    const float time = static_cast<float>(library::get_library_state().shader_time % library::shader_time_cycle_ticks) /
                       static_cast<float>(library::shader_time_cycle_ticks);
    const library::ConstantValue values[] = {
        make_value(p.glow_262),
        make_value(p.glow_257),
        make_value(p.glow_258, p.glow_258, p.glow_258, p.glow_258),
        make_value(p.glow_263.x, p.glow_263.y, p.glow_263.z, 0),
        make_value(p.glow_265),
        make_value(p.glow_266),
        make_value(p.glow_267),
        make_value(p.glow_268.x, p.glow_268.y, p.glow_268.z, 0),
        make_value(p.glow_264),
        make_value(p.glow_269.x, p.glow_269.y, far_distance / far_distance_share, time),
    };
    for (uint32_t index = 0; index < std::size(values); ++index) {
        library::set_user_vector(index, values[index]);
    }
}

void RenderLayerGlow::end_pass(uint32_t, bool active, bool) {
    if (layer_material_ == nullptr) {
        return;
    }
    const ViewportRender* const view =
        render_view_hooks.get_current_view != nullptr ? render_view_hooks.get_current_view() : nullptr;
    if (!active || view == nullptr) {
        return;
    }
    view_ = view;
    const DisplayMode& mode = get_current_display_mode();
    divisor_x_ = std::max(view->parameters.glow_divisor_x, divide_up(mode.width, target_a_->get_width()));
    divisor_y_ = std::max(view->parameters.glow_divisor_y, divide_up(mode.height, target_a_->get_height()));
    divisor_x_ = std::max(divisor_x_, 1u);
    divisor_y_ = std::max(divisor_y_, 1u);

    library::set_renderer_texture(target_a_slot, target_a_);
    library::set_renderer_texture(target_b_slot, target_b_);
    upload_parameters(*view);

    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glOrtho(0, 1, 0, 1, -1, 1);
    gl.glMatrixMode(GL_MODELVIEW);
    const FrameBufferState& state = get_frame_buffer_state();
    const auto width = static_cast<uint32_t>(std::max(state.viewport_width, 0));
    const auto height = static_cast<uint32_t>(std::max(state.viewport_height, 0));
    reduced_width_ = width / divisor_x_;
    reduced_height_ = height / divisor_y_;
    partial_ = reduced_width_ != target_a_->get_width() || reduced_height_ != target_a_->get_height();

    if (is_glow_blur_on(*view)) {
        extract(width, height);
        for (uint32_t iteration = 0; iteration < view->parameters.glow_blur_iterations; ++iteration) {
            blur(target_b_, blur_b_setup, 1, 0, iteration == 0, width, height);
            blur(target_a_, blur_a_setup, 0, 1, false, width, height);
        }
    }
    combine(*view, width, height);

    library::set_renderer_texture(target_a_slot, nullptr);
    library::set_renderer_texture(target_b_slot, nullptr);
    library::invalidate_texture_cache();
    if (render_view_hooks.apply_current_view_matrices != nullptr) {
        render_view_hooks.apply_current_view_matrices();
    }
    view_ = nullptr;
    library::reset_state();
}

void RenderLayerGlow::extract(uint32_t width, uint32_t height) {
    library::ShaderLibraryContext context;
    context.view = view_;
    context.fibre_parameter = -1;
    layer_material_->setup_pass(glow_extract_setup, context);
    if (partial_) {
        gl.glClear(GL_COLOR_BUFFER_BIT);
    }
    const TextureObject* const frame = library::get_renderer_texture(finished_frame_slot);
    const float sw = frame != nullptr ? static_cast<float>(frame->get_width()) : 1.0f;
    const float sh = frame != nullptr ? static_cast<float>(frame->get_height()) : 1.0f;
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    const float right = 1.0f / static_cast<float>(divisor_x_), top = 1.0f / static_cast<float>(divisor_y_);
    gl.glBegin(GL_QUADS);
    gl.glMultiTexCoord2f(GL_TEXTURE0, 0.5f / sw, 0.5f / sh);
    gl.glVertex3f(0, 0, 1);
    gl.glMultiTexCoord2f(GL_TEXTURE0, (w + 0.5f) / sw, 0.5f / sh);
    gl.glVertex3f(right, 0, 1);
    gl.glMultiTexCoord2f(GL_TEXTURE0, (w + 0.5f) / sw, (h + 0.5f) / sh);
    gl.glVertex3f(right, top, 1);
    gl.glMultiTexCoord2f(GL_TEXTURE0, 0.5f / sw, (h + 0.5f) / sh);
    gl.glVertex3f(0, top, 1);
    gl.glEnd();
    copy_into(target_a_, std::max(reduced_width_ + copy_margin, width),
              std::max(reduced_height_ + copy_margin, height));
}

void RenderLayerGlow::blur(TextureObject* destination, uint32_t setup, float dx, float dy, bool first, uint32_t width,
                           uint32_t height) {
    const TextureObject* const source = destination == target_b_ ? target_a_ : target_b_;
    if (partial_ && first) {
        gl.glClear(GL_COLOR_BUFFER_BIT);
    }
    library::ShaderLibraryContext context;
    context.view = view_;
    context.fibre_parameter = -1;
    layer_material_->setup_pass(setup, context);
    const float sw = static_cast<float>(source->get_width()), sh = static_cast<float>(source->get_height());
    const float rw = static_cast<float>(reduced_width_), rh = static_cast<float>(reduced_height_);
    const float right = 1.0f / static_cast<float>(divisor_x_), top = 1.0f / static_cast<float>(divisor_y_);
    const float corners[4][4] = {{0, 0, 0, 0}, {rw, 0, right, 0}, {rw, rh, right, top}, {0, rh, 0, top}};
    gl.glBegin(GL_QUADS);
    for (const auto& corner : corners) {
        for (uint32_t unit = 0; unit < 4; ++unit) {
            const float k = blur_tap_offsets[unit];
            gl.glMultiTexCoord2f(GL_TEXTURE0 + unit, (k * dx + corner[0]) / sw, (k * dy + corner[1]) / sh);
        }
        gl.glVertex3f(corner[2], corner[3], 1);
    }
    gl.glEnd();
    if (first) {
        copy_into(destination, std::max(reduced_width_ + copy_margin, width),
                  std::max(reduced_height_ + copy_margin, height));
    } else {
        copy_into(destination, reduced_width_, reduced_height_);
    }
}

void RenderLayerGlow::combine(const ViewportRender& view, uint32_t width, uint32_t height) {
    library::ShaderLibraryContext context;
    context.view = view_;
    context.fibre_parameter = -1;
    layer_material_->setup_pass(get_glow_combine_setup(view), context);
    const TextureObject* const frame = library::get_renderer_texture(finished_frame_slot);
    const float sw = frame != nullptr ? static_cast<float>(frame->get_width()) : 1.0f;
    const float sh = frame != nullptr ? static_cast<float>(frame->get_height()) : 1.0f;
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    const float u = w / sw, v = h / sh;
    const float ru = static_cast<float>(reduced_width_) / static_cast<float>(target_a_->get_width());
    const float rv = static_cast<float>(reduced_height_) / static_cast<float>(target_a_->get_height());
    gl.glMultiTexCoord2f(GL_TEXTURE2, 0.5f * u, 0.5f * v);
    const float corners[4][6] = {{0, 0, 0, 0, 0, 0}, {1, 0, u, 0, ru, 0}, {1, 1, u, v, ru, rv}, {0, 1, 0, v, 0, rv}};
    gl.glBegin(GL_QUADS);
    for (const auto& corner : corners) {
        gl.glMultiTexCoord2f(GL_TEXTURE0, corner[2], corner[3]);
        gl.glMultiTexCoord2f(GL_TEXTURE1, corner[4], corner[5]);
        gl.glVertex3f(corner[0], corner[1], 1);
    }
    gl.glEnd();
}

}  // namespace zolt::renderer

#include "zolt/renderer/view/view_hooks.h"

#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/view/object_transform.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/viewport/viewport_server.h"

namespace zolt::renderer {

ViewHooks view_hooks;

void apply_current_view_matrices() {
    if (const VisibilityContext* const context = get_current_visibility_context()) {
        shader_library::set_projection_matrix(context->view_projection, context->view);
    } else {
        shader_library::reset_transforms();
    }
}

void install_view_render_hooks() {
    RenderViewHooks& hooks = render_view_hooks;
    hooks.apply_current_view_matrices = &apply_current_view_matrices;
    hooks.set_object_matrix = [](const geometry::Quaternion& rotation, const geometry::Vector3& position,
                                 geometry::Matrix4* changed_matrix) {
        set_object_matrix(rotation, position);
        *changed_matrix = object_transform.object;
        return true;
    };
    hooks.get_eye_position = [](geometry::Vector3* eye) {
        const VisibilityContext* const context = get_current_visibility_context();
        if (context != nullptr) {
            *eye = context->eye;
        }
        return context != nullptr;
    };
    hooks.get_far_distance = [] {
        const VisibilityContext* const context = get_current_visibility_context();
        return context != nullptr ? context->far : 0.0f;
    };
    hooks.get_layer_parameter = [](uint32_t id) {
        const ViewportRender* const record = viewport_server.get_current_render();
        return record != nullptr ? record->get_layer_parameter(id) : 0.0f;
    };
    hooks.get_current_view = [] { return static_cast<const ViewportRender*>(viewport_server.get_current_render()); };
}

void remove_view_render_hooks() {
    // The mesh draw belongs to the mesh server, which may outlive the views.
    const RenderViewHooks kept = render_view_hooks;
    render_view_hooks = RenderViewHooks{};
    render_view_hooks.mesh_uses_setup_pair = kept.mesh_uses_setup_pair;
    render_view_hooks.draw_mesh_part = kept.draw_mesh_part;
}

}  // namespace zolt::renderer

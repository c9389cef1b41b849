#pragma once
// What the batcher and the render layers need of the view being drawn and
// of the drawables' own code, reached through hooks that the view, mesh and
// debug-draw code install when they start: the current view's matrices,
// eye, far distance and layer parameters, the object transform, the mesh
// draw with its bone batches, and the debug primitives. A hook not
// installed answers as when there is no view (identity transform, no
// parameters) and draws nothing. Rendering thread only.
#include <cstdint>

#include "libs/geometry/matrix.h"
#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"

namespace zolt::renderer {

class Mesh;
struct RenderRequest;
struct ViewportRender;

struct RenderViewHooks {
    // The current view's view-projection and view matrices into the shader
    // library.
    void (*apply_current_view_matrices)() = nullptr;
    // The object transform for the next draw; true, with the new object
    // matrix, when it changed since the last call.
    bool (*set_object_matrix)(const geometry::Quaternion& rotation, const geometry::Vector3& position,
                              geometry::Matrix4* changed_matrix) = nullptr;
    bool (*get_eye_position)(geometry::Vector3* eye) = nullptr;
    float (*get_far_distance)() = nullptr;
    // Viewport layer parameter id of the current view; 0 without one.
    float (*get_layer_parameter)(uint32_t id) = nullptr;
    const ViewportRender* (*get_current_view)() = nullptr;

    // Whether the request's mesh part asks for the odd setup of setup pairs.
    bool (*mesh_uses_setup_pair)(const RenderRequest& request) = nullptr;
    // Draws the request's mesh part batch by batch with its bone palette,
    // after its shader pass is set up.
    void (*draw_mesh_part)(const RenderRequest& request) = nullptr;

    // The debug draw server's primitives of the view.
    void (*render_debug_draw)() = nullptr;
};

extern RenderViewHooks render_view_hooks;

// Depth rendering of the lighting and occlusion passes: the view's far
// distance and its layer parameters 273 to 277.
void set_view_depth_rendering_parameters();

}  // namespace zolt::renderer

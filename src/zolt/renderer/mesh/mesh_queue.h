#pragma once
// Turning a mesh into render requests for one view: part by part, culled by
// the parts' spheres against the hidden mask and an optional clip volume,
// then sub-part by sub-part into the active render layers. The template's
// visibility context must hold the object transform already. Main
// (rendering) thread only.
#include <cstdint>

#include "libs/geometry/frustum.h"
#include "zolt/renderer/batcher/render_request.h"

namespace zolt::renderer {

struct MeshRender;

// Parts from this index on cannot be hidden.
constexpr uint32_t hideable_part_count = 32;

struct MeshRequestTemplate {
    // Clip rectangle, transform, context, light list and skipped layers as
    // every request of the mesh takes them.
    RenderInfo info;
    // World space; null when the whole object is inside.
    const geometry::Frustum* clip_volume = nullptr;
    float object_scale = 1.0f;
    uint32_t hidden_parts = 0;
    // The request's order word is key_prefix << 12 | sub-part index.
    uint32_t key_prefix = 0;
};

void queue_mesh_render_requests(const MeshRequestTemplate& request, const MeshRender& mesh, float distance_bias);

}  // namespace zolt::renderer

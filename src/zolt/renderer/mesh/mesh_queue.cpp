#include "zolt/renderer/mesh/mesh_queue.h"

#include "libs/geometry/culling.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/mesh/mesh.h"
#include "zolt/renderer/mesh/mesh_server.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {

namespace {

geometry::Vector3 scaled_centre(const MeshSphere& sphere, float scale) {
    return {sphere.x * scale, sphere.y * scale, sphere.z * scale};
}

// The sphere in world space, the radius in the w lane.
geometry::Vector3 to_world(const VisibilityContext& context, const MeshSphere& sphere, float scale) {
    geometry::Vector3 centre = context.transform_object_point(scaled_centre(sphere, scale));
    centre.w = sphere.radius * scale;
    return centre;
}

}  // namespace

void queue_mesh_render_requests(const MeshRequestTemplate& request, const MeshRender& mesh, float distance_bias) {
    const VisibilityContext* const context = request.info.visibility_context;
    if (context == nullptr || mesh.resource_data == nullptr) {
        return;
    }
    const uint32_t active_slots = get_layer_activity().active_slots;
    const MeshHeader& header = mesh.header;
    for (uint32_t part_index = 0; part_index < header.part_count; ++part_index) {
        if (part_index < hideable_part_count && (request.hidden_parts >> part_index & 1) != 0) {
            continue;
        }
        const MeshPart part = read_mesh_part(mesh.resource_data, header, part_index);
        const geometry::Frustum* clip_volume = request.clip_volume;
        if (clip_volume != nullptr) {
            const geometry::SphereClass side =
                geometry::classify_sphere(to_world(*context, part.sphere, request.object_scale), clip_volume->planes);
            if (side == geometry::SphereClass::outside) {
                continue;
            }
            if (side == geometry::SphereClass::inside) {
                clip_volume = nullptr;
            }
        }
        for (uint32_t sub_index = part.first_sub_part; sub_index < part.first_sub_part + part.sub_part_count;
             ++sub_index) {
            const MeshSubPart sub_part = read_mesh_sub_part(mesh.resource_data, header, sub_index);
            Material* const material = mesh.materials[sub_part.material_index];
            if (material == nullptr || (material->pass_mask & active_slots) == 0) {
                continue;
            }
            if (clip_volume != nullptr &&
                !geometry::sphere_in_frustum(to_world(*context, sub_part.sphere, request.object_scale),
                                             clip_volume->planes)) {
                continue;
            }
            RenderInfo info = request.info;
            info.mesh = mesh_server.find_mesh_of_render(mesh);
            info.part_index = sub_index;
            info.order_word = request.key_prefix << 12 | (sub_index & 0xFFF);
            const geometry::Vector3 centre = scaled_centre(sub_part.sphere, request.object_scale);
            info.eye_distance = geometry::length(centre - context->object_eye) + distance_bias;
            info.view_depth = geometry::get_plane_distance(context->object_depth_plane, centre) + distance_bias;
            queue_render_request(info, mesh.streams + sub_part.first_stream,
                                 static_cast<uint16_t>(sub_part.stream_count), material, 0, 0);
        }
    }
}

}  // namespace zolt::renderer

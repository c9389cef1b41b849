#pragma once
// The render record of a visual: what the views read while drawing a frame.
// It outlives a destroyed visual until the renderer has completed the frame,
// and keeps its own use of the mesh for that long.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/object_handle.h"

namespace zolt::servers {
struct SectorRender;
}

namespace zolt::renderer {

struct MeshRender;

struct VisualRender {
    geometry::Vector3 position;
    geometry::Quaternion rotation;
    float uniform_scale = 1;
    uint8_t visible = 0;
    uint8_t never_culled = 0;
    uint32_t view_mask = 0;
    float distance_bias = 0;
    uint32_t global = 0;
    uint32_t light_mask = 0;
    uint32_t light_view_layer_mask = 0;
    // World space, radius in w.
    geometry::Vector3 world_sphere;
    // Object space, scaled.
    geometry::Vector3 box_minimum;
    geometry::Vector3 box_maximum;
    const MeshRender* mesh = nullptr;
    // The counted use of the mesh this record holds; 0 for none.
    core::ObjectHandle mesh_object = 0;
    bool private_mesh = false;
    const servers::SectorRender* home_sector = nullptr;
    const servers::SectorRender* overlap_sector = nullptr;
    // Cleared when the transform changes.
    uint64_t light_selection_cache = 0;
    // The light server's fake-shadow record, -1 for none.
    int32_t fake_shadow = -1;
    // The visual itself while decal sets lie on it, else 0.
    core::ObjectHandle decals = 0;
    const VisualRender* self = nullptr;
    const VisualRender* next_in_ring[2] = {};
    const VisualRender* next_global = nullptr;
};

}  // namespace zolt::renderer

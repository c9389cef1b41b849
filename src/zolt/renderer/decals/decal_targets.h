#pragma once
// What decal sets ask of their targets, visuals and sectors: the frame a
// decal is placed in, the geometry resource projected decals are laid on,
// whether a target carries sets (so that it draws them with its own
// geometry) and the destruction of its sets when that geometry goes.
// Main thread only.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/object_handle.h"

namespace zolt::renderer {

class Decal;
struct RenderInfo;

// The target's frame in the world, as it is drawn: a visual's render
// record, a sector's placement; the world's own for anything else.
void get_decal_target_frame(core::ObjectHandle target, geometry::Vector3& position, geometry::Quaternion& rotation,
                            float& scale);

// The geometry resource of the target's mesh (0x5F0B0000 + the mesh
// number), opened for the caller; 0 when the mesh has none.
core::ObjectHandle open_decal_target_geometry(core::ObjectHandle target);
void release_decal_target_geometry(core::ObjectHandle geometry_resource);

// Tells the target whether sets lie on it; leaving is a set on its way out.
void note_target_decals(core::ObjectHandle target, const Decal* leaving);
// Every set on the target destroyed: its geometry changed or it is gone.
void destroy_target_decals(core::ObjectHandle target);
// The target's sets, drawn with the target's transform, clipping and lights.
void queue_target_decals(core::ObjectHandle target, const RenderInfo& info);

// The sector side of the above, installed while the decal server runs.
void install_decal_target_hooks();
void remove_decal_target_hooks();

}  // namespace zolt::renderer

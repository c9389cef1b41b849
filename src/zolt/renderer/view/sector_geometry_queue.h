#pragma once
// Queueing what a visible sector holds for one view: the sector's own mesh
// and the decals on it, drawn with the transform of the sector's placement. Installed by the mesh
// server while it is registered. Main (rendering) thread only.
namespace zolt::renderer {

struct SectorView;
struct VisibilityContext;

// Nothing for a sector without a mesh or without a placement.
void queue_sector_geometry(VisibilityContext& context, SectorView& view);

}  // namespace zolt::renderer

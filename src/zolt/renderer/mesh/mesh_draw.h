#pragma once
// How the batcher draws a mesh part: a skinned sub-part batch by batch with
// its stretch of the mesh's palette posed by the bound skeleton, a rigid one
// with its whole index stream; and the setup-pair choice that gives a
// skinned sub-part its skinning variant. The mesh server installs both in
// the batcher's hooks while it is registered. Rendering thread only.
namespace zolt::renderer {

struct RenderRequest;

// True when the vertex-layout entry of the request's sub-part has a non-zero
// third word.
bool mesh_part_uses_setup_pair(const RenderRequest& request);
// After the shader pass is set up.
void draw_mesh_part(const RenderRequest& request);

void install_mesh_draw_hooks();
void remove_mesh_draw_hooks();

}  // namespace zolt::renderer

#pragma once
// Meshes from glTF 2.0 for the content builder. Every node of the default
// scene that carries a mesh becomes a part, each of its triangle primitives
// a sub-part with a vertex and an index stream of its own; node transforms
// are baked into the vertices, in the file's own axes. Missing normals and
// tangents are generated (tangents by the MikkTSpace rules for ordinary
// meshes: per-corner texture-space directions, accumulated per vertex,
// orthogonalised against the normal, the sign giving the handedness). Sparse
// accessors, Draco compression and morph targets are refused.
#include <cstdint>
#include <string>

#include "content_manifest.h"
#include "gltf_document.h"
#include "zolt/renderer/mesh/mesh_resource_format.h"

namespace zolt::tools {

// One vertex: position, normal, tangent (xyz, handedness w), texture
// coordinates, then the colour as four bytes (R, G, B, A).
constexpr uint32_t gltf_vertex_stride = 52;
namespace gltf_vertex_offset {
constexpr uint32_t position = 0, normal = 12, tangent = 24, texture_coordinates = 40, colour = 48;
}
// The fibre tags of an imported material: 0 the index stream, 1 position,
// 2 texture coordinates, 3 colour, 4 normal, 5 tangent.
constexpr uint32_t gltf_fibre_tag_count = 6;
// A skinned mesh's vertex adds the weights of up to four joints (4 floats)
// and their entries in the palette stretch of the vertex's bone batch
// (4 floats), fibre tags 6 and 7.
constexpr uint32_t gltf_skinned_vertex_stride = 84;
namespace gltf_vertex_offset {
constexpr uint32_t weights = 52, palette_entries = 68;
}
constexpr uint32_t gltf_skinned_fibre_tag_count = 8;
constexpr uint32_t gltf_vertex_influence_limit = 4;

// A node with a skin makes a skinned mesh: its vertices stay in the skin's
// bind space, each keeps its four heaviest joints (JOINTS_0 and JOINTS_1)
// renormalised, and each primitive is one bone batch whose palette stretch
// holds the joints its vertices name, palette entries being the skin's joint
// indices (the bones of its skeleton). A mesh is skinned throughout, to one
// skin, or rigid throughout.
// False, with a message naming the file and what it refuses (a glTF
// material the entry does not list is named), when the asset cannot become
// a mesh.
bool import_gltf_mesh(const GltfDocument& document, const MeshEntry& entry, renderer::MeshBuild* build,
                      std::string* error);
// Loads the entry's file, imports and lays it out.
bool build_gltf_mesh(const MeshEntry& entry, renderer::MeshResources* resources, std::string* error);

}  // namespace zolt::tools

// A glTF text as the content builder imports it: its meshes become a mesh,
// its first skin a skeleton and each of its animations an animation on that
// skin. What the importer accepts, the engine's own resource checks must
// accept too.
#include <cstdint>
#include <string>

#include "support/fuzz_entry.h"
#include "zcontent/lib/gltf_animation_import.h"
#include "zcontent/lib/gltf_document.h"
#include "zcontent/lib/gltf_mesh_import.h"
#include "zcontent/lib/gltf_skin_import.h"
#include "zolt/renderer/animation/animation_format.h"
#include "zolt/renderer/animation/skeleton_format.h"

namespace {

namespace fuzz = zolt::fuzz;
namespace animation = zolt::animation;
using namespace zolt::tools;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 65536) {
        return 0;
    }
    GltfDocument document;
    std::string error;
    // Buffers may only be data URIs: the base folder holds nothing.
    if (!load_gltf_text(std::string(reinterpret_cast<const char*>(data), size), "/nonexistent", "fuzz.gltf", &document,
                        &error)) {
        fuzz::expect(error.find("fuzz.gltf: ") == 0, "a refused asset is not named");
        return 0;
    }
    // Its meshes, every material listed: what imports must lay out into
    // resources the engine's checks accept.
    MeshEntry mesh_entry;
    mesh_entry.name = "mesh 0x0001";
    mesh_entry.number = 1;
    for (const tinygltf::Material& material : document.model.materials) {
        mesh_entry.materials[material.name] = {13, 0};
    }
    zolt::renderer::MeshBuild mesh;
    if (import_gltf_mesh(document, mesh_entry, &mesh, &error)) {
        zolt::renderer::MeshResources resources;
        fuzz::expect(zolt::renderer::build_mesh_resources(mesh, &resources, &error),
                     "an imported mesh fails the engine's checks");
    } else {
        fuzz::expect(error.find("fuzz.gltf") != std::string::npos, "a refused mesh is not named");
    }
    ImportedSkeleton skeleton;
    if (!import_gltf_skin(document, "", &skeleton, &error)) {
        fuzz::expect(error.find("fuzz.gltf: ") == 0, "a refused skin is not named");
        return 0;
    }
    std::vector<uint8_t> bytes;
    if (animation::build_skeleton_resource(skeleton.bones, {}, skeleton.bind_matrices, &bytes, &error)) {
        fuzz::expect(animation::check_skeleton_resource(1, bytes.data(), static_cast<uint32_t>(bytes.size()), &error),
                     "a built skeleton fails the engine's check");
    }
    for (const tinygltf::Animation& source : document.model.animations) {
        animation::AnimationDescription description;
        AnimationImportOptions options;
        options.frames_per_second = 10;
        if (!import_gltf_animation(document, skeleton, source.name, options, &description, &error)) {
            continue;
        }
        if (animation::build_animation_resource(description, &bytes, &error)) {
            fuzz::expect(
                animation::check_animation_resource(2, bytes.data(), static_cast<uint32_t>(bytes.size()), &error),
                "a built animation fails the engine's check");
        }
    }
    return 0;
}

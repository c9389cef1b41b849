#include "content_pack.h"

#include <cstdio>
#include <filesystem>

#include "animation_description.h"
#include "gltf_mesh_import.h"
#include "area_description.h"
#include "image_atlas_builder.h"
#include "libs/io/pack_format.h"
#include "shader_library_compiler.h"
#include "sound_description.h"
#include "texture_builder.h"
#include "zolt/renderer/shaders/shader_library_format.h"

namespace zolt::tools {
namespace {

// Texture and shader library records are read as 32-bit words.
constexpr uint32_t texture_alignment_exponent = 2;

}  // namespace

void add_texture_resources(uint32_t id, const TextureResources& resources, PackDescription* description) {
    const uint32_t ordinary = io::make_resource_flags(texture_alignment_exponent, 0, false);
    description->resources.push_back({renderer::get_texture_header_id(id), ordinary, resources.header, true});
    description->resources.push_back({renderer::get_resident_levels_id(id), ordinary, resources.resident, true});
    if (!resources.streamed.empty()) {
        const uint32_t deferred = io::make_resource_flags(texture_alignment_exponent, io::pool_type_deferred, false);
        description->resources.push_back({renderer::get_streamed_levels_id(id), deferred, resources.streamed, false});
    }
}

bool build_content_pack(const ContentManifest& manifest, PackDescription* description, std::string* error) {
    *description = {};
    description->key = manifest.pack_key;
    for (const TextureEntry& texture : manifest.textures) {
        TextureResources resources;
        if (!build_texture(manifest, texture, &resources, error)) {
            return false;
        }
        add_texture_resources(texture.id, resources, description);
    }
    if (!manifest.shader_library_path.empty()) {
        std::vector<uint8_t> library;
        if (!compile_shader_library_file(manifest.shader_library_path, &library, error)) {
            return false;
        }
        // Its records are read as 32-bit words, in place.
        description->resources.push_back({renderer::shader_library::shader_library_resource_id,
                                          io::make_resource_flags(texture_alignment_exponent, 0, false), library,
                                          true});
    }
    if (!manifest.sound_description_path.empty()) {
        std::vector<SoundResource> banks;
        if (!compile_sound_description_file(manifest.sound_description_path, &banks, error)) {
            return false;
        }
        // Bank records are read field by field: no alignment is needed.
        for (SoundResource& bank : banks) {
            description->resources.push_back(
                {bank.id, io::make_resource_flags(0, 0, false), std::move(bank.data), true});
        }
    }
    if (!manifest.animation_description_path.empty()) {
        std::vector<AnimationResource> resources;
        if (!compile_animation_description_file(manifest.animation_description_path, &resources, error)) {
            return false;
        }
        // Read field by field; their tables start on 16-byte boundaries
        // within the resource, so the resource starts on one too.
        constexpr uint32_t animation_alignment_exponent = 4;
        for (AnimationResource& resource : resources) {
            description->resources.push_back({resource.id,
                                              io::make_resource_flags(animation_alignment_exponent, 0, false),
                                              std::move(resource.data), true});
        }
    }
    if (!manifest.image_atlas_path.empty()) {
        std::vector<AtlasResources> atlases;
        if (!build_image_atlases_file(manifest.image_atlas_path, &atlases, error)) {
            return false;
        }
        for (AtlasResources& atlas : atlases) {
            add_texture_resources(atlas.texture_id, atlas.page, description);
            // Its records are read field by field.
            description->resources.push_back(
                {atlas.atlas_id, io::make_resource_flags(0, 0, false), std::move(atlas.atlas), true});
        }
    }
    for (const MeshEntry& mesh : manifest.meshes) {
        renderer::MeshResources resources;
        if (!build_gltf_mesh(mesh, &resources, error)) {
            return false;
        }
        // Material tables are read as words in place; the tables start on
        // 16-byte boundaries within the resource.
        constexpr uint32_t mesh_alignment_exponent = 4;
        const uint32_t flags = io::make_resource_flags(mesh_alignment_exponent, 0, false);
        description->resources.push_back(
            {renderer::mesh_resource_base + mesh.number, flags, std::move(resources.mesh), true});
        description->resources.push_back(
            {renderer::stream_layout_resource_base + mesh.number, flags, std::move(resources.stream_layout), true});
        description->resources.push_back(
            {renderer::vertex_data_resource_base + mesh.number, flags, std::move(resources.vertex_data), true});
    }
    if (!manifest.area_description_path.empty()) {
        std::vector<AreaResource> areas;
        if (!compile_area_description_file(manifest.area_description_path, &areas, error)) {
            return false;
        }
        // Read field by field, in place.
        for (AreaResource& area : areas) {
            description->resources.push_back(
                {area.id, io::make_resource_flags(texture_alignment_exponent, 0, false), std::move(area.data), true});
        }
    }
    return true;
}

bool write_content_pack(const PackDescription& description, const std::string& path, std::string* error) {
    std::vector<uint8_t> pack;
    if (!build_pack(description, &pack, error)) {
        *error = path + ": " + *error;
        return false;
    }
    const io::PackCheckResult check = io::verify_pack(pack.data(), pack.size());
    if (check.check != io::PackCheck::intact) {
        char message[512];
        io::describe_pack_check(check, path.c_str(), 0, message, sizeof message);
        *error = message;
        return false;
    }
    const std::string temporary = path + ".partial";
    if (!write_file(temporary, pack.data(), pack.size(), error)) {
        std::remove(temporary.c_str());
        *error = "unable to write " + path + ": " + *error;
        return false;
    }
    std::error_code failure;
    std::filesystem::rename(temporary, path, failure);
    if (failure) {
        std::remove(temporary.c_str());
        *error = "unable to write " + path + ": " + failure.message();
        return false;
    }
    return true;
}

}  // namespace zolt::tools

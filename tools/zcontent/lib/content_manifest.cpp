#include "content_manifest.h"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <nlohmann/json.hpp>

#include "json_document.h"
#include "zpack/lib/pack_writer.h"

namespace zolt::tools {
namespace {

using Json = nlohmann::json;
using renderer::TexelFormat;
using renderer::TextureFilter;
using renderer::TextureTarget;

struct NamedTexelFormat {
    const char* name;
    TexelFormat format;
};

constexpr NamedTexelFormat texel_format_names[] = {
    {"rgba8", TexelFormat::rgba8},
    {"rgb8", TexelFormat::rgb8},
    {"rgba16", TexelFormat::rgba16},
    {"rgb16", TexelFormat::rgb16},
    {"la16", TexelFormat::luminance16_alpha16},
    {"la8", TexelFormat::luminance8_alpha8},
    {"l16", TexelFormat::luminance16},
    {"l8", TexelFormat::luminance8},
    {"rgba16f", TexelFormat::rgba16f},
    {"dxt1", TexelFormat::dxt1},
    {"dxt3", TexelFormat::dxt3},
    {"dxt5", TexelFormat::dxt5},
};

struct NamedFilter {
    const char* name;
    TextureFilter filter;
};

constexpr NamedFilter filter_names[] = {
    {"nearest", TextureFilter::nearest},
    {"bilinear", TextureFilter::bilinear},
    {"trilinear", TextureFilter::trilinear},
    {"anisotropic", TextureFilter::anisotropic},
};

constexpr uint32_t cube_face_count = 6;

// Builds the document as nlohmann's own parser would, but reports a syntax
// error as a message instead of throwing, and refuses a key given twice in
// one object, which the plain parser would let overwrite the first.
class ManifestDocumentBuilder {
public:
    explicit ManifestDocumentBuilder(Json* root) : root_(root) {}

    bool null() { return put(Json(nullptr)); }
    bool boolean(bool value) { return put(Json(value)); }
    bool number_integer(Json::number_integer_t value) { return put(Json(value)); }
    bool number_unsigned(Json::number_unsigned_t value) { return put(Json(value)); }
    bool number_float(Json::number_float_t value, const Json::string_t&) { return put(Json(value)); }
    bool string(Json::string_t& value) { return put(Json(value)); }
    bool binary(Json::binary_t&) {
        problem_ = "binary values are not JSON";
        return false;
    }
    bool start_object(std::size_t) { return open(Json::object()); }
    bool key(Json::string_t& name) {
        Json& object = *stack_.back();
        if (object.contains(name)) {
            problem_ = "the key \"" + name + "\" appears twice in one object";
            return false;
        }
        pending_ = &object[name];
        return true;
    }
    bool end_object() { return close(); }
    bool start_array(std::size_t) { return open(Json::array()); }
    bool end_array() { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& fault) {
        // Drop the library's "[json.exception.parse_error.101] " tag.
        const std::string text = fault.what();
        const size_t tag_end = text.find("] ");
        problem_ = tag_end == std::string::npos ? text : text.substr(tag_end + 2);
        return false;
    }

    const std::string& get_problem() const { return problem_; }

private:
    Json* place(Json&& value) {
        if (stack_.empty()) {
            *root_ = std::move(value);
            return root_;
        }
        Json& container = *stack_.back();
        if (container.is_array()) {
            container.push_back(std::move(value));
            return &container.back();
        }
        *pending_ = std::move(value);
        return pending_;
    }
    bool put(Json&& value) {
        place(std::move(value));
        return true;
    }
    bool open(Json&& container) {
        stack_.push_back(place(std::move(container)));
        return true;
    }
    bool close() {
        stack_.pop_back();
        return true;
    }

    Json* root_;
    std::vector<Json*> stack_;
    Json* pending_ = nullptr;
    std::string problem_;
};

// Builds the messages of one object of the manifest: the manifest, the
// resource, the key.
class Where {
public:
    Where(const std::string& path, const std::string& what) : prefix_(path + ": " + what) {}

    bool fail(const std::string& key, const std::string& problem, std::string* error) const {
        *error = prefix_ + ": \"" + key + "\": " + problem;
        return false;
    }
    bool fail(const std::string& problem, std::string* error) const {
        *error = prefix_ + ": " + problem;
        return false;
    }
    void rename(const std::string& path, const std::string& what) { prefix_ = path + ": " + what; }

private:
    std::string prefix_;
};

bool check_keys(const Json& object, std::initializer_list<const char*> known, const Where& where, std::string* error) {
    for (const auto& item : object.items()) {
        bool is_known = false;
        for (const char* name : known) {
            is_known = is_known || item.key() == name;
        }
        if (!is_known) {
            return where.fail(item.key(), "unknown key", error);
        }
    }
    return true;
}

bool read_bool(const Json& object, const char* key, bool* value, const Where& where, std::string* error) {
    if (!object.contains(key)) {
        return true;
    }
    const Json& item = object[key];
    if (!item.is_boolean()) {
        return where.fail(key, "expected true or false, not " + quote_json_value(item), error);
    }
    *value = item.get<bool>();
    return true;
}

bool read_name(const Json& object, const char* key, const Where& where, std::string* name, std::string* error) {
    const Json& item = object[key];
    if (!item.is_string()) {
        return where.fail(key, "expected a name, not " + quote_json_value(item), error);
    }
    *name = item.get<std::string>();
    return true;
}

std::string list_names(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

bool read_pack(const Json& pack, const Where& where, ContentManifest* manifest, std::string* error) {
    if (!pack.is_object()) {
        return where.fail("pack", "expected an object with \"file\" and \"key\"", error);
    }
    const Where in_pack(manifest->path, "pack");
    if (!check_keys(pack, {"file", "key"}, in_pack, error)) {
        return false;
    }
    if (!pack.contains("file")) {
        return in_pack.fail("file", "missing", error);
    }
    const Json& file = pack["file"];
    if (!file.is_string() || file.get_ref<const std::string&>().empty()) {
        return in_pack.fail("file", "expected a file name, not " + quote_json_value(file), error);
    }
    manifest->pack_file = file.get<std::string>();
    if (pack.contains("key")) {
        uint64_t key = 0;
        if (!read_json_number(pack["key"], UINT32_MAX, &key)) {
            return in_pack.fail("key", "expected a number from 0 to 0xFFFFFFFF, not " + quote_json_value(pack["key"]),
                                error);
        }
        manifest->pack_key = static_cast<uint32_t>(key);
    }
    return true;
}

bool read_sources(const Json& item, const std::filesystem::path& folder, const Where& where, TextureEntry* texture,
                  std::string* error) {
    const uint32_t count = texture->target == TextureTarget::cube_map ? cube_face_count : 1;
    std::vector<const Json*> names;
    if (item.is_string()) {
        names.push_back(&item);
    } else if (item.is_array()) {
        for (const Json& name : item) {
            names.push_back(&name);
        }
    }
    if (names.size() != count) {
        return where.fail(
            "source",
            count == 1 ? "expected one PNG file name, not " + quote_json_value(item)
                       : "a cube map takes six PNG file names (+X, -X, +Y, -Y, +Z, -Z), not " + quote_json_value(item),
            error);
    }
    for (const Json* name : names) {
        if (!name->is_string() || name->get_ref<const std::string&>().empty()) {
            return where.fail("source", "expected a PNG file name, not " + quote_json_value(*name), error);
        }
        texture->source_paths.push_back((folder / name->get<std::string>()).lexically_normal().string());
    }
    return true;
}

bool read_texture(const Json& item, uint32_t index, const std::filesystem::path& folder,
                  const std::string& manifest_path, TextureEntry* texture, std::string* error) {
    Where where(manifest_path, "textures[" + std::to_string(index) + "]");
    if (!item.is_object()) {
        return where.fail("expected an object", error);
    }
    // The id names the texture in every later message.
    if (!item.contains("id")) {
        return where.fail("id", "missing", error);
    }
    uint64_t id = 0;
    if (!read_json_number(item["id"], UINT32_MAX, &id) ||
        !renderer::is_resource_texture_id(static_cast<uint32_t>(id)) || (id & 3) != 0) {
        return where.fail("id",
                          "expected a texture id from 0x20000000 to 0x2FFFFFFC with the low two bits 0, not " +
                              quote_json_value(item["id"]),
                          error);
    }
    texture->id = static_cast<uint32_t>(id);
    char name[32];
    std::snprintf(name, sizeof name, "texture 0x%08" PRIX32, texture->id);
    texture->name = name;
    where.rename(manifest_path, texture->name);
    if (!check_keys(item,
                    {"id", "source", "format", "target", "filter", "wrap", "flip_second_axis", "lightmap", "mipmaps",
                     "streamed", "colour"},
                    where, error)) {
        return false;
    }

    std::string text;
    if (item.contains("target")) {
        if (!read_name(item, "target", where, &text, error)) {
            return false;
        }
        if (text == "2d") {
            texture->target = TextureTarget::texture_2d;
        } else if (text == "cube") {
            texture->target = TextureTarget::cube_map;
        } else {
            return where.fail("target", "expected 2d or cube, not \"" + text + "\"", error);
        }
    }
    if (!item.contains("source")) {
        return where.fail("source", "missing", error);
    }
    if (!read_sources(item["source"], folder, where, texture, error)) {
        return false;
    }
    if (!item.contains("format")) {
        return where.fail("format", "missing", error);
    }
    if (!read_name(item, "format", where, &text, error)) {
        return false;
    }
    const NamedTexelFormat* format = nullptr;
    std::vector<std::string> names;
    for (const NamedTexelFormat& named : texel_format_names) {
        format = text == named.name ? &named : format;
        names.push_back(named.name);
    }
    if (format == nullptr) {
        return where.fail("format", "unknown texel format \"" + text + "\" (one of " + list_names(names) + ")", error);
    }
    texture->texel_format = format->format;
    if (item.contains("filter")) {
        if (!read_name(item, "filter", where, &text, error)) {
            return false;
        }
        const NamedFilter* filter = nullptr;
        for (const NamedFilter& named : filter_names) {
            filter = text == named.name ? &named : filter;
        }
        if (filter == nullptr) {
            return where.fail("filter", "expected nearest, bilinear, trilinear or anisotropic, not \"" + text + "\"",
                              error);
        }
        texture->filter = filter->filter;
    }
    if (item.contains("wrap")) {
        if (!read_name(item, "wrap", where, &text, error)) {
            return false;
        }
        if (text != "repeat" && text != "clamp") {
            return where.fail("wrap", "expected repeat or clamp, not \"" + text + "\"", error);
        }
        texture->is_wrap_repeat = text == "repeat";
    }
    if (!read_bool(item, "flip_second_axis", &texture->is_second_axis_flipped, where, error) ||
        !read_bool(item, "lightmap", &texture->is_lightmap, where, error) ||
        !read_bool(item, "colour", &texture->is_colour, where, error)) {
        return false;
    }
    if (item.contains("mipmaps")) {
        const Json& mipmaps = item["mipmaps"];
        uint64_t count = 0;
        if (mipmaps.is_string() && mipmaps.get_ref<const std::string&>() == "full") {
            count = 0;
        } else if (!mipmaps.is_number_unsigned() || (count = mipmaps.get<uint64_t>()) < 1 ||
                   count > renderer::max_texture_level_count) {
            return where.fail("mipmaps",
                              "expected \"full\" or a level count from 1 to " +
                                  std::to_string(renderer::max_texture_level_count) + ", not " +
                                  quote_json_value(mipmaps),
                              error);
        }
        texture->level_count = static_cast<uint32_t>(count);
    }
    if (item.contains("streamed")) {
        const Json& streamed = item["streamed"];
        if (!streamed.is_number_unsigned() || streamed.get<uint64_t>() > renderer::max_streamed_segment_count) {
            return where.fail("streamed", "expected 0, 1 or 2 streamed segments, not " + quote_json_value(streamed),
                              error);
        }
        texture->streamed_segment_count = static_cast<uint32_t>(streamed.get<uint64_t>());
        // At least one level must stay resident.
        if (texture->level_count != 0 && texture->streamed_segment_count >= texture->level_count) {
            return where.fail("streamed",
                              std::to_string(texture->streamed_segment_count) +
                                  " streamed segments leave none of the " + std::to_string(texture->level_count) +
                                  " mipmap levels resident",
                              error);
        }
    }
    return true;
}

}  // namespace

std::string find_json_key_problem(const Json& object, std::initializer_list<const char*> known) {
    if (!object.is_object()) {
        return "expected an object";
    }
    for (const auto& item : object.items()) {
        bool is_known = false;
        for (const char* name : known) {
            is_known = is_known || item.key() == name;
        }
        if (!is_known) {
            return "\"" + item.key() + "\": unknown key";
        }
    }
    return {};
}

bool read_json_number(const Json& value, uint64_t maximum, uint64_t* number) {
    if (value.is_number_unsigned()) {
        *number = value.get<uint64_t>();
        return *number <= maximum;
    }
    if (!value.is_string()) {
        return false;
    }
    const std::string& text = value.get_ref<const std::string&>();
    if (text.size() < 3 || text.size() > 18 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
        return false;
    }
    uint64_t parsed = 0;
    for (size_t index = 2; index < text.size(); ++index) {
        const char digit = text[index];
        uint64_t nibble = 0;
        if (digit >= '0' && digit <= '9') {
            nibble = static_cast<uint64_t>(digit - '0');
        } else if (digit >= 'a' && digit <= 'f') {
            nibble = static_cast<uint64_t>(digit - 'a' + 10);
        } else if (digit >= 'A' && digit <= 'F') {
            nibble = static_cast<uint64_t>(digit - 'A' + 10);
        } else {
            return false;
        }
        if (parsed > (UINT64_MAX >> 4)) {
            return false;
        }
        parsed = parsed << 4 | nibble;
    }
    *number = parsed;
    return parsed <= maximum;
}

std::string quote_json_value(const Json& value) {
    if (value.is_array()) {
        return "an array";
    }
    if (value.is_object()) {
        return "an object";
    }
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool parse_json_document(const std::string& text, Json* document, std::string* problem) {
    ManifestDocumentBuilder builder(document);
    if (!Json::sax_parse(text, &builder, Json::input_format_t::json, true, false)) {
        *problem = builder.get_problem();
        return false;
    }
    return true;
}

const char* get_texel_format_name(TexelFormat format) {
    for (const NamedTexelFormat& named : texel_format_names) {
        if (named.format == format) {
            return named.name;
        }
    }
    return nullptr;
}

namespace {

bool read_mesh(const Json& item, uint32_t index, const std::filesystem::path& folder, const std::string& manifest_path,
               MeshEntry* mesh, std::string* error) {
    Where where(manifest_path, "meshes[" + std::to_string(index) + "]");
    if (!item.is_object()) {
        return where.fail("expected an object", error);
    }
    uint64_t number = 0;
    if (!item.contains("id") || !read_json_number(item["id"], 0xFFFF, &number) || number == 0) {
        return where.fail("id", "expected a mesh number from 0x0001 to 0xFFFF", error);
    }
    mesh->number = static_cast<uint32_t>(number);
    char name[32];
    std::snprintf(name, sizeof name, "mesh 0x%04" PRIX32, mesh->number);
    mesh->name = name;
    where.rename(manifest_path, mesh->name);
    if (!check_keys(item, {"id", "source", "materials"}, where, error)) {
        return false;
    }
    if (!item.contains("source") || !item["source"].is_string() ||
        item["source"].get_ref<const std::string&>().empty()) {
        return where.fail("source", "expected a glTF file name", error);
    }
    mesh->source_path = (folder / item["source"].get<std::string>()).lexically_normal().string();
    if (!item.contains("materials") || !item["materials"].is_object()) {
        return where.fail("materials", "expected an object of glTF material names", error);
    }
    for (const auto& material : item["materials"].items()) {
        const Where in_material(manifest_path, mesh->name + ": material \"" + material.key() + "\"");
        const Json& value = material.value();
        if (!value.is_object()) {
            return in_material.fail("expected an object with \"shader\"", error);
        }
        if (!check_keys(value, {"shader", "texture", "normal_map"}, in_material, error)) {
            return false;
        }
        MeshMaterialBinding binding;
        uint64_t shader = 0;
        if (!value.contains("shader") || !read_json_number(value["shader"], 0xFFFF, &shader)) {
            return in_material.fail("shader", "expected a shader library entry index", error);
        }
        binding.shader_index = static_cast<uint32_t>(shader);
        if (value.contains("texture")) {
            uint64_t texture = 0;
            if (!read_json_number(value["texture"], UINT32_MAX, &texture) ||
                !renderer::is_resource_texture_id(static_cast<uint32_t>(texture)) || (texture & 3) != 0) {
                return in_material.fail("texture", "expected a texture id, not " + quote_json_value(value["texture"]),
                                        error);
            }
            binding.texture_id = static_cast<uint32_t>(texture);
        }
        if (value.contains("normal_map")) {
            uint64_t texture = 0;
            if (!read_json_number(value["normal_map"], UINT32_MAX, &texture) ||
                !renderer::is_resource_texture_id(static_cast<uint32_t>(texture)) || (texture & 3) != 0) {
                return in_material.fail("normal_map",
                                        "expected a texture id, not " + quote_json_value(value["normal_map"]), error);
            }
            // The shaders find the normal map as the material's second
            // texture, so it cannot stand alone.
            if (binding.texture_id == 0) {
                return in_material.fail("normal_map", "needs a \"texture\" beside it", error);
            }
            binding.normal_map_id = static_cast<uint32_t>(texture);
        }
        mesh->materials.emplace(material.key(), binding);
    }
    return true;
}

bool read_meshes(const Json& meshes, const std::filesystem::path& folder, const std::string& path,
                 ContentManifest* manifest, std::string* error) {
    if (!meshes.is_array()) {
        return Where(path, "manifest").fail("meshes", "expected an array of meshes", error);
    }
    for (uint32_t index = 0; index < meshes.size(); ++index) {
        MeshEntry mesh;
        if (!read_mesh(meshes[index], index, folder, path, &mesh, error)) {
            return false;
        }
        for (const MeshEntry& other : manifest->meshes) {
            if (other.number == mesh.number) {
                return Where(path, mesh.name).fail("id", "the number is given to two meshes", error);
            }
        }
        manifest->meshes.push_back(std::move(mesh));
    }
    return true;
}

}  // namespace

bool parse_content_manifest(const std::string& text, const std::string& path, ContentManifest* manifest,
                            std::string* error) {
    *manifest = {};
    manifest->path = path;
    Json document;
    std::string problem;
    if (!parse_json_document(text, &document, &problem)) {
        *error = path + ": " + problem;
        return false;
    }
    const Where where(path, "manifest");
    if (!document.is_object()) {
        return where.fail("expected an object with \"pack\" and \"textures\"", error);
    }
    if (!check_keys(document,
                    {"pack", "textures", "shader_library", "sounds", "animations", "image_atlases", "meshes",
                     "areas"}, where,
                    error)) {
        return false;
    }
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    // The descriptions beside the manifest, each optional.
    const std::pair<const char*, std::string*> descriptions[] = {
        {"shader_library", &manifest->shader_library_path},
        {"sounds", &manifest->sound_description_path},
        {"animations", &manifest->animation_description_path},
        {"image_atlases", &manifest->image_atlas_path},
        {"areas", &manifest->area_description_path},
    };
    for (const auto& [key, target] : descriptions) {
        if (!document.contains(key)) {
            continue;
        }
        const Json& name = document[key];
        if (!name.is_string() || name.get_ref<const std::string&>().empty()) {
            return where.fail(key, "expected a description file name, not " + quote_json_value(name), error);
        }
        *target = (folder / name.get<std::string>()).lexically_normal().string();
    }
    if (!document.contains("pack")) {
        return where.fail("pack", "missing", error);
    }
    if (!read_pack(document["pack"], where, manifest, error)) {
        return false;
    }
    if (document.contains("meshes") && !read_meshes(document["meshes"], folder, path, manifest, error)) {
        return false;
    }
    if (!document.contains("textures")) {
        return true;
    }
    const Json& textures = document["textures"];
    if (!textures.is_array()) {
        return where.fail("textures", "expected an array of textures", error);
    }
    for (uint32_t index = 0; index < textures.size(); ++index) {
        TextureEntry texture;
        if (!read_texture(textures[index], index, folder, path, &texture, error)) {
            return false;
        }
        for (const TextureEntry& other : manifest->textures) {
            if (other.id == texture.id) {
                return Where(path, texture.name).fail("id", "the id is given to two textures", error);
            }
        }
        manifest->textures.push_back(std::move(texture));
    }
    return true;
}

bool read_content_manifest(const std::string& path, ContentManifest* manifest, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!read_file(path, &bytes, error)) {
        return false;
    }
    return parse_content_manifest(std::string(bytes.begin(), bytes.end()), path, manifest, error);
}

}  // namespace zolt::tools

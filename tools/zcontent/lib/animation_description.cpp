#include "animation_description.h"

#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>

#include "gltf_animation_import.h"
#include "gltf_document.h"
#include "gltf_skin_import.h"
#include "json_document.h"
#include "zolt/renderer/animation/animation_format.h"
#include "zolt/renderer/animation/skeleton_format.h"
#include "zpack/lib/pack_writer.h"

namespace zolt::tools {
namespace {

using Json = nlohmann::json;

struct Context {
    std::string path;
    std::filesystem::path folder;
    std::string* error;
    std::set<uint32_t> ids;
    // Each glTF file is read once, however many entries name it.
    std::map<std::string, std::unique_ptr<GltfDocument>> documents;

    bool fail(const std::string& where, const std::string& problem) const {
        *error = path + ": " + where + ": " + problem;
        return false;
    }
};

bool check_keys(const Json& object, std::initializer_list<const char*> known, const Context& context,
                const std::string& where) {
    const std::string problem = find_json_key_problem(object, known);
    return problem.empty() || context.fail(where, problem);
}

bool read_text(const Json& object, const char* key, bool required, std::string* value, const Context& context,
               const std::string& where) {
    if (!object.contains(key)) {
        return required ? context.fail(where, "\"" + std::string(key) + "\": missing") : true;
    }
    const Json& item = object[key];
    if (!item.is_string() || item.get_ref<const std::string&>().empty()) {
        return context.fail(where, "\"" + std::string(key) + "\": expected a name, not " + quote_json_value(item));
    }
    *value = item.get<std::string>();
    return true;
}

bool read_id(const Json& entry, Context& context, const std::string& where, uint32_t* id) {
    uint64_t number = 0;
    if (!entry.contains("id") || !read_json_number(entry["id"], 0xFFFFFFFF, &number) || number == 0) {
        return context.fail(where, "\"id\": expected a non-zero resource id");
    }
    *id = static_cast<uint32_t>(number);
    if (!context.ids.insert(*id).second) {
        return context.fail(where, "\"id\": the resource id is used twice");
    }
    return true;
}

bool open_document(const Json& entry, Context& context, const std::string& where, const GltfDocument** document) {
    std::string name;
    if (!read_text(entry, "gltf", true, &name, context, where)) {
        return false;
    }
    const std::string file = (context.folder / name).lexically_normal().string();
    std::unique_ptr<GltfDocument>& slot = context.documents[file];
    if (slot == nullptr) {
        auto loaded = std::make_unique<GltfDocument>();
        std::string problem;
        if (!load_gltf_file(file, loaded.get(), &problem)) {
            context.documents.erase(file);
            return context.fail(where, problem);
        }
        slot = std::move(loaded);
    }
    *document = slot.get();
    return true;
}

bool import_skeleton_of(const Json& entry, Context& context, const std::string& where, const GltfDocument** document,
                        ImportedSkeleton* skeleton) {
    std::string skin;
    std::string problem;
    if (!open_document(entry, context, where, document) || !read_text(entry, "skin", false, &skin, context, where)) {
        return false;
    }
    if (!import_gltf_skin(**document, skin, skeleton, &problem)) {
        return context.fail(where, problem);
    }
    return true;
}

bool read_events(const Json& entry, const Context& context, const std::string& where,
                 std::vector<animation::AnimationEvent>* events) {
    if (!entry.contains("events")) {
        return true;
    }
    const Json& list = entry["events"];
    if (!list.is_array()) {
        return context.fail(where, "\"events\": expected an array");
    }
    for (size_t index = 0; index < list.size(); ++index) {
        const std::string at = where + ": event " + std::to_string(index);
        const Json& event = list[index];
        if (!check_keys(event, {"time", "id", "data"}, context, at)) {
            return false;
        }
        if (!event.contains("time") || !event["time"].is_number() || !(event["time"].get<double>() >= 0) ||
            event["time"].get<double>() * animation_ticks_per_second > 4294967295.0) {
            return context.fail(at, "\"time\": expected seconds from 0");
        }
        uint64_t id = 0;
        if (!event.contains("id") || !read_json_number(event["id"], 0x3FFFFFF, &id)) {
            return context.fail(at, "\"id\": expected an event id below 0x4000000");
        }
        animation::AnimationEvent record{
            static_cast<uint32_t>(std::round(event["time"].get<double>() * animation_ticks_per_second)),
            static_cast<uint32_t>(id),
            {0, 0}};
        if (event.contains("data")) {
            const Json& data = event["data"];
            uint64_t words[2] = {};
            if (!data.is_array() || data.size() != 2 || !read_json_number(data[0], 0xFFFFFFFF, &words[0]) ||
                !read_json_number(data[1], 0xFFFFFFFF, &words[1])) {
                return context.fail(at, "\"data\": expected two 32-bit words");
            }
            record.data[0] = static_cast<uint32_t>(words[0]);
            record.data[1] = static_cast<uint32_t>(words[1]);
        }
        events->push_back(record);
    }
    return true;
}

bool compile_skeleton(const Json& entry, Context& context, const std::string& where,
                      std::vector<AnimationResource>* out) {
    uint32_t id = 0;
    const GltfDocument* document = nullptr;
    ImportedSkeleton skeleton;
    if (!check_keys(entry, {"id", "gltf", "skin"}, context, where) || !read_id(entry, context, where, &id) ||
        !import_skeleton_of(entry, context, where, &document, &skeleton)) {
        return false;
    }
    AnimationResource resource{id, {}};
    std::string problem;
    if (!animation::build_skeleton_resource(skeleton.bones, {}, skeleton.bind_matrices, &resource.data, &problem)) {
        return context.fail(where, problem);
    }
    out->push_back(std::move(resource));
    return true;
}

bool compile_animation(const Json& entry, Context& context, const std::string& where,
                       std::vector<AnimationResource>* out) {
    uint32_t id = 0;
    const GltfDocument* document = nullptr;
    ImportedSkeleton skeleton;
    std::string name;
    AnimationImportOptions options;
    if (!check_keys(entry, {"id", "gltf", "skin", "animation", "frames_per_second", "events"}, context, where) ||
        !read_id(entry, context, where, &id) || !import_skeleton_of(entry, context, where, &document, &skeleton) ||
        !read_text(entry, "animation", true, &name, context, where) ||
        !read_events(entry, context, where, &options.events)) {
        return false;
    }
    if (entry.contains("frames_per_second")) {
        const Json& rate = entry["frames_per_second"];
        if (!rate.is_number() || !(rate.get<double>() > 0 && rate.get<double>() <= 1000)) {
            return context.fail(
                where, "\"frames_per_second\": expected a number above 0 up to 1000, not " + quote_json_value(rate));
        }
        options.frames_per_second = rate.get<double>();
    }
    animation::AnimationDescription description;
    AnimationResource resource{id, {}};
    std::string problem;
    if (!import_gltf_animation(*document, skeleton, name, options, &description, &problem) ||
        !animation::build_animation_resource(description, &resource.data, &problem)) {
        return context.fail(where, problem);
    }
    out->push_back(std::move(resource));
    return true;
}

}  // namespace

bool compile_animation_description(const std::string& text, const std::string& path,
                                   std::vector<AnimationResource>* out, std::string* error) {
    Json document;
    std::string problem;
    if (!parse_json_document(text, &document, &problem)) {
        *error = path + ": " + problem;
        return false;
    }
    Context context{path, std::filesystem::path(path).parent_path(), error, {}, {}};
    if (!check_keys(document, {"skeletons", "animations"}, context, "description")) {
        return false;
    }
    for (const char* list : {"skeletons", "animations"}) {
        if (!document.contains(list)) {
            continue;
        }
        const Json& entries = document[list];
        if (!entries.is_array()) {
            return context.fail(list, "expected an array");
        }
        for (size_t index = 0; index < entries.size(); ++index) {
            const std::string where = std::string(list) + " " + std::to_string(index);
            const bool compiled = list == std::string("skeletons")
                                      ? compile_skeleton(entries[index], context, where, out)
                                      : compile_animation(entries[index], context, where, out);
            if (!compiled) {
                return false;
            }
        }
    }
    return true;
}

bool compile_animation_description_file(const std::string& path, std::vector<AnimationResource>* out,
                                        std::string* error) {
    std::vector<uint8_t> bytes;
    if (!read_file(path, &bytes, error)) {
        return false;
    }
    return compile_animation_description(std::string(bytes.begin(), bytes.end()), path, out, error);
}

}  // namespace zolt::tools

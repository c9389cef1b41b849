#include "shader_library_compiler.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <nlohmann/json.hpp>
#include <utility>

#include "json_document.h"
#include "zolt/renderer/shaders/shader_library_format.h"
#include "zpack/lib/pack_writer.h"

namespace zolt::tools {
namespace {

namespace library = renderer::shader_library;
using Json = nlohmann::json;
using Bytes = std::vector<uint8_t>;

template <typename Value>
struct Named {
    const char* name;
    Value value;
};

constexpr Named<library::ConditionType> condition_type_names[] = {
    {"constant_tag", library::ConditionType::constant_tag},
    {"global_flags", library::ConditionType::global_flags},
    {"glsl", library::ConditionType::glsl},
    {"arb_vertex_programs", library::ConditionType::arb_vertex_programs},
    {"arb_programs", library::ConditionType::arb_programs},
    {"texture_image_units", library::ConditionType::texture_image_units},
    {"texture_coordinates", library::ConditionType::texture_coordinates},
    {"texture_units", library::ConditionType::texture_units},
    {"fragment_uniform_components", library::ConditionType::fragment_uniform_components},
    {"vertex_uniform_components", library::ConditionType::vertex_uniform_components},
    {"varying_floats", library::ConditionType::varying_floats},
    {"arb_vertex_native_attributes", library::ConditionType::arb_vertex_native_attributes},
    {"vertex_attributes", library::ConditionType::vertex_attributes},
    {"arb_fragment_native_alu_instructions", library::ConditionType::arb_fragment_native_alu_instructions},
    {"shadow_maps", library::ConditionType::shadow_maps},
    {"never", library::ConditionType::never},
};

// Pass slots that the render layers name; the others go by number.
constexpr Named<uint32_t> pass_slot_names[] = {
    {"direct", 0}, {"depth", 1}, {"mask", 2}, {"shadow_depth", 3}, {"screen_copy", 13}, {"depth_only", 14},
};

constexpr Named<uint32_t> pass_flag_names[] = {
    {"last_in_shadow_depth", library::pass_flag_last_in_shadow_depth},
    {"decal_layer_3", library::pass_flag_decal_layer_3},
    {"back_to_front", library::pass_flag_back_to_front},
    {"after_deferred_fog", library::pass_flag_after_deferred_fog},
};

constexpr Named<uint8_t> cull_names[] = {{"off", 1}, {"front", 2}, {"back", 3}};
constexpr Named<uint8_t> depth_names[] = {
    {"off", 1},  {"never", 2},   {"always", 3},     {"equal", 4},         {"not_equal", 5},
    {"less", 6}, {"greater", 7}, {"less_equal", 8}, {"greater_equal", 9},
};
constexpr Named<uint8_t> blend_names[] = {
    {"off", 1}, {"alpha", 2}, {"add", 3}, {"alpha_add", 4}, {"subtract", 5}, {"alpha_subtract", 6}, {"multiply", 7},
};
constexpr Named<uint8_t> alpha_test_names[] = {{"off", 1}, {"greater", 2}, {"opaque", 3}, {"second_reference", 4}};
constexpr Named<uint8_t> stencil_names[] = {{"off", 1}, {"equal_zero", 2}, {"not_equal_zero", 3}, {"unchanged", 4}};

constexpr Named<library::AttributeTargetClass> attribute_target_names[] = {
    {"position", library::AttributeTargetClass::position},
    {"generic", library::AttributeTargetClass::generic},
    {"normal", library::AttributeTargetClass::normal},
    {"colour", library::AttributeTargetClass::colour},
    {"texture_coordinates", library::AttributeTargetClass::texture_coordinates},
};

constexpr Named<library::ConstantTargetClass> constant_target_names[] = {
    {"arb_vertex_local", library::ConstantTargetClass::arb_vertex_local},
    {"arb_fragment_local", library::ConstantTargetClass::arb_fragment_local},
    {"fixed_location", library::ConstantTargetClass::fixed_location},
    {"glsl_uniform", library::ConstantTargetClass::glsl_uniform},
    {"texture_coordinate_constant", library::ConstantTargetClass::texture_coordinate_constant},
    {"vertex_attribute_constant", library::ConstantTargetClass::vertex_attribute_constant},
};

constexpr Named<uint32_t> constant_source_names[] = {
    {"special", 1}, {"viewport", 2}, {"material", 3}, {"library", 4}, {"property", 5}, {"user_vector", 6},
};
constexpr Named<uint32_t> texture_source_names[] = {
    {"renderer_slot", 1}, {"global_slot", 2}, {"viewport_slot", 3}, {"material", 4}, {"library", 5}, {"property", 6},
};

constexpr uint32_t max_entry_index = 0xFFFF;
constexpr uint32_t max_texture_unit = 15;
constexpr uint32_t max_attribute_index = 15;

template <typename Value, size_t count>
std::string list_names(const Named<Value> (&names)[count]) {
    std::string text;
    for (const Named<Value>& named : names) {
        text += (text.empty() ? "" : ", ") + std::string(named.name);
    }
    return text;
}

class LibraryCompiler {
public:
    LibraryCompiler(const std::string& path, std::string* error)
        : path_(path), folder_(std::filesystem::path(path).parent_path()), error_(error) {}

    bool compile(const Json& document, Bytes* resource) {
        if (!document.is_object()) {
            return fail("description", "expected an object with \"entries\"");
        }
        if (!check_keys(document, "description",
                        {"entries", "global_conditions", "glsl_shaders", "arb_programs", "library_textures",
                         "library_constants"})) {
            return false;
        }
        if (!read_programs(document) || !read_library_tables(document)) {
            return false;
        }
        if (document.contains("global_conditions")) {
            header_.first_global_condition = static_cast<uint32_t>(conditions_.size());
            if (!read_conditions(document["global_conditions"], "global_conditions", &header_.global_condition_count)) {
                return false;
            }
        }
        if (!read_entries(document)) {
            return false;
        }
        lay_out(resource);
        library::ShaderLibraryFault fault;
        if (library::check_shader_library(resource->data(), static_cast<uint32_t>(resource->size()), &fault) !=
            library::ShaderLibraryFaultKind::ok) {
            char text[256];
            library::describe_shader_library_fault(fault, text, sizeof text);
            *error_ = path_ + ": the compiled library is refused: " + text;
            return false;
        }
        return true;
    }

private:
    bool fail(const std::string& element, const std::string& problem) {
        *error_ = path_ + ": " + element + ": " + problem;
        return false;
    }
    bool fail(const std::string& element, const std::string& key, const std::string& problem) {
        *error_ = path_ + ": " + element + ": \"" + key + "\": " + problem;
        return false;
    }

    bool check_keys(const Json& object, const std::string& element, std::initializer_list<const char*> known) {
        for (const auto& item : object.items()) {
            if (std::find_if(known.begin(), known.end(), [&](const char* name) { return item.key() == name; }) ==
                known.end()) {
                return fail(element, item.key(), "unknown key");
            }
        }
        return true;
    }

    bool read_number(const Json& value, uint64_t maximum, const std::string& element, const std::string& key,
                     uint32_t* number) {
        uint64_t parsed = 0;
        if (!read_json_number(value, maximum, &parsed)) {
            return fail(element, key,
                        "expected a number from 0 to " + std::to_string(maximum) + ", not " + quote_json_value(value));
        }
        *number = static_cast<uint32_t>(parsed);
        return true;
    }
    // Leaves number as it is when the key is absent.
    bool read_optional_number(const Json& object, const char* key, uint64_t maximum, const std::string& element,
                              uint32_t* number) {
        return !object.contains(key) || read_number(object[key], maximum, element, key, number);
    }
    bool read_optional_bool(const Json& object, const char* key, const std::string& element, bool* value) {
        if (!object.contains(key)) {
            return true;
        }
        if (!object[key].is_boolean()) {
            return fail(element, key, "expected true or false, not " + quote_json_value(object[key]));
        }
        *value = object[key].get<bool>();
        return true;
    }
    template <typename Value, size_t count>
    bool read_name(const Json& value, const Named<Value> (&names)[count], const std::string& element,
                   const std::string& key, Value* result) {
        if (value.is_string()) {
            for (const Named<Value>& named : names) {
                if (value.get_ref<const std::string&>() == named.name) {
                    *result = named.value;
                    return true;
                }
            }
        }
        return fail(element, key, "expected one of " + list_names(names) + ", not " + quote_json_value(value));
    }
    bool read_array(const Json& object, const char* key, const std::string& element, const Json** array) {
        static const Json empty = Json::array();
        *array = &empty;
        if (!object.contains(key)) {
            return true;
        }
        if (!object[key].is_array()) {
            return fail(element, key, "expected an array, not " + quote_json_value(object[key]));
        }
        *array = &object[key];
        return true;
    }

    // The data area follows the header directly; records name it by offset.
    uint32_t append_data(const void* bytes, size_t size) {
        while (data_.size() % 4 != 0) {
            data_.push_back(0);
        }
        const auto offset = static_cast<uint32_t>(sizeof(library::ShaderLibraryHeader) + data_.size());
        const auto* first = static_cast<const uint8_t*>(bytes);
        data_.insert(data_.end(), first, first + size);
        return offset;
    }
    uint32_t append_text(const std::string& text) { return append_data(text.c_str(), text.size() + 1); }
    uint32_t append_words(const std::vector<uint32_t>& words) {
        return append_data(words.data(), words.size() * sizeof(uint32_t));
    }

    bool read_text_file(const Json& name, const std::string& element, const std::string& key, std::string* text) {
        if (!name.is_string() || name.get_ref<const std::string&>().empty()) {
            return fail(element, key, "expected a file name, not " + quote_json_value(name));
        }
        const std::string file = (folder_ / name.get<std::string>()).lexically_normal().string();
        Bytes bytes;
        std::string problem;
        if (!read_file(file, &bytes, &problem)) {
            return fail(element, key, problem);
        }
        if (std::find(bytes.begin(), bytes.end(), uint8_t{0}) != bytes.end()) {
            return fail(element, key, file + " holds a zero byte, which would end the text early");
        }
        text->assign(bytes.begin(), bytes.end());
        return true;
    }

    bool read_glsl_shader(const std::string& name, const Json& item) {
        const std::string element = "glsl_shaders." + name;
        if (!item.is_object()) {
            return fail(element, "expected an object with \"sources\"");
        }
        if (!check_keys(item, element, {"sources", "attributes", "samplers", "uniforms"})) {
            return false;
        }
        if (!item.contains("sources") || !item["sources"].is_array() || item["sources"].empty()) {
            return fail(element, "sources", "expected an array of GLSL file names");
        }
        if (next_cache_key_ >= library::shader_cache_key_limit) {
            return fail(element, "more GLSL shaders than the shader cache has keys");
        }
        std::vector<uint32_t> sources;
        for (const Json& file : item["sources"]) {
            std::string text;
            if (!read_text_file(file, element, "sources", &text)) {
                return false;
            }
            sources.push_back(append_text(text));
        }
        // Attribute and sampler lists: {index, name offset} pairs.
        std::vector<uint32_t> lists[2];
        const char* const list_keys[] = {"attributes", "samplers"};
        const uint32_t list_limits[] = {max_attribute_index, max_texture_unit};
        for (uint32_t list = 0; list < 2; ++list) {
            const char* key = list_keys[list];
            if (!item.contains(key)) {
                continue;
            }
            if (!item[key].is_object()) {
                return fail(element, key, "expected an object of names and numbers");
            }
            for (const auto& pair : item[key].items()) {
                uint32_t number = 0;
                if (pair.key().empty()) {
                    return fail(element, key, "a name is empty");
                }
                if (!read_number(pair.value(), list_limits[list], element + "." + key, pair.key(), &number)) {
                    return false;
                }
                lists[list].push_back(number);
                lists[list].push_back(append_text(pair.key()));
            }
        }
        std::vector<uint32_t> uniforms;
        const Json* uniform_names = nullptr;
        if (!read_array(item, "uniforms", element, &uniform_names)) {
            return false;
        }
        for (const Json& uniform : *uniform_names) {
            if (!uniform.is_string() || uniform.get_ref<const std::string&>().empty()) {
                return fail(element, "uniforms", "expected a uniform name, not " + quote_json_value(uniform));
            }
            uniforms.push_back(append_text(uniform.get<std::string>()));
        }
        library::GlslShaderRecord record{};
        record.cache_key = next_cache_key_++;
        record.source_count = static_cast<uint32_t>(sources.size());
        record.source_list_offset = append_words(sources);
        record.attribute_count = static_cast<uint32_t>(lists[0].size() / 2);
        record.attribute_list_offset = append_words(lists[0]);
        record.sampler_count = static_cast<uint32_t>(lists[1].size() / 2);
        record.sampler_list_offset = append_words(lists[1]);
        record.uniform_name_count = static_cast<uint32_t>(uniforms.size());
        record.uniform_name_list_offset = append_words(uniforms);
        glsl_records_[name] = append_data(&record, sizeof record);
        return true;
    }

    bool read_arb_program(const std::string& name, const Json& item) {
        const std::string element = "arb_programs." + name;
        if (!item.is_object()) {
            return fail(element, "expected an object with \"number\" and \"source\"");
        }
        if (!check_keys(item, element, {"number", "source"})) {
            return false;
        }
        if (!item.contains("number") || !item.contains("source")) {
            return fail(element, item.contains("number") ? "source" : "number", "missing");
        }
        library::ArbProgramRecord record{};
        std::string text;
        if (!read_number(item["number"], library::arb_program_number_limit - 1, element, "number",
                         &record.program_number) ||
            !read_text_file(item["source"], element, "source", &text)) {
            return false;
        }
        record.text_offset = append_data(text.data(), text.size());
        record.text_length = static_cast<uint32_t>(text.size());
        arb_records_[name] = append_data(&record, sizeof record);
        return true;
    }

    bool read_programs(const Json& document) {
        const char* const keys[] = {"glsl_shaders", "arb_programs"};
        for (const char* key : keys) {
            if (!document.contains(key)) {
                continue;
            }
            if (!document[key].is_object()) {
                return fail("description", key, "expected an object of named programs");
            }
            for (const auto& item : document[key].items()) {
                const bool is_glsl = key == keys[0];
                if (!(is_glsl ? read_glsl_shader(item.key(), item.value())
                              : read_arb_program(item.key(), item.value()))) {
                    return false;
                }
            }
        }
        return true;
    }

    bool read_library_tables(const Json& document) {
        const Json* textures = nullptr;
        const Json* constants = nullptr;
        if (!read_array(document, "library_textures", "description", &textures) ||
            !read_array(document, "library_constants", "description", &constants)) {
            return false;
        }
        for (size_t index = 0; index < textures->size(); ++index) {
            uint32_t id = 0;
            if (!read_number((*textures)[index], UINT32_MAX, "library_textures[" + std::to_string(index) + "]", "id",
                             &id)) {
                return false;
            }
            library_textures_.push_back(id);
        }
        for (size_t index = 0; index < constants->size(); ++index) {
            const std::string element = "library_constants[" + std::to_string(index) + "]";
            const Json& item = (*constants)[index];
            library::LibraryConstant constant{};
            // Four floats, or {"integers": [four integers]}.
            const bool is_integer = item.is_object() && item.size() == 1 && item.contains("integers");
            const Json& values = is_integer ? item["integers"] : item;
            if (!values.is_array() || values.size() != 4) {
                return fail(element, "expected four numbers, or {\"integers\": [four integers]}");
            }
            for (uint32_t component = 0; component < 4; ++component) {
                const Json& value = values[component];
                const bool is_32_bits = value.is_number_integer() && value.get<int64_t>() >= INT32_MIN &&
                                        (value.is_number_unsigned() ? value.get<uint64_t>() <= UINT32_MAX
                                                                    : value.get<int64_t>() <= INT32_MAX);
                if (is_integer ? !is_32_bits : !value.is_number()) {
                    return fail(element, std::string("component ") + std::to_string(component) + " is not " +
                                             (is_integer ? "a 32-bit integer" : "a number") + ": " +
                                             quote_json_value(value));
                }
                if (is_integer) {
                    constant.words[component] = static_cast<uint32_t>(value.get<int64_t>());
                } else {
                    const auto real = value.get<float>();
                    std::memcpy(&constant.words[component], &real, sizeof real);
                }
            }
            library_constants_.push_back(constant);
        }
        return true;
    }

    bool read_condition(const Json& item, const std::string& element) {
        if (!item.is_object()) {
            return fail(element, "expected an object with \"type\"");
        }
        if (!check_keys(item, element, {"type", "parameter", "negate"})) {
            return false;
        }
        if (!item.contains("type")) {
            return fail(element, "type", "missing");
        }
        library::ConditionType type{};
        library::ShaderCondition condition{};
        bool is_negated = false;
        if (!read_name(item["type"], condition_type_names, element, "type", &type) ||
            !read_optional_number(item, "parameter", UINT32_MAX, element, &condition.parameter) ||
            !read_optional_bool(item, "negate", element, &is_negated)) {
            return false;
        }
        condition.type_word = static_cast<uint32_t>(type) | (is_negated ? library::condition_negate : 0);
        conditions_.push_back(condition);
        return true;
    }
    bool read_conditions(const Json& array, const std::string& element, uint32_t* count) {
        if (!array.is_array()) {
            return fail(element, "expected an array of conditions");
        }
        for (size_t index = 0; index < array.size(); ++index) {
            if (!read_condition(array[index], element + "[" + std::to_string(index) + "]")) {
                return false;
            }
        }
        *count = static_cast<uint32_t>(array.size());
        return true;
    }
    // Runtime conditions first, the common ones after them.
    bool read_condition_ranges(const Json& object, const std::string& element, uint32_t* first, uint32_t* runtime_count,
                               uint32_t* common_count) {
        *first = static_cast<uint32_t>(conditions_.size());
        *runtime_count = 0;
        *common_count = 0;
        return (!object.contains("runtime_conditions") ||
                read_conditions(object["runtime_conditions"], element + ".runtime_conditions", runtime_count)) &&
               (!object.contains("conditions") ||
                read_conditions(object["conditions"], element + ".conditions", common_count));
    }

    template <typename Source, size_t count>
    bool read_tag_words(const Json& object, const char* key, const Named<Source> (*sources)[count],
                        const std::string& element, std::vector<uint32_t>* table, uint32_t* first,
                        uint32_t* word_count) {
        const Json* array = nullptr;
        if (!read_array(object, key, element, &array)) {
            return false;
        }
        *first = static_cast<uint32_t>(table->size());
        *word_count = static_cast<uint32_t>(array->size());
        for (size_t index = 0; index < array->size(); ++index) {
            const Json& item = (*array)[index];
            const std::string where = element + "." + key + "[" + std::to_string(index) + "]";
            uint32_t word = 0;
            if (sources != nullptr && item.is_object()) {
                // {"source": name, "parameter": n}
                if (!check_keys(item, where, {"source", "parameter"})) {
                    return false;
                }
                uint32_t source = 0;
                uint32_t parameter = 0;
                if (!item.contains("source")) {
                    return fail(where, "source", "missing");
                }
                if (!read_name(item["source"], *sources, where, "source", &source) ||
                    !read_optional_number(item, "parameter", UINT32_MAX & ~library::tag_source_mask, where,
                                          &parameter)) {
                    return false;
                }
                if ((parameter & library::tag_source_mask) != 0) {
                    return fail(where, "parameter", "bits 16-23 hold the source");
                }
                word = library::make_tag_word(source, parameter);
            } else if (!read_number(item, UINT32_MAX, where, key, &word)) {
                return false;
            }
            table->push_back(word);
        }
        return true;
    }

    bool read_byte_list(const Json& object, const char* key, const std::string& element, uint32_t* offset,
                        uint32_t* length) {
        const Json* array = nullptr;
        if (!read_array(object, key, element, &array)) {
            return false;
        }
        Bytes bytes;
        for (const Json& item : *array) {
            uint32_t number = 0;
            if (!read_number(item, 0xFF, element, key, &number)) {
                return false;
            }
            bytes.push_back(static_cast<uint8_t>(number));
        }
        *length = static_cast<uint32_t>(bytes.size());
        *offset = bytes.empty() ? 0 : append_data(bytes.data(), bytes.size());
        return true;
    }

    bool read_program_side(const Json& object, bool is_vertex, const std::string& element, uint32_t* kind,
                           uint32_t* record) {
        const char* key = is_vertex ? "vertex" : "pixel";
        *kind = 0;
        *record = 0;
        if (!object.contains(key)) {
            return true;
        }
        const Json& item = object[key];
        if (item.is_string() && item.get_ref<const std::string&>() == "none") {
            return true;
        }
        if (is_vertex && item.is_string() && item.get_ref<const std::string&>() == "fixed_function") {
            *kind = static_cast<uint32_t>(library::VertexSetupKind::fixed_function);
            return true;
        }
        const std::string expected = is_vertex
                                         ? "expected \"none\", \"fixed_function\", {\"glsl\": name} or {\"arb\": name}"
                                         : "expected \"none\", {\"predefined\": 1 to 4}, {\"glsl\": name} or "
                                           "{\"arb\": name}";
        if (!item.is_object() || item.size() != 1) {
            return fail(element, key, expected + ", not " + quote_json_value(item));
        }
        const std::string form = item.begin().key();
        const Json& value = item.begin().value();
        if (form == "predefined" && !is_vertex) {
            *kind = static_cast<uint32_t>(library::PixelSetupKind::predefined);
            uint32_t number = 0;
            if (!read_number(value, library::last_predefined_pixel_setup, element, key, &number) ||
                number < library::first_predefined_pixel_setup) {
                return fail(element, key, "a predefined pixel setup is 1 to 4, not " + quote_json_value(value));
            }
            *record = number;
            return true;
        }
        const bool is_glsl = form == "glsl";
        if (!is_glsl && form != "arb") {
            return fail(element, key, expected + ", not {\"" + form + "\": ...}");
        }
        const std::map<std::string, uint32_t>& records = is_glsl ? glsl_records_ : arb_records_;
        const auto found = value.is_string() ? records.find(value.get<std::string>()) : records.end();
        if (found == records.end()) {
            return fail(element, key,
                        std::string("names no program of \"") + (is_glsl ? "glsl_shaders" : "arb_programs") +
                            "\": " + quote_json_value(value));
        }
        *record = found->second;
        if (is_vertex) {
            *kind =
                static_cast<uint32_t>(is_glsl ? library::VertexSetupKind::glsl : library::VertexSetupKind::arb_program);
        } else {
            *kind =
                static_cast<uint32_t>(is_glsl ? library::PixelSetupKind::glsl : library::PixelSetupKind::arb_program);
        }
        return true;
    }

    bool read_target_setup(const Json& item, const std::string& element, uint32_t* offset) {
        if (!item.is_object()) {
            return fail(element, "target_setup", "expected an object, not " + quote_json_value(item));
        }
        const std::string where = element + ".target_setup";
        if (!check_keys(item, where, {"cull", "depth", "depth_write", "blend", "alpha_test", "stencil"})) {
            return false;
        }
        library::TargetSetup setup{};
        bool is_depth_written = true;
        if ((item.contains("cull") && !read_name(item["cull"], cull_names, where, "cull", &setup.cull)) ||
            (item.contains("depth") && !read_name(item["depth"], depth_names, where, "depth", &setup.depth)) ||
            (item.contains("blend") && !read_name(item["blend"], blend_names, where, "blend", &setup.blend)) ||
            (item.contains("alpha_test") &&
             !read_name(item["alpha_test"], alpha_test_names, where, "alpha_test", &setup.alpha_test)) ||
            (item.contains("stencil") &&
             !read_name(item["stencil"], stencil_names, where, "stencil", &setup.stencil)) ||
            !read_optional_bool(item, "depth_write", where, &is_depth_written)) {
            return false;
        }
        if (!is_depth_written) {
            if (setup.depth == 0) {
                return fail(where, "depth_write", "needs a \"depth\" mode beside it");
            }
            setup.depth |= library::depth_mode_no_writes;
        }
        *offset = append_data(&setup, sizeof setup);
        return true;
    }

    // The program takes its uniform list from the vertex shader, or from the
    // pixel shader when it has no vertex shader.
    uint32_t get_program_uniform_count(const library::ShaderPass& pass) const {
        uint32_t offset = 0;
        if (library::get_vertex_setup_kind(pass.setup_kinds) == library::VertexSetupKind::glsl) {
            offset = pass.vertex_record_offset;
        } else if (library::get_pixel_setup_kind(pass.setup_kinds) == library::PixelSetupKind::glsl) {
            offset = pass.pixel_record;
        } else {
            return 0;
        }
        library::GlslShaderRecord record;
        std::memcpy(&record, data_.data() + (offset - sizeof(library::ShaderLibraryHeader)), sizeof record);
        return record.uniform_name_count;
    }

    bool read_bindings(const Json& object, const std::string& element, library::ShaderPass* pass) {
        const Json* fibres = nullptr;
        const Json* textures = nullptr;
        const Json* constants = nullptr;
        if (!read_array(object, "fibre_bindings", element, &fibres) ||
            !read_array(object, "texture_bindings", element, &textures) ||
            !read_array(object, "constant_bindings", element, &constants)) {
            return false;
        }
        pass->first_fibre_binding = static_cast<uint32_t>(fibre_bindings_.size());
        pass->fibre_binding_count = static_cast<uint32_t>(fibres->size());
        for (size_t index = 0; index < fibres->size(); ++index) {
            const Json& item = (*fibres)[index];
            const std::string where = element + ".fibre_bindings[" + std::to_string(index) + "]";
            library::FibreBinding binding{};
            library::AttributeTargetClass target{};
            uint32_t target_index = 0;
            if (!item.is_object() || !item.contains("tag") || !item.contains("target")) {
                return fail(where, "expected an object with \"tag\" and \"target\"");
            }
            if (!check_keys(item, where, {"tag", "target", "index"}) ||
                !read_number(item["tag"], UINT32_MAX, where, "tag", &binding.fibre_tag) ||
                !read_name(item["target"], attribute_target_names, where, "target", &target) ||
                !read_optional_number(item, "index", max_attribute_index, where, &target_index)) {
                return false;
            }
            binding.attribute_target = static_cast<uint32_t>(target) | target_index;
            fibre_bindings_.push_back(binding);
        }
        pass->first_texture_unit_binding = static_cast<uint32_t>(texture_unit_bindings_.size());
        pass->texture_unit_binding_count = static_cast<uint32_t>(textures->size());
        for (size_t index = 0; index < textures->size(); ++index) {
            const Json& item = (*textures)[index];
            const std::string where = element + ".texture_bindings[" + std::to_string(index) + "]";
            library::TextureUnitBinding binding{};
            if (!item.is_object() || !item.contains("tag") || !item.contains("unit")) {
                return fail(where, "expected an object with \"tag\" and \"unit\"");
            }
            if (!check_keys(item, where, {"tag", "unit"}) ||
                !read_number(item["tag"], UINT32_MAX, where, "tag", &binding.texture_tag) ||
                !read_number(item["unit"], max_texture_unit, where, "unit", &binding.texture_unit)) {
                return false;
            }
            texture_unit_bindings_.push_back(binding);
        }
        pass->first_constant_binding = static_cast<uint32_t>(constant_bindings_.size());
        pass->constant_binding_count = static_cast<uint32_t>(constants->size());
        for (size_t index = 0; index < constants->size(); ++index) {
            const Json& item = (*constants)[index];
            const std::string where = element + ".constant_bindings[" + std::to_string(index) + "]";
            library::ConstantBinding binding{};
            library::ConstantTargetClass target{};
            uint32_t target_index = 0;
            uint32_t value_count = 1;
            if (!item.is_object() || !item.contains("tag") || !item.contains("target")) {
                return fail(where, "expected an object with \"tag\" and \"target\"");
            }
            if (!check_keys(item, where, {"tag", "target", "index", "count"}) ||
                !read_number(item["tag"], 0xFF, where, "tag", &binding.constant_tag) ||
                !read_name(item["target"], constant_target_names, where, "target", &target) ||
                !read_optional_number(item, "index", library::constant_target_index_mask, where, &target_index) ||
                !read_optional_number(item, "count", library::max_constant_value_count, where, &value_count)) {
                return false;
            }
            if (value_count == 0) {
                return fail(where, "count", "a binding uploads 1 to 16 values, not 0");
            }
            binding.target_word = library::make_constant_target(target, target_index, value_count);
            const uint32_t uniform_count = get_program_uniform_count(*pass);
            if (!library::is_constant_target_supported(binding.target_word, uniform_count)) {
                return fail(where, "target",
                            "cannot be set up (a uniform index must be below the " + std::to_string(uniform_count) +
                                " uniforms of the program's vertex shader, or of its pixel shader without one; "
                                "counts above 4 only go to ARB local parameters; attribute and texture "
                                "coordinate constants below 16; fixed locations 0-5 and 7-14)");
            }
            constant_bindings_.push_back(binding);
        }
        return true;
    }

    bool read_shader_pass(const Json& item, const std::string& element) {
        if (!item.is_object()) {
            return fail(element, "expected a shader pass object");
        }
        if (!check_keys(item, element,
                        {"vertex", "pixel", "program_index", "target_setup", "fibre_bindings", "texture_bindings",
                         "constant_bindings"})) {
            return false;
        }
        library::ShaderPass pass{};
        uint32_t vertex_kind = 0;
        uint32_t pixel_kind = 0;
        if (!read_program_side(item, true, element, &vertex_kind, &pass.vertex_record_offset) ||
            !read_program_side(item, false, element, &pixel_kind, &pass.pixel_record) ||
            !read_optional_number(item, "program_index", library::program_index_limit - 1, element,
                                  &pass.program_index)) {
            return false;
        }
        pass.setup_kinds = vertex_kind | pixel_kind;
        // A program index is one slot of the GLSL program cache, so it must
        // always name the same pair of shaders.
        const bool is_glsl = vertex_kind == static_cast<uint32_t>(library::VertexSetupKind::glsl) ||
                             pixel_kind == static_cast<uint32_t>(library::PixelSetupKind::glsl);
        if (is_glsl) {
            const std::pair<uint32_t, uint32_t> shaders = {
                vertex_kind == static_cast<uint32_t>(library::VertexSetupKind::glsl) ? pass.vertex_record_offset : 0,
                pixel_kind == static_cast<uint32_t>(library::PixelSetupKind::glsl) ? pass.pixel_record : 0};
            const auto [known, is_new] = program_shaders_.emplace(pass.program_index, shaders);
            if (!is_new && known->second != shaders) {
                return fail(element, "program_index",
                            std::to_string(pass.program_index) + " already names another pair of GLSL shaders");
            }
        }
        if (item.contains("target_setup")) {
            pass.setup_kinds |= 0x100;
            if (!read_target_setup(item["target_setup"], element, &pass.target_setup_offset)) {
                return false;
            }
        }
        if (!read_bindings(item, element, &pass)) {
            return false;
        }
        shader_passes_.push_back(pass);
        return true;
    }

    bool read_slot_pass(const Json& item, const std::string& element, uint32_t* slot, uint32_t* index) {
        if (!item.is_object()) {
            return fail(element, "expected a slot pass object with \"slot\"");
        }
        if (!check_keys(item, element, {"slot", "conditions", "runtime_conditions", "flags", "setups"})) {
            return false;
        }
        if (!item.contains("slot")) {
            return fail(element, "slot", "missing");
        }
        const Json& slot_value = item["slot"];
        if (slot_value.is_string()) {
            if (!read_name(slot_value, pass_slot_names, element, "slot", slot)) {
                return false;
            }
        } else if (!read_number(slot_value, library::pass_slot_count - 1, element, "slot", slot)) {
            return false;
        }
        library::ShaderSlotPass pass{};
        if (!read_condition_ranges(item, element, &pass.first_condition, &pass.runtime_condition_count,
                                   &pass.common_condition_count)) {
            return false;
        }
        const Json* flags = nullptr;
        const Json* setups = nullptr;
        if (!read_array(item, "flags", element, &flags) || !read_array(item, "setups", element, &setups)) {
            return false;
        }
        for (const Json& flag : *flags) {
            uint32_t bit = 0;
            if (!read_name(flag, pass_flag_names, element, "flags", &bit)) {
                return false;
            }
            pass.pass_flags |= bit;
        }
        // Setup numbers are positions; null leaves a number without a setup.
        std::vector<uint32_t> setup_indices;
        for (size_t number = 0; number < setups->size(); ++number) {
            const Json& setup_item = (*setups)[number];
            const std::string where = element + ".setups[" + std::to_string(number) + "]";
            if (setup_item.is_null()) {
                setup_indices.push_back(library::no_setup);
                continue;
            }
            if (!setup_item.is_array()) {
                return fail(where, "expected an array of shader passes, or null for no setup");
            }
            library::ShaderSetup setup{};
            setup.first_shader_pass = static_cast<uint32_t>(shader_passes_.size());
            setup.shader_pass_count = static_cast<uint32_t>(setup_item.size());
            for (size_t pass_index = 0; pass_index < setup_item.size(); ++pass_index) {
                if (!read_shader_pass(setup_item[pass_index], where + "[" + std::to_string(pass_index) + "]")) {
                    return false;
                }
            }
            setup_indices.push_back(static_cast<uint32_t>(setups_.size()));
            setups_.push_back(setup);
        }
        pass.setup_index_base = static_cast<uint32_t>(setup_indices_.size());
        pass.setup_count = static_cast<uint32_t>(setup_indices.size());
        setup_indices_.insert(setup_indices_.end(), setup_indices.begin(), setup_indices.end());
        *index = static_cast<uint32_t>(slot_passes_.size());
        slot_passes_.push_back(pass);
        return true;
    }

    bool read_variant(const Json& item, const std::string& element) {
        if (!item.is_object()) {
            return fail(element, "expected a variant object");
        }
        if (!check_keys(
                item, element,
                {"conditions", "runtime_conditions", "variant_word", "texture_tags", "constant_tags", "passes"})) {
            return false;
        }
        library::ShaderVariant variant{};
        const Json* passes = nullptr;
        if (!read_condition_ranges(item, element, &variant.first_condition, &variant.runtime_condition_count,
                                   &variant.common_condition_count) ||
            !read_optional_number(item, "variant_word", UINT32_MAX, element, &variant.variant_word) ||
            !read_byte_list(item, "texture_tags", element, &variant.texture_tag_list_offset,
                            &variant.texture_tag_list_length) ||
            !read_byte_list(item, "constant_tags", element, &variant.constant_tag_list_offset,
                            &variant.constant_tag_list_length) ||
            !read_array(item, "passes", element, &passes)) {
            return false;
        }
        uint32_t slot_passes[library::pass_slot_count] = {};
        for (size_t index = 0; index < passes->size(); ++index) {
            const std::string where = element + ".passes[" + std::to_string(index) + "]";
            uint32_t slot = 0;
            uint32_t pass = 0;
            if (!read_slot_pass((*passes)[index], where, &slot, &pass)) {
                return false;
            }
            if ((variant.slot_mask >> slot & 1) != 0) {
                return fail(where, "slot", "the variant already has a pass for slot " + std::to_string(slot));
            }
            variant.slot_mask |= 1u << slot;
            slot_passes[slot] = pass;
        }
        variant.pass_index_base = static_cast<uint32_t>(pass_indices_.size());
        for (uint32_t slot = 0; slot < library::pass_slot_count && (variant.slot_mask >> slot) != 0; ++slot) {
            pass_indices_.push_back(slot_passes[slot]);
        }
        variants_.push_back(variant);
        return true;
    }

    bool read_entry(const Json& item, const std::string& element, uint32_t highest_index, library::ShaderEntry* entry) {
        const Json* variants = nullptr;
        const Json* fallback = nullptr;
        bool must_be_usable = false;
        bool has_setup_pairs = false;
        uint32_t material_flags = 0;
        entry->default_fibre_parameter = -1;
        if (!read_condition_ranges(item, element, &entry->first_condition, &entry->runtime_condition_count,
                                   &entry->common_condition_count) ||
            !read_optional_bool(item, "must_be_usable", element, &must_be_usable) ||
            !read_optional_bool(item, "setup_pairs", element, &has_setup_pairs) ||
            !read_optional_number(item, "material_flags", UINT32_MAX, element, &material_flags) ||
            !read_array(item, "fallback", element, &fallback) || !read_array(item, "variants", element, &variants)) {
            return false;
        }
        if ((material_flags & (library::entry_flag_must_be_usable | library::entry_flag_setup_pairs)) != 0) {
            return fail(element, "material_flags",
                        "bits 0x1000000 and 0x2000000 are \"must_be_usable\" and "
                        "\"setup_pairs\"");
        }
        entry->flags = material_flags | (must_be_usable ? library::entry_flag_must_be_usable : 0) |
                       (has_setup_pairs ? library::entry_flag_setup_pairs : 0);
        if (item.contains("default_fibre_parameter")) {
            const Json& value = item["default_fibre_parameter"];
            if (!value.is_number_integer() || value.get<int64_t>() < INT32_MIN || value.get<int64_t>() > INT32_MAX) {
                return fail(element, "default_fibre_parameter",
                            "expected a signed 32-bit number, not " + quote_json_value(value));
            }
            entry->default_fibre_parameter = static_cast<int32_t>(value.get<int64_t>());
        }
        if (!read_tag_words(item, "texture_tag_defaults", &texture_source_names, element, &texture_tag_defaults_,
                            &entry->first_texture_tag_default, &entry->texture_tag_default_count) ||
            !read_tag_words(item, "constant_tag_defaults", &constant_source_names, element, &constant_tag_defaults_,
                            &entry->first_constant_tag_default, &entry->constant_tag_default_count) ||
            !read_tag_words<uint32_t, 1>(item, "fibre_tag_defaults", nullptr, element, &fibre_tag_defaults_,
                                         &entry->first_fibre_tag_default, &entry->fibre_tag_default_count)) {
            return false;
        }
        if (!fallback->empty()) {
            std::vector<uint32_t> list;
            for (const Json& value : *fallback) {
                uint32_t index = 0;
                if (!read_number(value, highest_index, element, "fallback", &index) || index == 0) {
                    return fail(element, "fallback",
                                "expected entry indices from 1 to " + std::to_string(highest_index) + ", not " +
                                    quote_json_value(value));
                }
                list.push_back(index);
            }
            list.push_back(0);
            entry->fallback_list_offset = append_words(list);
        }
        entry->first_variant = static_cast<uint32_t>(variants_.size());
        entry->variant_count = static_cast<uint32_t>(variants->size());
        for (size_t index = 0; index < variants->size(); ++index) {
            if (!read_variant((*variants)[index], element + ".variants[" + std::to_string(index) + "]")) {
                return false;
            }
        }
        return true;
    }

    bool read_entries(const Json& document) {
        if (!document.contains("entries") || !document["entries"].is_array()) {
            return fail("description", "entries", "expected an array of entries");
        }
        const Json& array = document["entries"];
        // Entries are laid out by index, so variant 0, the "none" answer of
        // selection, belongs to entry 0.
        std::map<uint32_t, size_t> by_index;
        for (size_t position = 0; position < array.size(); ++position) {
            const std::string element = "entries[" + std::to_string(position) + "]";
            const Json& item = array[position];
            if (!item.is_object()) {
                return fail(element, "expected an entry object with \"index\"");
            }
            if (!check_keys(item, element,
                            {"index", "conditions", "runtime_conditions", "fallback", "must_be_usable", "setup_pairs",
                             "material_flags", "default_fibre_parameter", "texture_tag_defaults",
                             "constant_tag_defaults", "fibre_tag_defaults", "variants"})) {
                return false;
            }
            if (!item.contains("index")) {
                return fail(element, "index", "missing");
            }
            uint32_t index = 0;
            if (!read_number(item["index"], max_entry_index, element, "index", &index)) {
                return false;
            }
            if (!by_index.emplace(index, position).second) {
                return fail(element, "index", "entry " + std::to_string(index) + " is described twice");
            }
        }
        if (by_index.empty() || by_index.begin()->first != 0) {
            return fail("entries", "entry 0 is required: its first variant's slot 0 pass gives the default state");
        }
        const uint32_t highest = by_index.rbegin()->first;
        entries_.assign(highest + 1, library::ShaderEntry{});
        for (const auto& [index, position] : by_index) {
            const std::string element =
                "entries[" + std::to_string(position) + "] (entry " + std::to_string(index) + ")";
            if (!read_entry(array[position], element, highest, &entries_[index])) {
                return false;
            }
        }
        // The default shader pass: setup 0 of slot 0 of entry 0's first variant.
        const library::ShaderEntry& first = entries_[0];
        const bool has_default = first.variant_count > 0 && (variants_[first.first_variant].slot_mask & 1) != 0 && [&] {
            const library::ShaderSlotPass& pass =
                slot_passes_[pass_indices_[variants_[first.first_variant].pass_index_base]];
            return pass.setup_count > 0 && setup_indices_[pass.setup_index_base] != library::no_setup &&
                   setups_[setup_indices_[pass.setup_index_base]].shader_pass_count > 0;
        }();
        if (!has_default) {
            return fail("entries[" + std::to_string(by_index.begin()->second) + "] (entry 0)", "variants",
                        "the first variant needs a slot 0 pass whose setup 0 has a shader pass: it gives the "
                        "engine's default state");
        }
        return true;
    }

    template <typename Record>
    void place_table(const std::vector<Record>& records, library::TableLocation* location, Bytes* resource) {
        location->offset = static_cast<uint32_t>(resource->size());
        location->count = static_cast<uint32_t>(records.size());
        const auto* first = reinterpret_cast<const uint8_t*>(records.data());
        resource->insert(resource->end(), first, first + records.size() * sizeof(Record));
    }

    void lay_out(Bytes* resource) {
        header_.version = library::shader_library_version;
        while (data_.size() % 4 != 0) {
            data_.push_back(0);
        }
        resource->assign(sizeof header_, 0);
        resource->insert(resource->end(), data_.begin(), data_.end());
        place_table(entries_, &header_.entries, resource);
        place_table(variants_, &header_.variants, resource);
        place_table(pass_indices_, &header_.pass_indices, resource);
        place_table(slot_passes_, &header_.slot_passes, resource);
        place_table(setup_indices_, &header_.setup_indices, resource);
        place_table(setups_, &header_.setups, resource);
        place_table(shader_passes_, &header_.shader_passes, resource);
        place_table(conditions_, &header_.conditions, resource);
        place_table(fibre_bindings_, &header_.fibre_bindings, resource);
        place_table(texture_unit_bindings_, &header_.texture_unit_bindings, resource);
        place_table(constant_bindings_, &header_.constant_bindings, resource);
        place_table(fibre_tag_defaults_, &header_.fibre_tag_defaults, resource);
        place_table(texture_tag_defaults_, &header_.texture_tag_defaults, resource);
        place_table(constant_tag_defaults_, &header_.constant_tag_defaults, resource);
        place_table(library_textures_, &header_.library_textures, resource);
        place_table(library_constants_, &header_.library_constants, resource);
        std::memcpy(resource->data(), &header_, sizeof header_);
    }

    std::string path_;
    std::filesystem::path folder_;
    std::string* error_;
    library::ShaderLibraryHeader header_{};
    Bytes data_;
    uint32_t next_cache_key_ = 1;
    std::map<std::string, uint32_t> glsl_records_;
    std::map<std::string, uint32_t> arb_records_;
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> program_shaders_;
    std::vector<library::ShaderEntry> entries_;
    std::vector<library::ShaderVariant> variants_;
    std::vector<uint32_t> pass_indices_;
    std::vector<library::ShaderSlotPass> slot_passes_;
    std::vector<uint32_t> setup_indices_;
    std::vector<library::ShaderSetup> setups_;
    std::vector<library::ShaderPass> shader_passes_;
    std::vector<library::ShaderCondition> conditions_;
    std::vector<library::FibreBinding> fibre_bindings_;
    std::vector<library::TextureUnitBinding> texture_unit_bindings_;
    std::vector<library::ConstantBinding> constant_bindings_;
    std::vector<uint32_t> fibre_tag_defaults_;
    std::vector<uint32_t> texture_tag_defaults_;
    std::vector<uint32_t> constant_tag_defaults_;
    std::vector<uint32_t> library_textures_;
    std::vector<library::LibraryConstant> library_constants_;
};

}  // namespace

bool compile_shader_library(const std::string& text, const std::string& path, std::vector<uint8_t>* resource,
                            std::string* error) {
    resource->clear();
    Json document;
    std::string problem;
    if (!parse_json_document(text, &document, &problem)) {
        *error = path + ": " + problem;
        return false;
    }
    LibraryCompiler compiler(path, error);
    if (!compiler.compile(document, resource)) {
        resource->clear();
        return false;
    }
    return true;
}

bool compile_shader_library_file(const std::string& path, std::vector<uint8_t>* resource, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!read_file(path, &bytes, error)) {
        return false;
    }
    return compile_shader_library(std::string(bytes.begin(), bytes.end()), path, resource, error);
}

}  // namespace zolt::tools

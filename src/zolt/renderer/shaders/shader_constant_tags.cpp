#include <array>
#include <cstring>
#include <vector>

#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/property.h"
#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/batcher/render_request.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer::shader_library {

namespace {

// The id a request's value provider is asked for.
constexpr uint32_t provided_value_id = 18;

struct ConstantTagOverrides {
    const ConstantValue* first = nullptr;
    const ConstantValue* second = nullptr;
    const ConstantValue* third = nullptr;
    bool first_pair_set = false;
    bool third_set = false;
};

ConstantTagOverrides overrides;
ConstantValue user_vectors[user_vector_count];
std::vector<ConstantValue> library_constants;

// Special constants resolve to these, so the value's home names its number.
constexpr ConstantValue make_special_value(uint32_t number) {
    ConstantValue value;
    value.words[0] = number;
    return value;
}
constexpr auto special_values = [] {
    std::array<ConstantValue, last_special_number + 1> values{};
    for (uint32_t number = 0; number <= last_special_number; ++number) {
        values[number] = make_special_value(number);
    }
    return values;
}();

const ConstantValue* answer_zero(ConstantValue* scratch) {
    *scratch = {};
    return scratch;
}

float get_colour_channel(uint32_t colour, uint32_t shift) {
    return static_cast<float>((colour >> shift) & 0xFF) * (1.0f / 255.0f);
}

const ConstantValue* resolve_property_constant(ConstantValue* scratch, ConstantKind* kind, uint32_t id,
                                               const ShaderLibraryContext& context) {
    core::Property property;
    if (context.source_object == nullptr || !context.source_object->get_property(id, property)) {
        return answer_zero(scratch);
    }
    const uint32_t value_type = core::get_property_value_type(property.id != 0 ? property.id : id);
    const core::Vector4 vector = property.get_vector();
    switch (value_type) {
    case core::property_type::vector2:
        scratch->set_floats(vector.x, vector.y, 0.0f, 0.0f);
        return scratch;
    case core::property_type::unsigned_integer: {
        const uint32_t colour = property.get_u32();
        scratch->set_floats(get_colour_channel(colour, 16), get_colour_channel(colour, 8),
                            get_colour_channel(colour, 0), get_colour_channel(colour, 24));
        return scratch;
    }
    case core::property_type::signed_integer:
        *kind = ConstantKind::integers;
        for (uint32_t& word : scratch->words) {
            word = property.get_u32();
        }
        return scratch;
    case core::property_type::floating:
        scratch->set_floats(vector.x, vector.x, vector.x, vector.x);
        return scratch;
    case core::property_type::vector3:
        scratch->set_floats(vector.x, vector.y, vector.z, 1.0f);
        return scratch;
    case core::property_type::vector4:
    case core::property_type::quaternion:
        scratch->set_floats(vector.x, vector.y, vector.z, vector.w);
        return scratch;
    default:
        return answer_zero(scratch);
    }
}

}  // namespace

const ConstantValue* resolve_constant_tag(ConstantValue* scratch, ConstantKind* kind, bool* dynamic, uint32_t tag,
                                          const ShaderLibraryContext& context) {
    *kind = ConstantKind::floats;
    *dynamic = false;
    if (overrides.first_pair_set && tag == first_override_tag) {
        return overrides.first;
    }
    if (overrides.first_pair_set && tag == second_override_tag) {
        return overrides.second;
    }
    if (overrides.third_set && tag == third_override_tag) {
        return overrides.third;
    }
    if (tag >= context.constant_tags.count) {
        return nullptr;
    }
    const uint32_t word = context.constant_tags.data[tag];
    const uint32_t parameter = get_tag_parameter(word);
    switch (static_cast<ConstantSource>(get_tag_source(word))) {
    case ConstantSource::special:
        if (parameter >= last_special_number) {
            ZOLT_PANIC("Unsupported special constant source %u", parameter);
        }
        *kind = ConstantKind::special;
        return &special_values[parameter + 1];
    case ConstantSource::viewport:
        // The block is filled for each view as it is drawn, so a material
        // resolved outside any view still reads the drawn view's vector.
        if (parameter >= viewport_vector_count) {
            return answer_zero(scratch);
        }
        return &get_viewport_constants().vectors[parameter];
    case ConstantSource::material:
        return parameter < context.vectors.count ? &context.vectors.data[parameter] : answer_zero(scratch);
    case ConstantSource::library:
        return parameter < library_constants.size() ? &library_constants[parameter] : answer_zero(scratch);
    case ConstantSource::property:
        *dynamic = true;
        return resolve_property_constant(scratch, kind, parameter, context);
    case ConstantSource::user_vector:
        return parameter < user_vector_count ? &user_vectors[parameter] : answer_zero(scratch);
    default:
        ZOLT_PANIC("Unsupported constant source %u for tag %u", word, tag);
    }
}

void resolve_special_constant_value(ConstantValue* scratch, const ShaderLibraryContext& context, uint32_t number) {
    if (number < first_special_number || number > last_special_number) {
        ZOLT_PANIC("Unsupported special constant source %u", number - 1);
    }
    if (number >= first_render_target_special_number && number <= last_render_target_special_number) {
        const TextureObject* const target =
            texture_server.get_render_target_in_slot(number - first_render_target_special_number);
        if (target == nullptr) {
            *scratch = {};
            return;
        }
        const auto width = static_cast<float>(target->get_width());
        const auto height = static_cast<float>(target->get_height());
        scratch->set_floats(width, height, width, height);
        return;
    }
    // Views and visibility contexts answer as when there is none.
    switch (number) {
    case first_special_number: {
        const DisplayMode& mode = get_current_display_mode();
        scratch->set_floats(static_cast<float>(mode.width), static_cast<float>(mode.height), 0.0f, 0.0f);
        return;
    }
    case provided_value_special_number: {
        *scratch = {};
        if (context.request != nullptr && context.request->value_provider != nullptr) {
            geometry::Vector4 value;
            context.request->value_provider->get_value(&value, provided_value_id);
            scratch->set_floats(value.x, value.y, value.z, value.w);
        }
        return;
    }
    case scale_special_number:
        scratch->set_floats(context.request != nullptr ? context.request->scale_value : 1.0f, 0.0f, 0.0f, 0.0f);
        return;
    default:
        *scratch = {};
        return;
    }
}

void set_constant_tag_overrides(const ConstantValue* first, const ConstantValue* second) {
    overrides.first = first;
    overrides.second = second;
    overrides.first_pair_set = true;
}

void set_constant_tag_override(const ConstantValue* third) {
    overrides.third = third;
    overrides.third_set = true;
}

void clear_constant_tag_overrides() {
    overrides = {};
}

void set_user_vector(uint32_t index, const ConstantValue& value) {
    if (index < user_vector_count) {
        user_vectors[index] = value;
    }
}

const ConstantValue& get_user_vector(uint32_t index) {
    return user_vectors[index < user_vector_count ? index : 0];
}

void clear_user_vectors() {
    for (ConstantValue& vector : user_vectors) {
        vector = {};
    }
}

void refresh_library_constants() {
    const LoadedShaderLibrary& library = get_loaded_library();
    const TableLocation& table = get_library_header().library_constants;
    const size_t bytes = size_t{table.count} * sizeof(ConstantValue);
    if (library.data == nullptr || bytes == 0) {
        library_constants.clear();
        return;
    }
    if (library_constants.size() == table.count &&
        std::memcmp(library_constants.data(), library.data + table.offset, bytes) == 0) {
        return;
    }
    library_constants.resize(table.count);
    std::memcpy(library_constants.data(), library.data + table.offset, bytes);
}

}  // namespace zolt::renderer::shader_library

#include "zolt/renderer/viewport/viewport.h"

#include <algorithm>
#include <iterator>

#include "zolt/core/object_server/property.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script_objects/extra_properties.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/texture/texture_object.h"
#include "zolt/renderer/texture/texture_server.h"
#include "zolt/renderer/viewport/viewport_server.h"

namespace zolt::renderer {

namespace {

namespace type = core::property_type;

// Keys and their typed ids.
enum Key : uint32_t {
    origin_key = 11,
    size_key = 14,
    order_key = 31,
    enabled_key = 91,
    camera_key = 251,
    width_key = 252,
    height_key = 253,
    layer_mask_key = 254,
    view_mask_key = 255,
    sprite_occlusion_key = 256,
    first_layer_parameter_key = 257,
    fake_shadow_limit_key = 282,
    user_float_0_key = 288,
    user_float_1_key = 289,
    user_vector_2_key = 290,
};

struct KeyType {
    uint32_t key;
    uint32_t type;
};

constexpr KeyType key_types[] = {
    {11, type::vector2},           {14, type::vector2},           {31, type::unsigned_integer},
    {91, type::unsigned_integer},  {251, type::object_link},      {252, type::floating},
    {253, type::floating},         {254, type::unsigned_integer}, {255, type::unsigned_integer},
    {256, type::unsigned_integer}, {257, type::vector4},          {258, type::floating},
    {259, type::unsigned_integer}, {260, type::unsigned_integer}, {261, type::unsigned_integer},
    {262, type::vector4},          {263, type::vector3},          {264, type::vector4},
    {265, type::vector4},          {266, type::vector4},          {267, type::vector4},
    {268, type::vector3},          {269, type::vector2},          {270, type::unsigned_integer},
    {271, type::floating},         {272, type::floating},         {273, type::floating},
    {274, type::floating},         {275, type::floating},         {276, type::floating},
    {277, type::floating},         {278, type::floating},         {279, type::floating},
    {280, type::unsigned_integer}, {281, type::vector4},          {282, type::unsigned_integer},
    {288, type::floating},         {289, type::floating},         {290, type::vector4},
};

// The key of a property id this class defines, or 0: getters take the bare
// key too, setters only the typed id.
uint32_t find_key(uint32_t id, bool bare_allowed) {
    const uint32_t key = id & 0xFFFFFF;
    for (const KeyType& entry : key_types) {
        if (entry.key == key) {
            const bool typed = id == core::make_property_id(entry.type, key);
            return typed || (bare_allowed && id == key) ? key : 0;
        }
    }
    return 0;
}

constexpr uint32_t type_word(uint32_t value_type) {
    return value_type << 24;
}

geometry::Vector4 read_vector(const core::Property& value) {
    return {value.get_float(0), value.get_float(1), value.get_float(2), value.get_float(3)};
}

void write_vector(core::Property& out, uint32_t value_type, const geometry::Vector4& vector, uint32_t count) {
    const float values[4] = {vector.x, vector.y, vector.z, vector.w};
    out.set_floats(type_word(value_type), values, count);
}

// The layer parameters by key, for the generic get and set.
geometry::Vector4* find_vector_parameter(ViewportLayerParameters& p, uint32_t key) {
    switch (key) {
    case 257:
        return &p.glow_257;
    case 262:
        return &p.glow_262;
    case 263:
        return &p.glow_263;
    case 264:
        return &p.glow_264;
    case 265:
        return &p.glow_265;
    case 266:
        return &p.glow_266;
    case 267:
        return &p.glow_267;
    case 268:
        return &p.glow_268;
    case 269:
        return &p.glow_269;
    case 281:
        return &p.shadow_parameters;
    default:
        return nullptr;
    }
}

uint32_t* find_word_parameter(ViewportLayerParameters& p, uint32_t key) {
    switch (key) {
    case 259:
        return &p.glow_blur_iterations;
    case 260:
        return &p.glow_divisor_x;
    case 261:
        return &p.glow_divisor_y;
    case 280:
        return &p.shadow_split_count;
    case 282:
        return &p.fake_shadow_limit;
    default:
        return nullptr;
    }
}

geometry::Vector4 get_display_size() {
    const DisplayMode& mode = get_current_display_mode();
    return {static_cast<float>(mode.width), static_cast<float>(mode.height), 0, 0};
}

TextureObject* resolve_texture(core::ObjectHandle handle) {
    if (handle == 0 || core::get_handle_server_type(handle) != core::server_type::texture) {
        return nullptr;
    }
    return static_cast<TextureObject*>(core::get_object(handle));
}

}  // namespace

void Viewport::initialize(uint32_t order) {
    camera_ = 0;
    dictionary_ = 0;
    origin_ = {};
    size_ = get_display_size();
    enabled_ = 1;
    order_ = static_cast<int32_t>(order);
    layer_mask_ = 0x1F3FF;
    view_mask_ = 1;
    sprite_occlusion_ = 0;
    std::fill(std::begin(user_vectors_), std::end(user_vectors_), geometry::Vector4{});
    std::fill(std::begin(textures_), std::end(textures_), core::ObjectHandle{0});
    parameters_ = ViewportLayerParameters{};
    viewport_server.insert_active_viewport(this);
    viewport_server.refresh_render_record(this);
}

void Viewport::finalize() {
    std::fill(std::begin(user_vectors_), std::end(user_vectors_), geometry::Vector4{});
    std::fill(std::begin(textures_), std::end(textures_), core::ObjectHandle{0});
    viewport_server.remove_active_viewport(this);
    core::destroy_extra_properties(dictionary_);
}

bool Viewport::get_property(uint32_t id, core::Property& out) const {
    const uint32_t key = find_key(id, true);
    if (key == 0) {
        return ServerObject::get_property(id, out) || core::get_extra_property(dictionary_, id, out);
    }
    auto& parameters = const_cast<ViewportLayerParameters&>(parameters_);
    switch (key) {
    case origin_key:
        write_vector(out, type::vector2, origin_, 2);
        return true;
    case size_key:
        write_vector(out, type::vector2, size_, 2);
        return true;
    case order_key:
        out.set_u32(type_word(type::unsigned_integer), static_cast<uint32_t>(order_));
        return true;
    case enabled_key:
        out.set_u32(type_word(type::unsigned_integer), enabled_);
        return true;
    case camera_key:
        out.set_u32(type_word(type::object_link), camera_);
        return true;
    case width_key:
        out.set_float(type_word(type::floating), size_.x);
        return true;
    case height_key:
        out.set_float(type_word(type::floating), size_.y);
        return true;
    case layer_mask_key:
        out.set_u32(type_word(type::unsigned_integer), layer_mask_);
        return true;
    case view_mask_key:
        out.set_u32(type_word(type::unsigned_integer), view_mask_);
        return true;
    case sprite_occlusion_key:
        out.set_u32(type_word(type::unsigned_integer), sprite_occlusion_);
        return true;
    case 270:
        out.set_u32(type_word(type::unsigned_integer), parameters.screen_pass);
        return true;
    case user_float_0_key:
    case user_float_1_key:
        out.set_float(type_word(type::floating), user_vectors_[key - user_float_0_key].x);
        return true;
    case user_vector_2_key:
        write_vector(out, type::vector4, user_vectors_[2], 4);
        return true;
    default:
        break;
    }
    if (const geometry::Vector4* vector = find_vector_parameter(parameters, key)) {
        const uint32_t value_type = key == 263 || key == 268 ? type::vector3
                                    : key == 269             ? type::vector2
                                                             : type::vector4;
        write_vector(out, value_type, *vector,
                     core::get_property_component_count(core::make_property_id(value_type, 0)));
    } else if (const float* number = parameters.find_float(key)) {
        out.set_float(type_word(type::floating), *number);
    } else if (const uint32_t* word = find_word_parameter(parameters, key)) {
        out.set_u32(type_word(type::unsigned_integer), *word);
    } else {
        return false;
    }
    return true;
}

bool Viewport::set_property(uint32_t id, const core::Property& value) {
    const uint32_t key = find_key(id, false);
    if (key == 0) {
        return ServerObject::set_property(id, value) || core::set_extra_property(dictionary_, id, value);
    }
    const geometry::Vector4 vector = read_vector(value);
    switch (key) {
    case origin_key:
        origin_ = {vector.x, vector.y, 0, 0};
        return true;
    case size_key:
        size_ = {vector.x, vector.y, 0, 0};
        return true;
    case order_key:
        viewport_server.remove_active_viewport(this);
        order_ = value.get_s32();
        viewport_server.insert_active_viewport(this);
        return true;
    case enabled_key:
        enabled_ = value.get_u32() != 0 ? 1 : 0;
        return true;
    case camera_key:
        camera_ = value.get_u32();
        return true;
    case width_key:
        size_.x = value.get_float();
        return true;
    case height_key:
        size_.y = value.get_float();
        return true;
    case layer_mask_key:
        layer_mask_ = value.get_u32();
        return true;
    case view_mask_key:
        view_mask_ = value.get_u32();
        return true;
    case sprite_occlusion_key:
        sprite_occlusion_ = value.get_u32() != 0 ? 1 : 0;
        return true;
    case 270:
        parameters_.screen_pass = value.get_u32() != 0 ? 1 : 0;
        return true;
    case 272:
    case 274:
    case 275:
    case 276:
    case 277:
        *parameters_.find_float(key) = std::max(value.get_float(), 0.0f);
        return true;
    case 278:
        parameters_.first_shadow_split = value.get_float();
        parameters_.shadow_distance = std::max(parameters_.shadow_distance, parameters_.first_shadow_split);
        return true;
    case 279:
        parameters_.shadow_distance = value.get_float();
        parameters_.first_shadow_split = std::min(parameters_.first_shadow_split, parameters_.shadow_distance);
        return true;
    case 281:
        parameters_.shadow_parameters = {std::clamp(vector.x, -1.0f, 1.0f), std::clamp(vector.y, -1.0f, 1.0f),
                                         std::clamp(vector.z, -1.0f, 1.0f), std::clamp(vector.w, -1.0f, 1.0f)};
        return true;
    case user_float_0_key:
    case user_float_1_key: {
        const float number = value.get_float();
        user_vectors_[key - user_float_0_key] = {number, number, number, number};
        return true;
    }
    case user_vector_2_key:
        user_vectors_[2] = vector;
        return true;
    default:
        break;
    }
    if (geometry::Vector4* const target = find_vector_parameter(parameters_, key)) {
        *target = vector;
    } else if (float* const number = parameters_.find_float(key)) {
        *number = value.get_float();
    } else if (uint32_t* const word = find_word_parameter(parameters_, key)) {
        *word = value.get_u32();
    }
    return true;
}

bool Viewport::remove_property(uint32_t id) {
    return core::remove_extra_property(dictionary_, id);
}

void Viewport::copy_to_render(ViewportRender& record) const {
    Camera* const camera = core::get_handle_server_type(camera_) == camera_server_type
                               ? static_cast<Camera*>(core::get_object(camera_))
                               : nullptr;
    Camera::copy_snapshot(camera, record.camera);
    record.origin = origin_;
    record.size = size_;
    record.enabled = enabled_;
    record.layer_mask = layer_mask_;
    record.view_mask = view_mask_;
    record.sprite_occlusion = sprite_occlusion_;
    std::copy(std::begin(user_vectors_), std::end(user_vectors_), std::begin(record.user_vectors));
    for (uint32_t slot = 0; slot < viewport_texture_slot_count; ++slot) {
        record.textures[slot] = resolve_texture(textures_[slot]);
    }
    record.parameters = parameters_;
}

namespace {

void write_vector_words(storage::SaveStream& stream, const geometry::Vector4& vector, uint32_t count) {
    const float values[4] = {vector.x, vector.y, vector.z, vector.w};
    for (uint32_t index = 0; index < count; ++index) {
        core::write_f32(stream, values[index]);
    }
}

bool read_vector_words(storage::LoadStream& stream, geometry::Vector4& vector, uint32_t count) {
    float values[4] = {};
    for (uint32_t index = 0; index < count; ++index) {
        if (!core::read_f32(stream, values[index])) {
            return false;
        }
    }
    vector = {values[0], values[1], values[2], values[3]};
    return true;
}

}  // namespace

void Viewport::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u32(stream, camera_);
    core::write_u32(stream, dictionary_);
    write_vector_words(stream, origin_, 2);
    write_vector_words(stream, size_, 2);
    core::write_u8(stream, enabled_);
    core::write_s32(stream, order_);
    core::write_u32(stream, layer_mask_);
    core::write_u32(stream, view_mask_);
    core::write_u8(stream, sprite_occlusion_);
    for (const geometry::Vector4& vector : user_vectors_) {
        write_vector_words(stream, vector, 4);
    }
    const ViewportLayerParameters& p = parameters_;
    write_vector_words(stream, p.glow_257, 4);
    core::write_f32(stream, p.glow_258);
    core::write_u32(stream, p.glow_blur_iterations);
    core::write_u32(stream, p.glow_divisor_x);
    core::write_u32(stream, p.glow_divisor_y);
    write_vector_words(stream, p.glow_262, 4);
    write_vector_words(stream, p.glow_263, 3);
    write_vector_words(stream, p.glow_264, 4);
    write_vector_words(stream, p.glow_265, 4);
    write_vector_words(stream, p.glow_266, 4);
    write_vector_words(stream, p.glow_267, 4);
    write_vector_words(stream, p.glow_268, 3);
    write_vector_words(stream, p.glow_269, 2);
    core::write_u8(stream, p.screen_pass);
    core::write_f32(stream, p.screen_pass_depth);
    core::write_f32(stream, p.screen_pass_value);
    for (const float number : p.depth_rendering) {
        core::write_f32(stream, number);
    }
    core::write_f32(stream, p.first_shadow_split);
    core::write_f32(stream, p.shadow_distance);
    core::write_u32(stream, p.shadow_split_count);
    write_vector_words(stream, p.shadow_parameters, 4);
    core::write_u32(stream, p.fake_shadow_limit);
    for (const core::ObjectHandle texture : textures_) {
        core::write_u32(stream, resolve_texture(texture) != nullptr ? texture : 0);
    }
}

bool Viewport::load(storage::LoadStream& stream) {
    ViewportLayerParameters& p = parameters_;
    bool ok = ServerObject::load(stream) && core::read_u32(stream, camera_) && core::read_u32(stream, dictionary_) &&
              read_vector_words(stream, origin_, 2) && read_vector_words(stream, size_, 2) &&
              core::read_u8(stream, enabled_) && core::read_s32(stream, order_) &&
              core::read_u32(stream, layer_mask_) && core::read_u32(stream, view_mask_) &&
              core::read_u8(stream, sprite_occlusion_);
    for (geometry::Vector4& vector : user_vectors_) {
        ok = ok && read_vector_words(stream, vector, 4);
    }
    ok = ok && read_vector_words(stream, p.glow_257, 4) && core::read_f32(stream, p.glow_258) &&
         core::read_u32(stream, p.glow_blur_iterations) && core::read_u32(stream, p.glow_divisor_x) &&
         core::read_u32(stream, p.glow_divisor_y) && read_vector_words(stream, p.glow_262, 4) &&
         read_vector_words(stream, p.glow_263, 3) && read_vector_words(stream, p.glow_264, 4) &&
         read_vector_words(stream, p.glow_265, 4) && read_vector_words(stream, p.glow_266, 4) &&
         read_vector_words(stream, p.glow_267, 4) && read_vector_words(stream, p.glow_268, 3) &&
         read_vector_words(stream, p.glow_269, 2) && core::read_u8(stream, p.screen_pass) &&
         core::read_f32(stream, p.screen_pass_depth) && core::read_f32(stream, p.screen_pass_value);
    for (float& number : p.depth_rendering) {
        ok = ok && core::read_f32(stream, number);
    }
    ok = ok && core::read_f32(stream, p.first_shadow_split) && core::read_f32(stream, p.shadow_distance) &&
         core::read_u32(stream, p.shadow_split_count) && read_vector_words(stream, p.shadow_parameters, 4) &&
         core::read_u32(stream, p.fake_shadow_limit);
    for (core::ObjectHandle& texture : textures_) {
        ok = ok && core::read_u32(stream, texture);
    }
    if (!ok) {
        return false;
    }
    for (core::ObjectHandle& texture : textures_) {
        if (resolve_texture(texture) == nullptr) {
            texture = 0;
        }
    }
    viewport_server.insert_active_viewport(this);
    viewport_server.refresh_render_record(this);
    return true;
}

}  // namespace zolt::renderer

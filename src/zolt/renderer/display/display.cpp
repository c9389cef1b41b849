#include "zolt/renderer/display/display.h"

#include <cmath>

#include "libs/utility/message_handler.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_object.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/renderer/display/display_server.h"
#include "zolt/renderer/display/image_atlas_format.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

namespace {

namespace p = display_property;

constexpr uint32_t handle_word = core::property_type::object_link << 24;
constexpr uint32_t integer_word = core::property_type::unsigned_integer << 24;
constexpr uint32_t small_integer_word = core::property_type::signed_integer << 24;
constexpr uint32_t float_word = core::property_type::floating << 24;
constexpr uint32_t vector2_word = core::property_type::vector2 << 24;

// A getter accepts the typed id or its bare key.
bool names(uint32_t id, uint32_t typed) {
    return id == typed || id == (typed & 0xFFFFFFu);
}

bool names_either(uint32_t id, uint32_t first, uint32_t second) {
    return names(id, first) || names(id, second);
}

core::Dictionary* find_dictionary(core::ObjectHandle handle) {
    if (handle == 0 || !core::dictionary_server.is_registered()) {
        return nullptr;
    }
    return core::dictionary_server.get_typed_object(handle);
}

}  // namespace

TextureObject* find_texture_object(core::ObjectHandle handle) {
    if (core::get_handle_server_type(handle) != core::server_type::texture || handle == 0) {
        return nullptr;
    }
    return static_cast<TextureObject*>(core::get_object(handle));
}

uint32_t Display::get_slot() const {
    return display_server.get_slot_of(*this);
}

void Display::mark_changed() {
    display_server.mark_dirty(*this);
}

void Display::initialize(uint32_t image) {
    texture = 0;
    geometry = OverlayQuad{};
    geometry.texture_extent = {1.0f, 1.0f};
    geometry.size = {32.0f, 32.0f};
    clip_origin = {};
    clip_size = {};
    color = opaque_white;
    layer = 0;
    visible = 0;
    dictionary = 0;
    material_number = 0;
    if (image != 0) {
        set_image(image);
        visible = 1;
    }
    display_server.reset_record(get_slot());
    mark_changed();
}

void Display::release_texture() {
    TextureObject* const held = find_texture_object(texture);
    if (held != nullptr && held->owns_itself()) {
        texture_server.release_texture(held);
    }
}

void Display::finalize() {
    release_texture();
    texture = 0;
    if (core::Dictionary* const properties = find_dictionary(dictionary)) {
        core::dictionary_server.destroy_object_internal(properties);
    }
    dictionary = 0;
}

void Display::set_image(uint32_t image) {
    const uint32_t atlas_number = get_image_atlas_number(image);
    core::ResourceObject* const atlas = display_server.open_atlas(atlas_number);
    const auto* const data = atlas != nullptr ? atlas->get_data() : nullptr;
    ImageAtlasHeader header{};
    if (data == nullptr || check_image_atlas(data, atlas->get_info()->unpacked_size, &header) != ImageAtlasFault::ok ||
        get_image_entry_index(image) >= header.entry_count) {
        if (!display_server.note_missing_image(image)) {
            report_message(MessageKind::Warning, nullptr, nullptr, 0, "image 0x%08x not found in atlas 0x%08x", image,
                           get_image_atlas_id(atlas_number));
        }
        release_texture();
        texture = 0;
        mark_changed();
        return;
    }
    TextureObject* const page = texture_server.create_texture(header.texture_id);
    // The previous texture goes only now, in case it is the same page.
    release_texture();
    if (!page->owns_itself()) {
        // A texture that belongs to another owner is only named.
        texture_server.release_texture(page);
    }
    texture = page->get_handle();
    ImageAtlasEntry entry = read_image_atlas_entry(data, get_image_entry_index(image));
    convert_entry_to_texels(entry, page->get_width(), page->get_height());
    geometry.texture_origin = {entry.texture_origin[0], entry.texture_origin[1]};
    geometry.texture_extent = {entry.texture_extent[0], entry.texture_extent[1]};
    geometry.size = {entry.size[0], entry.size[1]};
    geometry.pivot = {entry.pivot[0], entry.pivot[1]};
    mark_changed();
}

bool Display::get_vector_property(uint32_t id, core::Property& out) const {
    const Vector2* value = nullptr;
    if (names_either(id, p::position, p::position_other)) {
        value = &geometry.position;
    } else if (names_either(id, p::size, p::size_other)) {
        value = &geometry.size;
    } else if (names(id, p::texture_extent)) {
        value = &geometry.texture_extent;
    } else if (names(id, p::texture_origin)) {
        value = &geometry.texture_origin;
    } else if (names_either(id, p::pivot, p::pivot_other)) {
        value = &geometry.pivot;
    } else if (names_either(id, p::scale, p::scale_other)) {
        value = &geometry.scale;
    } else if (names(id, p::texture_scale)) {
        value = &geometry.texture_scale;
    } else if (names(id, p::clip_origin)) {
        value = &clip_origin;
    } else if (names(id, p::clip_size)) {
        value = &clip_size;
    } else {
        return false;
    }
    const float values[2] = {value->x, value->y};
    out.set_floats(vector2_word, values, 2);
    return true;
}

bool Display::get_property(uint32_t id, core::Property& out) const {
    if (get_vector_property(id, out)) {
        return true;
    }
    if (names(id, p::layer)) {
        out.set_u32(small_integer_word, static_cast<uint32_t>(static_cast<int32_t>(layer)));
    } else if (names_either(id, p::texture, p::texture_other)) {
        out.set_u32(handle_word, texture);
    } else if (names(id, p::texture_extent_x)) {
        out.set_float(float_word, geometry.texture_extent.x);
    } else if (names(id, p::texture_extent_y)) {
        out.set_float(float_word, geometry.texture_extent.y);
    } else if (names_either(id, p::size_x, p::size_x_other)) {
        out.set_float(float_word, geometry.size.x);
    } else if (names_either(id, p::size_y, p::size_y_other)) {
        out.set_float(float_word, geometry.size.y);
    } else if (names_either(id, p::angle, p::angle_other)) {
        out.set_float(float_word, geometry.angle);
    } else if (names(id, p::texture_angle)) {
        out.set_float(float_word, geometry.texture_angle);
    } else if (names(id, p::alpha)) {
        out.set_float(float_word, color_byte_to_float(static_cast<uint8_t>(color >> 24)));
    } else if (names(id, p::color)) {
        out.set_u32(integer_word, color);
    } else if (names(id, p::visible)) {
        out.set_u32(small_integer_word, visible != 0 ? 1 : 0);
    } else if (names(id, p::material_number)) {
        out.set_u32(integer_word, material_number);
    } else if (ServerObject::get_property(id, out)) {
        return true;
    } else {
        const core::Dictionary* const properties = find_dictionary(dictionary);
        return properties != nullptr && properties->get_property(id, out);
    }
    return true;
}

Display::VectorSet Display::set_vector_property(uint32_t id, const core::Property& value) {
    Vector2* target = nullptr;
    switch (id) {
    case p::position:
    case p::position_other:
        target = &geometry.position;
        break;
    case p::size:
    case p::size_other:
        target = &geometry.size;
        break;
    case p::texture_extent:
        target = &geometry.texture_extent;
        break;
    case p::texture_origin:
        target = &geometry.texture_origin;
        break;
    case p::pivot:
    case p::pivot_other:
        target = &geometry.pivot;
        break;
    case p::scale:
    case p::scale_other:
        target = &geometry.scale;
        break;
    case p::texture_scale:
        target = &geometry.texture_scale;
        break;
    case p::clip_origin:
        target = &clip_origin;
        break;
    case p::clip_size:
        target = &clip_size;
        break;
    default:
        return VectorSet::not_a_vector;
    }
    const Vector2 given{value.get_float(0), value.get_float(1)};
    const bool is_size = target == &geometry.size;
    // Out of range: not a finite number, or a negative size.
    if (!std::isfinite(given.x) || !std::isfinite(given.y) || (is_size && (given.x < 0.0f || given.y < 0.0f))) {
        return VectorSet::refused;
    }
    *target = given;
    mark_changed();
    return VectorSet::stored;
}

bool Display::set_property(uint32_t id, const core::Property& value) {
    if (core::get_property_value_type(id) == core::property_type::vector2) {
        const VectorSet result = set_vector_property(id, value);
        if (result != VectorSet::not_a_vector) {
            return result == VectorSet::stored;
        }
    }
    float* scalar = nullptr;
    switch (id) {
    case p::layer: {
        const int32_t given = value.get_s32();
        if (given < INT16_MIN || given > INT16_MAX) {
            return false;
        }
        if (given != layer) {
            layer = static_cast<int16_t>(given);
            mark_changed();
        }
        return true;
    }
    case p::texture:
    case p::texture_other: {
        const core::ObjectHandle handle = value.get_u32();
        core::ServerObject* const named = core::get_object(handle);
        TextureObject* acquired = nullptr;
        if (named != nullptr && named->owns_itself()) {
            if (core::get_handle_server_type(handle) != core::server_type::texture) {
                return false;
            }
            acquired = texture_server.create_texture(static_cast<TextureObject*>(named)->get_id());
        }
        release_texture();
        texture = acquired != nullptr ? acquired->get_handle() : handle;
        mark_changed();
        return true;
    }
    case p::texture_extent_x:
        scalar = &geometry.texture_extent.x;
        break;
    case p::texture_extent_y:
        scalar = &geometry.texture_extent.y;
        break;
    case p::size_x:
    case p::size_x_other:
        scalar = &geometry.size.x;
        break;
    case p::size_y:
    case p::size_y_other:
        scalar = &geometry.size.y;
        break;
    case p::angle:
    case p::angle_other:
        scalar = &geometry.angle;
        break;
    case p::texture_angle:
        scalar = &geometry.texture_angle;
        break;
    case p::alpha:
        if (std::isnan(value.get_float())) {
            return false;
        }
        color = set_color_alpha(color, value.get_float());
        mark_changed();
        return true;
    case p::color:
        color = value.get_u32();
        mark_changed();
        return true;
    case p::visible:
        visible = value.get_u32() != 0 ? 1 : 0;
        mark_changed();
        return true;
    case p::material_number:
        if (value.get_u32() != material_number) {
            material_number = value.get_u32();
            mark_changed();
        }
        return true;
    default:
        break;
    }
    if (scalar != nullptr) {
        const float given = value.get_float();
        const bool is_size = scalar == &geometry.size.x || scalar == &geometry.size.y;
        if (!std::isfinite(given) || (is_size && given < 0.0f)) {
            return false;
        }
        *scalar = given;
        mark_changed();
        return true;
    }
    if (ServerObject::set_property(id, value)) {
        return true;
    }
    if (core::Dictionary* const properties = find_dictionary(dictionary)) {
        if (material_number != 0) {
            mark_changed();
        }
        return properties->set_property(id, value);
    }
    if (!core::dictionary_server.is_registered()) {
        return false;
    }
    core::Dictionary* const properties = core::dictionary_server.create_dictionary(0);
    if (!properties->set_property(id, value)) {
        core::dictionary_server.destroy_object_internal(properties);
        return false;
    }
    dictionary = properties->get_handle();
    if (material_number != 0) {
        mark_changed();
    }
    return true;
}

bool Display::remove_property(uint32_t id) {
    core::Dictionary* const properties = find_dictionary(dictionary);
    if (properties == nullptr) {
        return false;
    }
    mark_changed();
    return properties->remove_property(id);
}

void Display::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u32(stream, texture);
    const Vector2 pairs_before[] = {geometry.texture_origin, geometry.position, geometry.pivot, geometry.texture_extent,
                                    geometry.size};
    for (const Vector2& pair : pairs_before) {
        core::write_f32(stream, pair.x);
        core::write_f32(stream, pair.y);
    }
    core::write_f32(stream, geometry.texture_angle);
    core::write_f32(stream, geometry.angle);
    const Vector2 pairs_after[] = {geometry.texture_scale, geometry.scale, clip_origin, clip_size};
    for (const Vector2& pair : pairs_after) {
        core::write_f32(stream, pair.x);
        core::write_f32(stream, pair.y);
    }
    core::write_u32(stream, color);
    const uint16_t layer_word = static_cast<uint16_t>(layer);
    core::write_bytes(stream, &layer_word, sizeof layer_word);
    core::write_u8(stream, visible);
    core::write_u32(stream, dictionary);
    core::write_u32(stream, material_number);
    const Material* const instance = display_server.get_record(get_slot()).material;
    core::write_u32(stream, instance != nullptr ? instance->get_handle() : 0);
}

bool Display::load(storage::LoadStream& stream) {
    if (!ServerObject::load(stream) || !core::read_u32(stream, texture)) {
        return false;
    }
    Vector2* const pairs_before[] = {&geometry.texture_origin, &geometry.position, &geometry.pivot,
                                     &geometry.texture_extent, &geometry.size};
    for (Vector2* pair : pairs_before) {
        if (!core::read_f32(stream, pair->x) || !core::read_f32(stream, pair->y)) {
            return false;
        }
    }
    if (!core::read_f32(stream, geometry.texture_angle) || !core::read_f32(stream, geometry.angle)) {
        return false;
    }
    Vector2* const pairs_after[] = {&geometry.texture_scale, &geometry.scale, &clip_origin, &clip_size};
    for (Vector2* pair : pairs_after) {
        if (!core::read_f32(stream, pair->x) || !core::read_f32(stream, pair->y)) {
            return false;
        }
    }
    uint16_t layer_word = 0;
    uint32_t instance = 0;
    if (!core::read_u32(stream, color) || !core::read_bytes(stream, &layer_word, sizeof layer_word) ||
        !core::read_u8(stream, visible) || !core::read_u32(stream, dictionary) ||
        !core::read_u32(stream, material_number) || !core::read_u32(stream, instance)) {
        return false;
    }
    layer = static_cast<int16_t>(layer_word);
    display_server.restore_record(*this, instance);
    return true;
}

}  // namespace zolt::renderer

#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/property.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer::shader_library {

namespace {

TextureObject* const* take_texture(uint32_t id, TextureObject** texture_out) {
    *texture_out = texture_server.create_texture(id);
    return texture_out;
}

TextureObject* const* resolve_property_texture(uint32_t id, const ShaderLibraryContext& context,
                                               TextureObject** texture_out) {
    core::Property property;
    if (context.source_object == nullptr || !context.source_object->get_property(id, property)) {
        return nullptr;
    }
    const uint32_t value_type = core::get_property_value_type(property.id != 0 ? property.id : id);
    if (value_type != core::property_type::object_link) {
        return take_texture(property.get_u32(), texture_out);
    }
    const core::ObjectHandle handle = property.get_u32();
    if (core::get_handle_server_type(handle) != core::server_type::texture) {
        return nullptr;
    }
    const auto* const texture = static_cast<const TextureObject*>(core::get_object(handle));
    return texture != nullptr ? take_texture(texture->get_id(), texture_out) : nullptr;
}

}  // namespace

TextureObject* const* resolve_texture_tag(uint32_t tag, const ShaderLibraryContext& context,
                                          TextureObject** texture_out, bool* dynamic) {
    *texture_out = nullptr;
    *dynamic = false;
    if (tag >= context.texture_tags.count || context.texture_tags.data[tag] == 0) {
        return nullptr;
    }
    const uint32_t word = context.texture_tags.data[tag];
    const uint32_t parameter = get_tag_parameter(word);
    switch (static_cast<TextureSource>(get_tag_source(word))) {
    case TextureSource::renderer_slot:
        return parameter < renderer_texture_slot_count ? get_renderer_texture_slot(parameter) : nullptr;
    case TextureSource::global_slot:
        return parameter < global_texture_slot_count ? get_committed_global_texture_slot(parameter) : nullptr;
    case TextureSource::viewport_slot:
        if (context.view == nullptr || parameter >= viewport_texture_slot_count) {
            return nullptr;
        }
        return &get_viewport_constants().textures[parameter];
    case TextureSource::material:
        return parameter < context.textures.count ? take_texture(context.textures.data[parameter], texture_out)
                                                  : nullptr;
    case TextureSource::library: {
        const TableLocation& table = get_library_header().library_textures;
        return parameter < table.count ? take_texture(read_record<uint32_t>(table, parameter), texture_out) : nullptr;
    }
    case TextureSource::property:
        *dynamic = true;
        return resolve_property_texture(parameter, context, texture_out);
    default:
        ZOLT_PANIC("Unsupported texture source type %u", get_tag_source(word));
    }
}

}  // namespace zolt::renderer::shader_library

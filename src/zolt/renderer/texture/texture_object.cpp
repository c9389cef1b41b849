#include "zolt/renderer/texture/texture_object.h"

#include <cinttypes>
#include <cstring>

#include "libs/opengl/shadowmap_framebuffer.h"
#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_object.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/texture/texture_render_target_ids.h"
#include "zolt/renderer/texture/texture_resource_format.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

namespace {

const core::ResourceObject* get_resource_object(core::ObjectHandle handle) {
    if (core::get_handle_server_type(handle) != core::server_type::resource) {
        return nullptr;
    }
    return static_cast<const core::ResourceObject*>(core::get_object(handle));
}

// A texture whose resources do not describe it is broken content: it is
// refused before anything reads its bytes.
[[noreturn]] void refuse_texture(uint32_t id, uint32_t format, TextureResourceFault fault) {
    switch (fault) {
    case TextureResourceFault::unknown_target:
        ZOLT_PANIC("Malformed texture, with unrecognizable format 0x%x\ntexture 0x%08" PRIx32, format, id);
    case TextureResourceFault::unknown_texel_format:
        ZOLT_PANIC("Malformed texture with unrecognized texel format 0x%x\ntexture 0x%08" PRIx32,
                   get_texel_format_bits(format), id);
    case TextureResourceFault::compressed_3d:
        ZOLT_PANIC("Unsupported combination of texture format and compression flags.\ntexture 0x%08" PRIx32, id);
    default:
        ZOLT_PANIC("Malformed texture 0x%08" PRIx32 ": %s", id, describe_texture_resource_fault(fault));
    }
}

}  // namespace

void TextureObject::initialize(uint32_t id) {
    id_ = id;
    header_resource_ = 0;
    resident_resource_ = 0;
    reference_count_ = 0;
    if (is_resource_texture_id(id)) {
        core::ResourceServer& resources = core::resource_server;
        header_resource_ = resources.open_resource(id)->get_handle();
        resident_resource_ = resources.open_resource(get_resident_levels_id(id))->get_handle();
    }
    setup();
}

void TextureObject::setup() {
    upload_state_ = TextureUploadState::not_uploaded;
    upload_ = {};
    last_used_frame_ = read_issued_counter() - fresh_texture_age;
    if (is_resource_texture()) {
        read_resource_attributes();
    } else {
        update_dynamic_texture_attributes();
    }
    TextureUploadState cached_state{};
    TextureUploadRecord cached_upload;
    if (texture_server.get_cache().take_cached_texture(id_, &cached_state, &cached_upload)) {
        upload_state_ = cached_state;
        upload_ = cached_upload;
    }
    texture_server.link_texture(this);
}

void TextureObject::read_resource_attributes() {
    const core::ResourceObject* const header = get_resource_object(header_resource_);
    const core::ResourceObject* const resident = get_resource_object(resident_resource_);
    if (header == nullptr || resident == nullptr) {
        ZOLT_PANIC("texture 0x%08" PRIx32 " has lost its resources", id_);
    }
    TextureLayout layout;
    uint32_t format = 0;
    if (header->get_info()->unpacked_size >= sizeof format) {
        std::memcpy(&format, header->get_data(), sizeof format);
    }
    TextureResourceFault fault = check_texture_header(header->get_data(), header->get_info()->unpacked_size, &layout);
    if (fault == TextureResourceFault::ok) {
        fault = check_resident_size(layout, resident->get_info()->unpacked_size);
    }
    if (fault == TextureResourceFault::ok && layout.streamed_segment_count != 0) {
        // The streamed levels are read at offsets only their layout gives.
        const core::ResourceInfo* const streamed =
            core::resource_server.get_loader().find_resource(get_streamed_levels_id(id_));
        if (streamed == nullptr || streamed->unpacked_size != layout.streamed_size) {
            ZOLT_PANIC("Malformed texture 0x%08" PRIx32 ": its streamed levels (resource 0x%08" PRIx32 ") are %s", id_,
                       get_streamed_levels_id(id_),
                       streamed == nullptr ? "missing" : "not the size the header describes");
        }
    }
    if (fault != TextureResourceFault::ok) {
        refuse_texture(id_, format, fault);
    }
    format_ = layout.header.format;
    width_ = layout.header.width;
    height_ = layout.header.height;
    depth_ = layout.header.depth;
    streamed_segment_count_ = static_cast<uint16_t>(layout.streamed_segment_count);
}

void TextureObject::update_dynamic_texture_attributes() {
    if (!is_render_target_texture_id(id_)) {
        ZOLT_PANIC("texture id 0x%08" PRIx32 " names neither a resource texture nor a render target", id_);
    }
    format_ = get_render_target_format(id_);
    if (find_texel_format(get_texel_format_bits(format_)) == nullptr) {
        refuse_texture(id_, format_, TextureResourceFault::unknown_texel_format);
    }
    const DisplayMode& mode = get_current_display_mode();
    const RenderTargetSize size =
        get_render_target_size(id_, mode.width, mode.height, opengl::get_framebuffer_object_state().shadowmap_size);
    width_ = static_cast<uint16_t>(size.width < 0xFFFF ? size.width : 0xFFFF);
    height_ = static_cast<uint16_t>(size.height < 0xFFFF ? size.height : 0xFFFF);
    depth_ = 1;
    streamed_segment_count_ = 0;
}

void TextureObject::finalize() {
    texture_server.unlink_texture(this);
    texture_server.forget_unit_bindings(this);
    if (upload_.name != 0 || upload_.low_resolution_name != 0) {
        texture_server.get_cache().cache_texture(id_, upload_state_, upload_);
    }
    upload_ = {};
    upload_state_ = TextureUploadState::not_uploaded;
    for (core::ObjectHandle* handle : {&header_resource_, &resident_resource_}) {
        if (core::ServerObject* const resource = core::get_object(*handle)) {
            core::resource_server.destroy_object_internal(resource);
        }
        *handle = 0;
    }
    reference_count_ = 0;
}

void TextureObject::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u32(stream, id_);
    core::write_u32(stream, header_resource_);
    core::write_u32(stream, resident_resource_);
    core::write_u32(stream, read_completed_counter() - last_used_frame_);
    core::write_u32(stream, reference_count_);
}

bool TextureObject::load(storage::LoadStream& stream) {
    uint32_t age = 0;
    if (!ServerObject::load(stream) || !core::read_u32(stream, id_) || !core::read_u32(stream, header_resource_) ||
        !core::read_u32(stream, resident_resource_) || !core::read_u32(stream, age) ||
        !core::read_u32(stream, reference_count_)) {
        return false;
    }
    // Only what the texture itself would have made can come from a saved world.
    if (is_resource_texture_id(id_)) {
        const core::ResourceObject* const header = get_resource_object(header_resource_);
        const core::ResourceObject* const resident = get_resource_object(resident_resource_);
        if (header == nullptr || resident == nullptr || header->get_info()->id != id_ ||
            resident->get_info()->id != get_resident_levels_id(id_)) {
            return false;
        }
    } else if (!is_render_target_texture_id(id_) || header_resource_ != 0 || resident_resource_ != 0 ||
               find_texel_format(get_texel_format_bits(get_render_target_format(id_))) == nullptr) {
        return false;
    }
    if (!texture_server.can_take_loaded_texture(id_)) {
        return false;
    }
    ServerObject::make_self_owned(this);
    setup();
    last_used_frame_ = read_completed_counter() - age;
    return true;
}

bool TextureObject::get_property(uint32_t id, core::Property& out) const {
    if (id == texture_size_property || id == (texture_size_property & 0xFFFFFFu)) {
        const float size[2] = {static_cast<float>(width_), static_cast<float>(height_)};
        out.set_floats(texture_size_property & 0xFF000000u, size, 2);
        return true;
    }
    return ServerObject::get_property(id, out);
}

bool TextureObject::is_resource_texture() const {
    return is_resource_texture_id(id_);
}

bool TextureObject::is_lightmap() const {
    return is_lightmap_format(format_);
}

uint32_t TextureObject::get_level_count() const {
    return get_texture_level_count(format_);
}

uint32_t TextureObject::get_gl_target() const {
    return get_texture_gl_target(format_);
}

TextureGlParameters TextureObject::get_gl_parameters() const {
    return get_texture_gl_parameters(format_, is_resource_texture());
}

uint32_t TextureObject::get_assumed_texel_bit_size() const {
    return renderer::get_assumed_texel_bit_size(format_);
}

uint32_t TextureObject::get_compression_block_dimension() const {
    const TexelFormatInfo* const info = find_texel_format(get_texel_format_bits(format_));
    return info != nullptr ? info->block_dimension : 1;
}

uint32_t TextureObject::get_in_resource_surface_element_size() const {
    const TexelFormatInfo* const info = find_texel_format(get_texel_format_bits(format_));
    if (info == nullptr) {
        ZOLT_PANIC("Unsupported texel format %u", get_texel_format_bits(format_));
    }
    return info->element_bytes;
}

uint32_t TextureObject::get_bound_name() const {
    return upload_state_ == TextureUploadState::failed ? 0 : upload_.name;
}

uint64_t TextureObject::estimate_level_bytes(uint32_t skipped_levels) const {
    const uint64_t faces = get_texture_target_bits(format_) == static_cast<uint32_t>(TextureTarget::cube_map) ? 6 : 1;
    const bool is_3d = get_texture_target_bits(format_) == static_cast<uint32_t>(TextureTarget::texture_3d);
    const uint64_t bits = get_assumed_texel_bit_size();
    uint64_t total = 0;
    for (uint32_t level = skipped_levels; level < get_level_count(); ++level) {
        const uint64_t texels = uint64_t{get_level_dimension(width_, level)} * get_level_dimension(height_, level) *
                                (is_3d ? get_level_dimension(depth_, level) : 1u);
        total += (texels * bits + 32767) / 32768 * 4096 * faces;
    }
    return total;
}

uint64_t TextureObject::estimate_texture_bytes(TextureUploadState state) const {
    uint64_t bytes = estimate_level_bytes(get_skipped_level_count(state, streamed_segment_count_));
    if (state == TextureUploadState::one_segment || state == TextureUploadState::full_resolution) {
        bytes += estimate_level_bytes(streamed_segment_count_);
    }
    return bytes;
}

bool TextureObject::is_recently_used() const {
    const uint32_t window = is_lightmap() ? recently_used_lightmap_frames : recently_used_frames;
    return read_completed_counter() - last_used_frame_ < window;
}

void TextureObject::set_gl_texture(uint32_t name, uint64_t bytes) {
    if (name != upload_.name) {
        texture_server.forget_unit_bindings(this);
    }
    upload_.name = name;
    upload_.bytes = bytes;
}

void TextureObject::delete_gl_textures() {
    texture_server.forget_unit_bindings(this);
    const bool streaming_failed = upload_.streaming_failed;
    release_upload_record(upload_);
    upload_.streaming_failed = streaming_failed;
}

}  // namespace zolt::renderer

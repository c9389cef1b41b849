#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <bit>

#include "libs/opengl/buffer_binding.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_error.h"
#include "libs/opengl/shadowmap_framebuffer.h"
#include "libs/utility/fatal_error.h"
#include "platform/system/clock.h"
#include "zolt/core/resources/resource_object.h"
#include "zolt/renderer/backend/buffer_object_bytes.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/texture/texture_config.h"
#include "zolt/renderer/texture/texture_object.h"
#include "zolt/renderer/texture/texture_resource_format.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

namespace {

using opengl::gl;

constexpr uint32_t surface_upload_attempts = 5;
constexpr uint32_t max_source_segments = 2;

bool is_power_of_two(uint32_t value) {
    return value != 0 && std::has_single_bit(value);
}

const void* to_pointer(uintptr_t address) {
    return reinterpret_cast<const void*>(address);
}

}  // namespace

uint32_t TextureObject::get_level_size(uint32_t level) const {
    const TexelFormatInfo* const info = find_texel_format(get_texel_format_bits(format_));
    const uint32_t faces = get_texture_target_bits(format_) == static_cast<uint32_t>(TextureTarget::cube_map) ? 6u : 1u;
    return round_up_to_4(get_surface_size(*info, get_level_dimension(width_, level),
                                          get_level_dimension(height_, level), get_level_dimension(depth_, level))) *
           faces;
}

const uint8_t* TextureObject::get_resident_data() const {
    const auto* const resident = static_cast<const core::ResourceObject*>(core::get_object(resident_resource_));
    return resident != nullptr ? static_cast<const uint8_t*>(resident->get_data()) : nullptr;
}

uint32_t TextureObject::upload_surface(const void* data, uint32_t width, uint32_t height, uint32_t depth,
                                       uint32_t level, uint32_t target) const {
    const TexelFormatInfo* const info = find_texel_format(get_texel_format_bits(format_));
    if (info == nullptr) {
        ZOLT_PANIC("Unsupported texel format %u", get_texel_format_bits(format_));
    }
    const TextureGlParameters parameters = get_gl_parameters();
    const auto size = static_cast<uint32_t>(get_surface_size(*info, width, height, depth));
    const auto internal_format = static_cast<GLint>(parameters.internal_format);
    const auto w = static_cast<GLsizei>(width);
    const auto h = static_cast<GLsizei>(height);
    const auto d = static_cast<GLsizei>(depth);
    const bool is_flat = target == GL_TEXTURE_2D ||
                         (target >= GL_TEXTURE_CUBE_MAP_POSITIVE_X && target <= GL_TEXTURE_CUBE_MAP_NEGATIVE_Z);
    if (!is_flat && target != GL_TEXTURE_3D) {
        ZOLT_PANIC("Unsupported combination of texture format and compression flags.");
    }
    for (uint32_t attempt = 1;; ++attempt) {
        if (is_flat && !parameters.compressed) {
            gl.glTexImage2D(target, static_cast<GLint>(level), internal_format, w, h, 0, parameters.format,
                            parameters.type, data);
        } else if (is_flat) {
            gl.glCompressedTexImage2D(target, static_cast<GLint>(level), parameters.internal_format, w, h, 0,
                                      static_cast<GLsizei>(size), data);
        } else if (!parameters.compressed) {
            gl.glTexImage3D(target, static_cast<GLint>(level), internal_format, w, h, d, 0, parameters.format,
                            parameters.type, data);
        } else {
            gl.glCompressedTexImage3D(target, static_cast<GLint>(level), parameters.internal_format, w, h, d, 0,
                                      static_cast<GLsizei>(size), data);
        }
        if (ZOLT_CHECK_OPENGL_ERRORS() == 0) {
            return round_up_to_4(size);
        }
        if (attempt == surface_upload_attempts) {
            return 0;
        }
        // The driver may be short of memory that finished work gives back.
        gl.glFinish();
        platform::sleep_milliseconds(1);
    }
}

bool TextureObject::upload_levels(const SourceSegment* segments, uint32_t segment_count,
                                  const StagedSegment* placements, uint32_t skipped_levels, uint32_t target) const {
    const uint32_t level_count = get_level_count();
    const uint32_t faces = target == GL_TEXTURE_CUBE_MAP ? 6u : 1u;
    uint32_t level = skipped_levels;
    for (uint32_t index = 0; index < segment_count; ++index) {
        const SourceSegment& segment = segments[index];
        const bool staged = placements[index].buffer != 0;
        opengl::bind_buffer(opengl::pixel_unpack_buffer_target, placements[index].buffer);
        uintptr_t address = staged ? placements[index].offset : reinterpret_cast<uintptr_t>(segment.data);
        for (uint32_t step = 0; step < segment.level_count && level < level_count; ++step, ++level) {
            const uint32_t width = get_level_dimension(width_, level);
            const uint32_t height = get_level_dimension(height_, level);
            const uint32_t depth = get_level_dimension(depth_, level);
            for (uint32_t face = 0; face < faces; ++face) {
                const uint32_t face_target = faces == 6 ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : target;
                const uint32_t size =
                    upload_surface(to_pointer(address), width, height, depth, level - skipped_levels, face_target);
                if (size == 0) {
                    return false;
                }
                address += size;
            }
        }
    }
    return level == level_count;
}

bool TextureObject::create_gl_texture(const SourceSegment* segments, uint32_t segment_count, uint32_t skipped_levels,
                                      uint32_t* name, uint64_t* bytes) const {
    const uint32_t target = get_gl_target();
    const uint8_t* data[max_source_segments] = {};
    uint32_t sizes[max_source_segments] = {};
    uint32_t level = skipped_levels;
    for (uint32_t index = 0; index < segment_count; ++index) {
        data[index] = segments[index].data;
        for (uint32_t step = 0; step < segments[index].level_count && level < get_level_count(); ++step) {
            sizes[index] += get_level_size(level++);
        }
    }
    StagedSegment placements[max_source_segments] = {};
    UploadPixelBuffers& buffers = texture_server.get_upload_pixel_buffers();
    if (buffers.has_any() && get_in_resource_surface_element_size() % 4 == 0 &&
        (opengl::capabilities.quirk_nvidia_pixel_buffers || (is_power_of_two(width_) && is_power_of_two(height_)))) {
        buffers.stage(data, sizes, segment_count, placements);
    }
    GLuint texture = 0;
    gl.glGenTextures(1, &texture);
    gl.glBindTexture(target, texture);
    const uint64_t estimate = estimate_level_bytes(skipped_levels);
    add_buffer_object_bytes(estimate);
    ZOLT_SKIP_OPENGL_ERRORS();
    const bool uploaded = upload_levels(segments, segment_count, placements, skipped_levels, target);
    opengl::bind_buffer(opengl::pixel_unpack_buffer_target, 0);
    if (uploaded) {
        // A chain that stops above 1 x 1 is complete only with its last level named.
        gl.glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(get_level_count() - skipped_levels - 1));
        upload_filtering(target);
        upload_wrapping(target);
    }
    gl.glBindTexture(target, 0);
    texture_server.note_target_unbound(target);
    if (!uploaded) {
        gl.glDeleteTextures(1, &texture);
        subtract_buffer_object_bytes(estimate);
        return false;
    }
    *name = texture;
    *bytes = estimate;
    return true;
}

void TextureObject::upload_internal_dynamic() {
    const TextureGlParameters parameters = get_texture_gl_parameters(format_, false);
    GLuint texture = 0;
    gl.glGenTextures(1, &texture);
    gl.glBindTexture(GL_TEXTURE_2D, texture);
    ZOLT_SKIP_OPENGL_ERRORS();
    gl.glTexImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(parameters.internal_format), width_, height_, 0,
                    parameters.format, parameters.type, nullptr);
    if (ZOLT_CHECK_OPENGL_ERRORS() != 0) {
        gl.glBindTexture(GL_TEXTURE_2D, 0);
        texture_server.note_target_unbound(GL_TEXTURE_2D);
        gl.glDeleteTextures(1, &texture);
        texture_server.set_upload_state(this, TextureUploadState::failed);
        return;
    }
    const uint64_t bytes = estimate_texture_bytes(TextureUploadState::complete);
    add_buffer_object_bytes(bytes);
    upload_filtering(GL_TEXTURE_2D);
    upload_wrapping(GL_TEXTURE_2D);
    gl.glBindTexture(GL_TEXTURE_2D, 0);
    texture_server.note_target_unbound(GL_TEXTURE_2D);
    set_gl_texture(texture, bytes);
    upload_.low_resolution_name = texture;
    upload_.low_resolution_bytes = bytes;
    texture_server.set_upload_state(this, TextureUploadState::complete);
    if (get_texel_format_bits(format_) == static_cast<uint32_t>(TexelFormat::depth) &&
        opengl::get_framebuffer_object_state().framebuffer != 0) {
        // The first attachment of a depth texture is where drivers settle
        // its layout; doing it now keeps that out of the first shadow pass.
        opengl::framebuffer_object_activate_shadowmap(texture, 0);
        opengl::framebuffer_object_deactivate();
    }
}

void TextureObject::upload_resident_levels() {
    const uint32_t streamed = streamed_segment_count_;
    const SourceSegment resident{get_resident_data(), get_level_count() - streamed};
    uint32_t name = 0;
    uint64_t bytes = 0;
    if (!create_gl_texture(&resident, 1, streamed, &name, &bytes)) {
        texture_server.set_upload_state(this, TextureUploadState::failed);
        return;
    }
    set_gl_texture(name, bytes);
    upload_.low_resolution_name = name;
    upload_.low_resolution_bytes = bytes;
    texture_server.set_upload_state(this,
                                    streamed == 0 ? TextureUploadState::complete : TextureUploadState::resident_levels);
}

void TextureObject::upload_streamed_levels(const uint8_t* data, TextureUploadState target) {
    // Streamed levels build on the resident copy; a texture that lost it
    // (reloaded meanwhile) takes its first upload again instead.
    if (upload_state_ != TextureUploadState::resident_levels && upload_state_ != TextureUploadState::one_segment) {
        return;
    }
    if (static_cast<uint32_t>(upload_state_) >= static_cast<uint32_t>(target)) {
        return;
    }
    if (upload_.name != 0 && upload_.name != upload_.low_resolution_name) {
        GLuint higher = upload_.name;
        gl.glDeleteTextures(1, &higher);
        subtract_buffer_object_bytes(upload_.bytes);
        set_gl_texture(upload_.low_resolution_name, upload_.low_resolution_bytes);
    }
    const uint32_t streamed = streamed_segment_count_;
    const bool is_one_segment = target == TextureUploadState::one_segment;
    const SourceSegment segments[max_source_segments] = {
        {data, is_one_segment ? streamed - 1 : streamed},
        {get_resident_data(), get_level_count() - streamed},
    };
    uint32_t name = 0;
    uint64_t bytes = 0;
    if (create_gl_texture(segments, max_source_segments, is_one_segment ? 1 : 0, &name, &bytes)) {
        set_gl_texture(name, bytes);
        texture_server.set_upload_state(this, target);
    } else {
        set_gl_texture(upload_.low_resolution_name, upload_.low_resolution_bytes);
        texture_server.set_upload_state(this, TextureUploadState::resident_levels);
        upload_.streaming_failed = true;
    }
    last_used_frame_ = read_completed_counter();
}

uint32_t TextureObject::clone() const {
    const uint8_t* const data = get_resident_data();
    if (!is_resource_texture() || data == nullptr) {
        return 0;
    }
    const uint32_t streamed = streamed_segment_count_;
    const SourceSegment resident{data, get_level_count() - streamed};
    uint32_t name = 0;
    uint64_t bytes = 0;
    if (!create_gl_texture(&resident, 1, streamed, &name, &bytes)) {
        return 0;
    }
    // The caller owns the copy and deletes it itself; the counter follows
    // the server's textures only.
    subtract_buffer_object_bytes(bytes);
    return name;
}

void TextureObject::copy_from_frame_buffer(int32_t x, int32_t y, int32_t width, int32_t height) {
    if (upload_state_ == TextureUploadState::failed) {
        return;
    }
    texture_server.request_texture(0, this);
    texture_server.commit_texture_units(0, 0);
    texture_server.activate_texture_unit(0);
    gl.glCopyTexSubImage2D(get_gl_target(), 0, 0, 0, x, y, std::min<int32_t>(width, width_),
                           std::min<int32_t>(height, height_));
}

void TextureObject::upload_filtering(uint32_t target) const {
    const bool is_mipmapped = get_level_count() != 1;
    const TextureFilter filter = get_texture_filter(format_);
    GLint minification = GL_NEAREST;
    GLint magnification = GL_NEAREST;
    switch (filter) {
    case TextureFilter::nearest:
        minification = is_mipmapped ? GL_NEAREST_MIPMAP_NEAREST : GL_NEAREST;
        break;
    case TextureFilter::bilinear:
        minification = is_mipmapped ? GL_LINEAR_MIPMAP_NEAREST : GL_LINEAR;
        magnification = GL_LINEAR;
        break;
    case TextureFilter::trilinear:
    case TextureFilter::anisotropic:
        minification = is_mipmapped ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR;
        magnification = GL_LINEAR;
        break;
    }
    gl.glTexParameteri(target, GL_TEXTURE_MIN_FILTER, minification);
    gl.glTexParameteri(target, GL_TEXTURE_MAG_FILTER, magnification);
    const uint32_t mode = is_lightmap() ? lightmap_anisotropic_filtering_mode : anisotropic_filtering_mode;
    const bool is_anisotropic = mode == 2 || (mode == 1 && filter == TextureFilter::anisotropic);
    if (opengl::is_extension_present(opengl::Extension::EXT_texture_filter_anisotropic)) {
        gl.glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, is_anisotropic ? anisotropy_amount : 1.0f);
    }
    const bool is_depth = get_texel_format_bits(format_) == static_cast<uint32_t>(TexelFormat::depth);
    gl.glTexParameterf(target, GL_TEXTURE_PRIORITY, is_resource_texture() ? 0.5f : is_depth ? 1.0f : 0.75f);
    if (is_depth) {
        gl.glTexParameteri(target, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
    }
}

void TextureObject::upload_wrapping(uint32_t target) const {
    const GLint first = (format_ & texture_format_wrap_repeat) != 0 ? GL_REPEAT : GL_CLAMP_TO_EDGE;
    const GLint flipped = first == GL_REPEAT ? GL_CLAMP_TO_EDGE : GL_REPEAT;
    const GLint second = (format_ & texture_format_second_axis_flipped) != 0 ? flipped : first;
    gl.glTexParameteri(target, GL_TEXTURE_WRAP_S, first);
    if (target == GL_TEXTURE_3D) {
        gl.glTexParameteri(target, GL_TEXTURE_WRAP_T, first);
        gl.glTexParameteri(target, GL_TEXTURE_WRAP_R, second);
    } else {
        gl.glTexParameteri(target, GL_TEXTURE_WRAP_T, second);
    }
}

}  // namespace zolt::renderer

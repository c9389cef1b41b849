#include "zolt/renderer/texture/texture_gl_formats.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "libs/opengl/shadowmap_framebuffer.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/texture/texture_resource_format.h"

namespace zolt::renderer {

TextureGlParameters get_texture_gl_parameters(uint32_t format, bool is_resource_texture) {
    const uint32_t texel = get_texel_format_bits(format);
    switch (static_cast<TexelFormat>(texel)) {
    case TexelFormat::rgba16:
        return {GL_RGBA16, GL_RGBA, GL_UNSIGNED_SHORT, false};
    case TexelFormat::rgba8:
        return {GL_RGBA8, is_resource_texture ? GLenum{GL_BGRA} : GLenum{GL_RGBA}, GL_UNSIGNED_BYTE, false};
    case TexelFormat::rgb16:
        return {GL_RGB16, GL_RGB, GL_UNSIGNED_SHORT, false};
    case TexelFormat::rgb8:
        return {GL_RGB8, GL_RGB, GL_UNSIGNED_BYTE, false};
    case TexelFormat::luminance16_alpha16:
        return {GL_LUMINANCE16_ALPHA16, GL_LUMINANCE_ALPHA, GL_UNSIGNED_SHORT, false};
    case TexelFormat::luminance8_alpha8:
        return {GL_LUMINANCE8_ALPHA8, GL_LUMINANCE_ALPHA, GL_UNSIGNED_BYTE, false};
    case TexelFormat::luminance16:
        return {GL_LUMINANCE16, GL_LUMINANCE, GL_UNSIGNED_SHORT, false};
    case TexelFormat::luminance8:
        return {GL_LUMINANCE8, GL_LUMINANCE, GL_UNSIGNED_BYTE, false};
    case TexelFormat::depth: {
        const uint32_t depth_format = opengl::get_framebuffer_object_state().shadowmap_depth_format;
        return {depth_format != 0 ? depth_format : GLenum{GL_DEPTH_COMPONENT}, GL_DEPTH_COMPONENT, GL_FLOAT, false};
    }
    case TexelFormat::rgba16f:
        // Resource elements are 8 bytes: reading them as 32-bit floats would
        // take twice the bytes there are.
        return {GL_RGBA16F_ARB, GL_RGBA, is_resource_texture ? GLenum{GL_HALF_FLOAT} : GLenum{GL_FLOAT}, false};
    case TexelFormat::dxt1:
        return {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, true};
    case TexelFormat::dxt3:
        return {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, true};
    case TexelFormat::dxt5:
        return {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, true};
    }
    ZOLT_PANIC("Malformed texture with unrecognized texel format 0x%x", texel);
}

uint32_t get_texture_gl_target(uint32_t format) {
    switch (get_texture_target_bits(format)) {
    case static_cast<uint32_t>(TextureTarget::texture_2d):
        return GL_TEXTURE_2D;
    case static_cast<uint32_t>(TextureTarget::texture_3d):
        return GL_TEXTURE_3D;
    case static_cast<uint32_t>(TextureTarget::cube_map):
        return GL_TEXTURE_CUBE_MAP;
    default:
        ZOLT_PANIC("Malformed texture, with unrecognizable format 0x%x", format);
    }
}

uint32_t get_assumed_texel_bit_size(uint32_t format) {
    const uint32_t texel = get_texel_format_bits(format);
    const TexelFormatInfo* const info = find_texel_format(texel);
    if (info == nullptr) {
        ZOLT_PANIC("Unsupported texel format %u", texel);
    }
    if (info->format == TexelFormat::depth) {
        const uint32_t bits = opengl::get_framebuffer_object_state().shadowmap_depth_bits;
        return bits != 0 ? bits : info->assumed_bits;
    }
    return info->assumed_bits;
}

}  // namespace zolt::renderer

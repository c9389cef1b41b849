#pragma once
// How each texel format and target of the format word reach OpenGL: the
// internal format, the pixel format and type of uploads, and the texture
// target. Resource textures and render targets differ for two formats: 8-bit
// RGBA resources hold B, G, R, A bytes, and half-float resources hold halves
// (render targets are made without data). Rendering thread only, since the
// depth format follows the chosen shadow-map format.
#include <cstdint>

namespace zolt::renderer {

struct TextureGlParameters {
    uint32_t internal_format;
    uint32_t format;  // 0 for compressed formats
    uint32_t type;    // 0 for compressed formats
    bool compressed;
};

// An unknown texel format is the panic "Malformed texture with unrecognized
// texel format 0x%x".
TextureGlParameters get_texture_gl_parameters(uint32_t format, bool is_resource_texture);
// GL_TEXTURE_2D, GL_TEXTURE_3D or GL_TEXTURE_CUBE_MAP; any other target is the
// panic "Malformed texture, with unrecognizable format 0x%x".
uint32_t get_texture_gl_target(uint32_t format);
// The memory estimate's bits per texel; the depth format's follow the
// shadow-map depth bits. An unknown format is the panic "Unsupported texel
// format %u".
uint32_t get_assumed_texel_bit_size(uint32_t format);

}  // namespace zolt::renderer

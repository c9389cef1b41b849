#pragma once
// One shader pass of the library turned into GL state, in the order the
// draw needs it: texture units, vertex arrays and the index stream, the
// program, the constants, the parameter blocks of a GLSL program, and the
// target setup. What a material resolved for its tags comes in as the two
// binding tables. Rendering thread only.
#include <cstdint>

#include "zolt/renderer/shaders/shader_library_format.h"
#include "zolt/renderer/shaders/shader_tags.h"

namespace zolt::renderer {
struct Stream;
class TextureObject;
}  // namespace zolt::renderer

namespace zolt::renderer::shader_library {

constexpr uint32_t texture_tag_count = 16;
constexpr uint32_t constant_tag_count = 40;

// By texture tag number: the place that holds the tag's texture, valid
// where the tag's bit is set in the mask.
struct ResolvedTextureTags {
    TextureObject* const* resolved[texture_tag_count] = {};
    uint32_t resolved_mask = 0;
};

struct ResolvedConstant {
    const ConstantValue* value = nullptr;
    ConstantKind kind = ConstantKind::floats;
};
// By constant tag number, likewise.
struct ResolvedConstantTags {
    ResolvedConstant resolved[constant_tag_count] = {};
    uint64_t resolved_mask = 0;
};

struct ShaderPassInput {
    const ResolvedTextureTags* textures = nullptr;
    const ResolvedConstantTags* constants = nullptr;
    const Stream* const* streams = nullptr;
    uint32_t stream_count = 0;
};

// The pass's texture units, fibres, program, constants, the cached lighting
// state of its GLSL program and its target setup. The context's fibre tags
// name the sources of the fibres; its scratch holds special values.
void setup_shader_pass(const ShaderPass& pass, const ShaderPassInput& input, ShaderLibraryContext& context);

// Step one alone: the textures of the pass's unit bindings into the texture
// server's units.
void setup_texture_units(const ShaderPass& pass, const ResolvedTextureTags* textures);
// Step four alone.
void setup_constants(const ShaderPass& pass, const ResolvedConstantTags* constants, ShaderLibraryContext& context);

}  // namespace zolt::renderer::shader_library

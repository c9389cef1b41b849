#pragma once
// The tag words with which materials name their constants and textures, and
// what they resolve to: a value or a texture slot of the library, the
// material, the view or a property of the drawable's object. The context
// names everything a resolution may read; the library's own vectors, slots
// and overrides live here too. Rendering thread only.
#include <cstdint>
#include <cstring>

#include "zolt/core/object_server/object_handle.h"

namespace zolt::core {
class ServerObject;
}  // namespace zolt::core

namespace zolt::renderer {
class TextureObject;
// Not built yet: a context without one answers what a draw without a view
// gets.
struct ViewportRender;
struct RenderRequest;
}  // namespace zolt::renderer

namespace zolt::renderer::shader_library {

// Four floats or four integers, as the kind that comes with it says. Only
// 4-byte aligned: material tables are read where they lie.
struct ConstantValue {
    uint32_t words[4] = {0, 0, 0, 0};

    float get_float(uint32_t lane) const {
        float value;
        std::memcpy(&value, &words[lane], sizeof value);
        return value;
    }
    void set_floats(float x, float y, float z, float w) {
        const float values[4] = {x, y, z, w};
        std::memcpy(words, values, sizeof values);
    }
};
static_assert(sizeof(ConstantValue) == 16);

enum class ConstantKind : uint32_t {
    floats = 0,
    integers = 1,
    // Computed at draw time: word 0 of the value is the special number.
    special = 3,
};

constexpr uint32_t first_special_number = 1;
constexpr uint32_t last_special_number = 20;
constexpr uint32_t first_render_target_special_number = 2;
constexpr uint32_t last_render_target_special_number = 17;
constexpr uint32_t far_distance_special_number = 18;
constexpr uint32_t provided_value_special_number = 19;
constexpr uint32_t scale_special_number = 20;

// Constant tags that the mesh code's overrides replace.
constexpr uint32_t first_override_tag = 34;
constexpr uint32_t second_override_tag = 35;
constexpr uint32_t third_override_tag = 37;

constexpr uint32_t user_vector_count = 16;
constexpr uint32_t global_texture_slot_count = 16;
constexpr uint32_t renderer_texture_slot_count = 16;
constexpr uint32_t viewport_vector_count = 16;
constexpr uint32_t viewport_texture_slot_count = 4;

template <typename T>
struct TableReference {
    const T* data = nullptr;
    uint32_t count = 0;
};

struct ShaderLibraryContext {
    const core::ServerObject* source_object = nullptr;
    const ViewportRender* view = nullptr;
    const RenderRequest* request = nullptr;
    TableReference<uint32_t> constant_tags;
    TableReference<uint32_t> texture_tags;
    TableReference<uint32_t> fibre_tags;
    int32_t fibre_parameter = -1;
    TableReference<ConstantValue> vectors;
    TableReference<uint32_t> textures;
    ConstantValue scratch;
};

constexpr uint32_t get_tag_source(uint32_t tag_word) {
    return (tag_word >> 16) & 0xFF;
}
constexpr uint32_t get_tag_parameter(uint32_t tag_word) {
    return tag_word & 0xFF00FFFF;
}

// Where the value of constant tag `tag` lives (the value's home, so a later
// change is seen at draw time), the scratch when it was computed now, or
// null when the context has no such tag. Sources 5 are dynamic.
const ConstantValue* resolve_constant_tag(ConstantValue* scratch, ConstantKind* kind, bool* dynamic, uint32_t tag,
                                          const ShaderLibraryContext& context);
// Special numbers 1 to 20 into the scratch; others are a panic.
void resolve_special_constant_value(ConstantValue* scratch, const ShaderLibraryContext& context, uint32_t number);

// The slot that holds the texture of texture tag `tag` (sources 1 to 3), the
// out variable when the texture came with a new reference that the caller
// now holds (sources 4 to 6), or null for no texture. Source 6 is dynamic.
TextureObject* const* resolve_texture_tag(uint32_t tag, const ShaderLibraryContext& context,
                                          TextureObject** texture_out, bool* dynamic);

// The mesh code's overrides, pointing at its own vectors while set.
void set_constant_tag_overrides(const ConstantValue* first, const ConstantValue* second);
void set_constant_tag_override(const ConstantValue* third);
void clear_constant_tag_overrides();

// Library user vectors (constant source 6); an index of 16 or more changes nothing.
void set_user_vector(uint32_t index, const ConstantValue& value);
const ConstantValue& get_user_vector(uint32_t index);
void clear_user_vectors();

// For the loader: the library constant table as constant source 4 hands it
// out, kept where it was while the table stays the same.
void refresh_library_constants();

// The view's constants, filled by the viewport code for each view drawn.
struct ViewportConstants {
    ConstantValue vectors[viewport_vector_count];
    TextureObject* textures[viewport_texture_slot_count] = {};
};
ViewportConstants& get_viewport_constants();

// Renderer slots (texture source 1), set by the render layers.
void set_renderer_texture(uint32_t slot, TextureObject* texture);
TextureObject* get_renderer_texture(uint32_t slot);
// The slot itself, for a tag that must see later changes; slot below 16.
TextureObject* const* get_renderer_texture_slot(uint32_t slot);
void clear_renderer_textures();

// Global slots (texture source 2): scripts set the handles, the frame commits
// them. A committed slot holds one reference on its texture.
core::ObjectHandle get_global_texture(uint32_t slot);
// False, changing nothing, for a slot of 16 or more or a handle that is
// neither 0 nor a live texture.
bool set_global_texture(uint32_t slot, core::ObjectHandle texture);
TextureObject* get_committed_global_texture(uint32_t slot);
TextureObject* const* get_committed_global_texture_slot(uint32_t slot);
// Every slot whose texture differs from its committed copy takes it.
void commit_global_textures();
// Releases every committed slot and empties the script slots.
void release_global_textures();
// A loaded game's texture: the script slot and its committed copy take it,
// with the reference the saved world already counts.
void restore_global_texture(uint32_t slot, TextureObject* texture);

}  // namespace zolt::renderer::shader_library

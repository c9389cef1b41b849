#pragma once
// A material: the render state of one drawable (decal, display element,
// mesh part, particles, sprite, text). It keeps a copy of its description,
// the shader entry and variant selection chose, one slot pass per pass slot
// it has, and its textures and constants resolved for the library's pass
// setup. Changes only queue work on the material server's pending rings;
// the rendering thread drains them before drawing. A use count keeps it
// alive for several owners: at 0 it waits on the dead ring until the
// renderer frees it. Main (rendering) thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/materials/material_description.h"
#include "zolt/renderer/shaders/shader_pass_setup.h"

namespace zolt::renderer {

class Material;
class TextureObject;

constexpr uint32_t material_pass_slot_count = 32;
constexpr uint32_t no_slot_pass = 0xFFFFFFFF;
constexpr uint32_t material_scratch_value_count = 16;
constexpr uint32_t lightmap_texture_tag = 4;

struct MaterialTextureBindings {
    uint32_t variant = 0;
    Material* owner = nullptr;
    MaterialTextureBindings* pending_next = this;
    MaterialTextureBindings* pending_previous = this;
    TextureObject* held[shader_library::texture_tag_count] = {};
    uint32_t held_count = 0;
    bool dynamic = false;
    shader_library::ResolvedTextureTags tags;
};

struct MaterialConstantBindings {
    uint32_t variant = 0;
    Material* owner = nullptr;
    MaterialConstantBindings* pending_next = this;
    MaterialConstantBindings* pending_previous = this;
    shader_library::ConstantValue scratch[material_scratch_value_count];
    uint32_t scratch_count = 0;
    bool dynamic = false;
    shader_library::ResolvedConstantTags tags;
};

class Material final : public core::ServerObject {
public:
    Material();

    void initialize(uint32_t argument) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    void resources_moved() override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;

    // Right after creation: copies the description and queues selection and
    // resolution.
    void initialize(const MaterialDescription& description);
    void set_source_object(core::ObjectHandle object);
    void set_vector(uint32_t index, const shader_library::ConstantValue& value);
    void set_texture(uint32_t index, uint32_t texture_id);
    void set_constant_tag(uint32_t index, uint32_t tag_word);
    void set_texture_tag(uint32_t index, uint32_t tag_word);
    // Selection, then texture and constant resolution, each only when queued.
    void update_pending();
    // The effective tag tables: the description's, else the entry's defaults.
    void resolve_tag_tables();
    void select_shader();
    // The first shader pass of setup n of slot 0's pass, with this
    // material's bindings and fibre tags; the context's tables are reset
    // afterwards.
    void setup_pass(uint32_t setup_number, shader_library::ShaderLibraryContext& context);
    uint32_t get_lightmap_texture_id() const;
    void warm_up_programs() const;

    bool is_modifiable() const { return (description.flags & material_flag_modifiable) != 0; }
    bool has_pass(uint32_t slot) const { return slot < material_pass_slot_count && (pass_mask >> slot & 1) != 0; }
    // The material's bindings as the pass setup takes them.
    shader_library::ShaderPassInput make_pass_input(const Stream* const* streams, uint32_t stream_count) const;
    // The effective fibre tags and parameter into the context.
    void fill_fibre_context(shader_library::ShaderLibraryContext& context) const;

    uint32_t use_count = 0;
    Material* selection_next = this;
    Material* selection_previous = this;
    core::ObjectHandle source_object = 0;
    Material* dead_next = this;
    Material* dead_previous = this;
    MaterialDescription description;
    const uint8_t* resource_data = nullptr;
    uint32_t resource_size = 0;
    uint32_t resource_id = 0;
    bool static_tags = false;
    uint32_t selected_entry = 0;
    uint32_t selected_variant = 0;
    shader_library::TableReference<uint32_t> effective_constant_tags;
    shader_library::TableReference<uint32_t> effective_texture_tags;
    shader_library::TableReference<uint32_t> effective_fibre_tags;
    int32_t effective_fibre_parameter = -1;
    uint32_t entry_flags = 0;
    uint32_t selected_entry_flags = 0;
    uint32_t variant_word = 0;
    uint32_t pass_mask = 0;
    // Index of the slot pass in the library's slot-pass table, or
    // no_slot_pass: indices stay right when the library's resource moves.
    uint32_t passes[material_pass_slot_count];
    MaterialTextureBindings texture_bindings;
    MaterialConstantBindings constant_bindings;

private:
    void reset_selection();
    void compute_static_tags();
};

}  // namespace zolt::renderer

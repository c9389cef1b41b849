#pragma once
// The material server (type 24, "MaterialServer"): 7000 materials, the table
// memory their own tables live in (compacted when an allocation fails), the
// three pending rings that selection and resolution drain on the rendering
// thread, the dead ring of materials whose use count reached 0, and the
// default material behind its well-known alias. Main (rendering) thread
// only.
#include <cstdint>
#include <memory>
#include <optional>

#include "libs/utility/variable_memory_pool.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/renderer/materials/material.h"

namespace zolt::renderer {

constexpr uint32_t material_server_type = core::server_type::material;
constexpr uint32_t material_capacity = 7000;
constexpr uint32_t material_table_memory_size = 153600;
constexpr uint32_t default_material_shader = 10;
// The alias that names the default material.
constexpr core::ObjectHandle default_material_alias = (1u << 20) + 10;

// requeue_all flags.
constexpr uint32_t requeue_dynamic_constants = 0x1;
constexpr uint32_t requeue_dynamic_textures = 0x2;

class MaterialServer final : public core::PooledServer<Material, material_capacity> {
public:
    MaterialServer();

    const char* get_name() const override { return "MaterialServer"; }
    void register_server() override;
    void unregister_server() override;
    bool load(storage::LoadStream& stream) override;
    bool release_dead_objects(bool on_rendering_thread) override;
    bool has_dead_objects() const override { return dead_ring_ != nullptr; }
    void free_all_dead_objects() override;
    // Frees dead materials first when the pool is full.
    core::ServerObject* create_object_internal(uint32_t argument) override;
    // One use less; at 0 the material goes to the dead ring, and a material
    // already at 0 is destroyed.
    void destroy_object_internal(core::ServerObject* object) override;

    Material* create_material(const MaterialDescription& description);
    void release_material(Material* material) { destroy_object_internal(material); }
    Material* find_material(core::ObjectHandle handle);
    Material* get_default_material() const { return default_material_; }

    void queue_texture_update(Material& material);
    void queue_constant_update(Material& material);
    void queue_shader_update(Material& material);
    bool is_selection_pending(const Material& material) const;
    bool is_texture_update_pending(const Material& material) const;
    bool is_constant_update_pending(const Material& material) const;
    void unlink_selection(Material& material);
    void unlink_texture_update(Material& material);
    void unlink_constant_update(Material& material);
    // Selection first: it queues the bindings of a material whose variant
    // changed.
    void process_pending();
    void resolve_textures(Material& material);
    void resolve_constants(Material& material);
    void requeue_all(uint32_t flags);
    void reselect_all();

    // Null when nothing fits even after compaction, with compaction allowed
    // ("Allocation of material table memory failed." is the caller's).
    void* allocate_table_memory(uint32_t size, bool may_compact);
    void free_table_memory(void* block, uint32_t size);
    bool is_table_memory(const void* data) const;
    // Packs every owned table from the start of table memory.
    void compact_table_memory();
    void copy_description(Material& material, const MaterialDescription& description);
    // Makes the table the material's own with at least count entries.
    void grow_table(Material& material, MaterialTableKind kind, uint32_t count);
    // Returns every owned table and releases the resource.
    void clear_description(Material& material);

private:
    void create_default_material();
    void destroy_dead_ring();

    alignas(8) uint8_t table_region_[material_table_memory_size];
    std::optional<VariableMemoryPoolBase> table_memory_;
    MaterialTextureBindings* texture_ring_ = nullptr;
    MaterialConstantBindings* constant_ring_ = nullptr;
    Material* selection_ring_ = nullptr;
    Material* dead_ring_ = nullptr;
    Material* default_material_ = nullptr;
};

extern MaterialServer material_server;

// Entries of a table kind: 16 bytes for vectors, 4 for the others.
uint32_t get_material_table_entry_size(MaterialTableKind kind);
// The table's pointer and count as untyped words.
struct MaterialTableView {
    void** data;
    uint32_t* count;
};
MaterialTableView get_material_table(MaterialDescription& description, MaterialTableKind kind);

}  // namespace zolt::renderer

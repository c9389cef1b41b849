#include "zolt/renderer/materials/material_server.h"

#include <cstring>
#include <vector>

#include "libs/utility/fatal_error.h"
#include "libs/utility/ring_list.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

MaterialServer material_server;

namespace {

using SelectionRing = RingList<Material, &Material::selection_next, &Material::selection_previous>;
using DeadRing = RingList<Material, &Material::dead_next, &Material::dead_previous>;
using TextureRing = RingList<MaterialTextureBindings, &MaterialTextureBindings::pending_next,
                             &MaterialTextureBindings::pending_previous>;
using ConstantRing = RingList<MaterialConstantBindings, &MaterialConstantBindings::pending_next,
                              &MaterialConstantBindings::pending_previous>;

// A node on no ring links to itself; the ring's head may be a lone node.
template <typename Node, Node* Node::*next>
bool is_on_ring(Node* head, const Node& node) {
    return node.*next != &node || head == &node;
}

template <typename Ring, typename Node, Node* Node::*next, Node* Node::*previous>
void unlink(Node*& head, Node& node) {
    if (is_on_ring<Node, next>(head, node)) {
        Ring::remove(head, &node);
        node.*next = node.*previous = &node;
    }
}

// Off the ring first, then at its tail: never twice on one ring, and a
// queued node moves to the end.
template <typename Ring, typename Node, Node* Node::*next, Node* Node::*previous>
void queue(Node*& head, Node& node) {
    unlink<Ring, Node, next, previous>(head, node);
    Ring::append(head, &node);
}

template <typename Visit>
void for_each_live_material(const MaterialServer& server, Visit visit) {
    core::for_each_live_object(&server,
                               [&visit](core::ServerObject* object) { visit(static_cast<Material*>(object)); });
}

// Owned tables of every live material, moved into the pool in live order.
void move_owned_tables(MaterialServer& server, VariableMemoryPoolBase& target) {
    for_each_live_material(server, [&target](Material* material) {
        for (uint32_t kind = 0; kind < material_table_kind_count; ++kind) {
            const MaterialTableView table =
                get_material_table(material->description, static_cast<MaterialTableKind>(kind));
            if (*table.data == nullptr || *table.count == 0 ||
                (material->resource_data != nullptr && *table.data >= material->resource_data &&
                 *table.data < material->resource_data + material->resource_size)) {
                continue;
            }
            const uint32_t size = *table.count * get_material_table_entry_size(static_cast<MaterialTableKind>(kind));
            void* const block = target.allocate(size);
            if (block == nullptr) {
                halt_due_out_of_memory(target);
            }
            std::memcpy(block, *table.data, size);
            *table.data = block;
        }
        material->resolve_tag_tables();
    });
}

}  // namespace

uint32_t get_material_table_entry_size(MaterialTableKind kind) {
    return kind == MaterialTableKind::vectors ? sizeof(shader_library::ConstantValue) : sizeof(uint32_t);
}

MaterialTableView get_material_table(MaterialDescription& description, MaterialTableKind kind) {
    switch (kind) {
    case MaterialTableKind::vectors:
        return {reinterpret_cast<void**>(&description.vectors.data), &description.vectors.count};
    case MaterialTableKind::textures:
        return {reinterpret_cast<void**>(&description.textures.data), &description.textures.count};
    case MaterialTableKind::constant_tags:
        return {reinterpret_cast<void**>(&description.constant_tags.data), &description.constant_tags.count};
    case MaterialTableKind::texture_tags:
        return {reinterpret_cast<void**>(&description.texture_tags.data), &description.texture_tags.count};
    default:
        return {reinterpret_cast<void**>(&description.fibre_tags.data), &description.fibre_tags.count};
    }
}

MaterialServer::MaterialServer() : PooledServer(material_server_type) {
    table_memory_.emplace(table_region_, material_table_memory_size);
}

void MaterialServer::register_server() {
    PooledServer::register_server();
    rendering_command_hooks.free_dead_materials = [] { material_server.destroy_dead_ring(); };
    rendering_command_hooks.resolve_pending_materials = [] { material_server.process_pending(); };
    create_default_material();
}

void MaterialServer::unregister_server() {
    if (default_material_ != nullptr) {
        release_material(default_material_);
        default_material_ = nullptr;
    }
    destroy_dead_ring();
    rendering_command_hooks.free_dead_materials = nullptr;
    rendering_command_hooks.resolve_pending_materials = nullptr;
    PooledServer::unregister_server();
    texture_ring_ = nullptr;
    constant_ring_ = nullptr;
    selection_ring_ = nullptr;
    table_memory_.emplace(table_region_, material_table_memory_size);
}

bool MaterialServer::load(storage::LoadStream& stream) {
    // The saved world brings its own default material.
    default_material_ = nullptr;
    destroy_all_objects();
    table_memory_.emplace(table_region_, material_table_memory_size);
    if (!PooledServer::load(stream)) {
        return false;
    }
    const core::ObjectHandle target = core::alias_server.get_target(default_material_alias);
    default_material_ = find_material(target);
    return true;
}

bool MaterialServer::release_dead_objects(bool on_rendering_thread) {
    destroy_dead_ring();
    return PooledServer::release_dead_objects(on_rendering_thread);
}

void MaterialServer::free_all_dead_objects() {
    destroy_dead_ring();
    PooledServer::free_all_dead_objects();
}

void MaterialServer::destroy_dead_ring() {
    while (dead_ring_ != nullptr) {
        Material* const material = dead_ring_;
        unlink<DeadRing, Material, &Material::dead_next, &Material::dead_previous>(dead_ring_, *material);
        PooledServer::destroy_object_internal(material);
    }
}

core::ServerObject* MaterialServer::create_object_internal(uint32_t argument) {
    if (dead_ring_ != nullptr && get_free_list().is_empty()) {
        if (is_inside_rendering_command()) {
            destroy_dead_ring();
        } else {
            issue_rendering_command(free_dead_objects_command);
        }
    }
    return PooledServer::create_object_internal(argument);
}

void MaterialServer::destroy_object_internal(core::ServerObject* object) {
    auto* const material = static_cast<Material*>(object);
    if (material->use_count == 0) {
        unlink<DeadRing, Material, &Material::dead_next, &Material::dead_previous>(dead_ring_, *material);
        PooledServer::destroy_object_internal(material);
        return;
    }
    if (--material->use_count != 0) {
        return;
    }
    material->source_object = 0;
    material->set_context_handle(material->get_handle());
    // Its owner and children let go of it now; the renderer may still draw
    // it this frame.
    if (material->get_owner() != nullptr && !material->owns_itself()) {
        core::ServerObject::change_owner(material, nullptr);
    }
    while (core::ServerObject* const child = material->get_last_child()) {
        core::destroy_object(child);
    }
    queue<DeadRing, Material, &Material::dead_next, &Material::dead_previous>(dead_ring_, *material);
    unlink_selection(*material);
    unlink_texture_update(*material);
    unlink_constant_update(*material);
}

Material* MaterialServer::create_material(const MaterialDescription& description) {
    auto* const material = static_cast<Material*>(create_object_internal(0));
    material->initialize(description);
    return material;
}

Material* MaterialServer::find_material(core::ObjectHandle handle) {
    if (core::get_handle_server_type(handle) != material_server_type) {
        return nullptr;
    }
    return get_typed_object(handle);
}

void MaterialServer::create_default_material() {
    MaterialDescription description;
    description.shader_index = default_material_shader;
    default_material_ = create_material(description);
    const core::ObjectHandle current = core::alias_server.get_target(default_material_alias);
    if (current == 0 || current == default_material_->get_handle() || core::resolve_handle(current) == nullptr) {
        core::alias_server.clear_alias(default_material_alias);
        core::alias_server.set_alias(default_material_alias, default_material_->get_handle());
    }
}

void MaterialServer::queue_texture_update(Material& material) {
    queue<TextureRing, MaterialTextureBindings, &MaterialTextureBindings::pending_next,
          &MaterialTextureBindings::pending_previous>(texture_ring_, material.texture_bindings);
}

void MaterialServer::queue_constant_update(Material& material) {
    queue<ConstantRing, MaterialConstantBindings, &MaterialConstantBindings::pending_next,
          &MaterialConstantBindings::pending_previous>(constant_ring_, material.constant_bindings);
}

void MaterialServer::queue_shader_update(Material& material) {
    queue<SelectionRing, Material, &Material::selection_next, &Material::selection_previous>(selection_ring_, material);
}

bool MaterialServer::is_selection_pending(const Material& material) const {
    return is_on_ring<Material, &Material::selection_next>(selection_ring_, material);
}

bool MaterialServer::is_texture_update_pending(const Material& material) const {
    return is_on_ring<MaterialTextureBindings, &MaterialTextureBindings::pending_next>(texture_ring_,
                                                                                       material.texture_bindings);
}

bool MaterialServer::is_constant_update_pending(const Material& material) const {
    return is_on_ring<MaterialConstantBindings, &MaterialConstantBindings::pending_next>(constant_ring_,
                                                                                         material.constant_bindings);
}

void MaterialServer::unlink_selection(Material& material) {
    unlink<SelectionRing, Material, &Material::selection_next, &Material::selection_previous>(selection_ring_,
                                                                                              material);
}

void MaterialServer::unlink_texture_update(Material& material) {
    unlink<TextureRing, MaterialTextureBindings, &MaterialTextureBindings::pending_next,
           &MaterialTextureBindings::pending_previous>(texture_ring_, material.texture_bindings);
}

void MaterialServer::unlink_constant_update(Material& material) {
    unlink<ConstantRing, MaterialConstantBindings, &MaterialConstantBindings::pending_next,
           &MaterialConstantBindings::pending_previous>(constant_ring_, material.constant_bindings);
}

void MaterialServer::process_pending() {
    while (selection_ring_ != nullptr) {
        selection_ring_->select_shader();
    }
    while (texture_ring_ != nullptr) {
        resolve_textures(*texture_ring_->owner);
    }
    while (constant_ring_ != nullptr) {
        resolve_constants(*constant_ring_->owner);
    }
}

void MaterialServer::requeue_all(uint32_t flags) {
    for_each_live_material(*this, [this, flags](Material* material) {
        if (material->use_count == 0) {
            return;
        }
        if ((flags & requeue_dynamic_textures) != 0 && material->texture_bindings.dynamic) {
            queue_texture_update(*material);
        }
        if ((flags & requeue_dynamic_constants) != 0 && material->constant_bindings.dynamic) {
            queue_constant_update(*material);
        }
    });
}

void MaterialServer::reselect_all() {
    for_each_live_material(*this, [this](Material* material) {
        if (material->use_count != 0) {
            queue_shader_update(*material);
        }
    });
}

void* MaterialServer::allocate_table_memory(uint32_t size, bool may_compact) {
    void* block = table_memory_->allocate(size);
    if (block == nullptr && may_compact) {
        compact_table_memory();
        block = table_memory_->allocate(size);
    }
    return block;
}

void MaterialServer::free_table_memory(void* block, uint32_t size) {
    if (block != nullptr && size != 0) {
        table_memory_->free(block, size);
    }
}

bool MaterialServer::is_table_memory(const void* data) const {
    const auto* const bytes = static_cast<const uint8_t*>(data);
    return bytes >= table_region_ && bytes < table_region_ + material_table_memory_size;
}

void MaterialServer::compact_table_memory() {
    // Twelve bytes more than the memory so that the pool's start can be
    // aligned up to 8 bytes.
    const auto temporary = std::make_unique<uint8_t[]>(material_table_memory_size + 12);
    auto* const aligned =
        reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(temporary.get()) + 7) & ~uintptr_t{7});
    {
        VariableMemoryPoolBase aside(aligned, material_table_memory_size);
        move_owned_tables(*this, aside);
        table_memory_.emplace(table_region_, material_table_memory_size);
        move_owned_tables(*this, *table_memory_);
    }
    // Resolved constants of source 3 point into the vector tables that just
    // moved: resolve them again before anything draws with them.
    for_each_live_material(*this, [this](Material* material) {
        if (material->use_count != 0) {
            queue_constant_update(*material);
        }
    });
}

void MaterialServer::copy_description(Material& material, const MaterialDescription& description) {
    material.description.flags = description.flags;
    material.description.shader_index = description.shader_index;
    material.description.resource = description.resource;
    material.description.fibre_parameter = description.fibre_parameter;
    if (description.resource != 0) {
        if (auto* const resource = static_cast<core::ResourceObject*>(core::get_object(description.resource))) {
            resource->add_reference();
        }
    }
    MaterialDescription source = description;
    for (uint32_t kind = 0; kind < material_table_kind_count; ++kind) {
        const auto table_kind = static_cast<MaterialTableKind>(kind);
        const MaterialTableView from = get_material_table(source, table_kind);
        const MaterialTableView to = get_material_table(material.description, table_kind);
        if (*from.data == nullptr || *from.count == 0) {
            *to.data = nullptr;
            *to.count = 0;
            continue;
        }
        const auto* const bytes = static_cast<const uint8_t*>(*from.data);
        if (material.resource_data != nullptr && bytes >= material.resource_data &&
            bytes < material.resource_data + material.resource_size) {
            *to.data = *from.data;
            *to.count = *from.count;
            continue;
        }
        const uint32_t size = *from.count * get_material_table_entry_size(table_kind);
        void* const block = allocate_table_memory(size, true);
        if (block == nullptr) {
            ZOLT_PANIC("Allocation of material table memory failed.");
        }
        std::memcpy(block, *from.data, size);
        *to.data = block;
        *to.count = *from.count;
    }
}

void MaterialServer::grow_table(Material& material, MaterialTableKind kind, uint32_t count) {
    const MaterialTableView table = get_material_table(material.description, kind);
    const bool owned = *table.data != nullptr && is_table_memory(*table.data);
    if (owned && *table.count >= count) {
        return;
    }
    const uint32_t entry_size = get_material_table_entry_size(kind);
    const uint32_t new_count = count > *table.count ? count : *table.count;
    auto* const block = static_cast<uint8_t*>(allocate_table_memory(new_count * entry_size, true));
    if (block == nullptr) {
        ZOLT_PANIC("Allocation of material table memory failed.");
    }
    // Compaction may have moved the old table: read the pointer again.
    const uint32_t old_bytes = *table.count * entry_size;
    if (old_bytes != 0 && *table.data != nullptr) {
        std::memcpy(block, *table.data, old_bytes);
    }
    std::memset(block + old_bytes, 0, new_count * entry_size - old_bytes);
    if (owned) {
        free_table_memory(*table.data, old_bytes);
    }
    *table.data = block;
    *table.count = new_count;
}

void MaterialServer::clear_description(Material& material) {
    for (uint32_t kind = 0; kind < material_table_kind_count; ++kind) {
        const auto table_kind = static_cast<MaterialTableKind>(kind);
        const MaterialTableView table = get_material_table(material.description, table_kind);
        if (*table.data != nullptr && is_table_memory(*table.data)) {
            free_table_memory(*table.data, *table.count * get_material_table_entry_size(table_kind));
        }
    }
    if (material.description.resource != 0) {
        if (core::ServerObject* const resource = core::get_object(material.description.resource)) {
            core::resource_server.destroy_object_internal(resource);
        }
    }
    material.description = MaterialDescription{};
}

}  // namespace zolt::renderer

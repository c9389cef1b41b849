#pragma once
// The mesh server (type 25, "MeshServer", 5000 meshes). Besides its pool it
// keeps one render record per slot, the update list, the memory the records'
// stream and material arrays come from, and per open mesh resource (by the
// resource object's slot) the first mesh of its ring and the streams its
// meshes share. A mesh is acquired by id and released; a plain id whose
// resource already serves a shareable mesh answers that mesh. Main
// (rendering) thread only.
#include <cstdint>
#include <optional>

#include "libs/utility/variable_memory_pool.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/mesh/mesh.h"

namespace zolt::renderer {

constexpr uint32_t mesh_server_type = 25;
constexpr uint32_t mesh_capacity = 5000;
// Sized in entries, not bytes: the arrays hold 8-byte pointers here.
constexpr uint32_t mesh_array_memory_size = 2000000;
// Until physics drives cloth, a cloth mesh's driven streams are sized for
// this many vertices.
constexpr uint32_t default_cloth_vertex_count = 1024;

// The streams the meshes of one resource share.
struct SharedMeshStreams {
    Stream** streams = nullptr;
    uint32_t count = 0;
    uint32_t users = 0;
};

class MeshServer final : public core::PooledServer<Mesh, mesh_capacity> {
public:
    MeshServer() : PooledServer(mesh_server_type) {}

    const char* get_name() const override { return "MeshServer"; }
    void register_server() override;
    void unregister_server() override;
    // Acquire: an existing shareable mesh of the id, else a new one; either
    // way one reference more.
    core::ServerObject* create_object_internal(uint32_t mesh_id) override;
    // Release: one reference less; the last one destroys the mesh.
    void destroy_object_internal(core::ServerObject* object) override;
    void object_loaded(core::ServerObject* object) override;
    bool is_object_in_use(core::ServerObject* object, bool on_rendering_thread) override {
        return !on_rendering_thread;
    }
    void object_released(core::ServerObject* object) override;
    // Copies the changed meshes into their render records.
    void update() override;

    Mesh* acquire_mesh(uint32_t mesh_id) { return static_cast<Mesh*>(create_object_internal(mesh_id)); }
    void release_mesh(Mesh* mesh) { destroy_object_internal(mesh); }
    Mesh* find_mesh(core::ObjectHandle handle);
    MeshRender& get_render(const Mesh& mesh) { return records_[get_slot_of(mesh)]; }
    // The mesh whose slot holds the record; null for a record of no slot.
    const Mesh* find_mesh_of_render(const MeshRender& record) {
        const auto at = reinterpret_cast<uintptr_t>(&record);
        const auto first = reinterpret_cast<uintptr_t>(records_);
        if (at < first || at >= first + sizeof records_) {
            return nullptr;
        }
        return &get_slot(static_cast<uint32_t>((at - first) / sizeof(MeshRender)));
    }
    uint32_t get_slot_of(const Mesh& mesh) { return static_cast<uint32_t>(&mesh - &get_slot(0)); }
    void mark_for_update(Mesh& mesh);

    // The ring head of a resource object's slot, 0 when none.
    core::ObjectHandle& ring_head(uint32_t resource_slot) { return ring_heads_[resource_slot]; }
    SharedMeshStreams& shared_streams(uint32_t resource_slot) { return shared_[resource_slot]; }

    // Arrays of the render records; running out is fatal.
    void* allocate_array(uint32_t size);
    void free_array(void* block, uint32_t size);

    // Resolves pending material state, pre-creates the streams' GL objects
    // and draws each mesh once through the warm-up paths.
    void warm_up();

private:
    void release_render(uint32_t slot);

    MeshRender records_[mesh_capacity];
    uint16_t update_list_[mesh_capacity] = {};
    uint8_t on_update_list_[mesh_capacity] = {};
    uint32_t update_count_ = 0;
    core::ObjectHandle ring_heads_[core::resource_object_capacity] = {};
    SharedMeshStreams shared_[core::resource_object_capacity];
    alignas(8) uint8_t array_region_[mesh_array_memory_size];
    std::optional<VariableMemoryPoolBase> arrays_;
};

extern MeshServer mesh_server;

}  // namespace zolt::renderer

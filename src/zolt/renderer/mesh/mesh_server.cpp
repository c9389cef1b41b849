#include "zolt/renderer/mesh/mesh_server.h"

#include "libs/utility/fatal_error.h"
#include "zolt/renderer/animation/skeleton_server.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/batcher/stream_pool.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/mesh/mesh_draw.h"
#include "zolt/renderer/view/sector_geometry_queue.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {

MeshServer mesh_server;

namespace {

const animation::PoseBuffer* find_skeleton_pose(core::ObjectHandle handle) {
    if (handle == 0 || core::get_handle_server_type(handle) != animation::skeleton_server_type) {
        return nullptr;
    }
    const animation::Skeleton* const skeleton = animation::skeleton_server.find_skeleton(handle);
    return skeleton != nullptr ? &animation::skeleton_server.get_pose_buffer(*skeleton) : nullptr;
}

}  // namespace

void MeshServer::register_server() {
    arrays_.reset();
    arrays_.emplace(array_region_, mesh_array_memory_size);
    for (uint32_t slot = 0; slot < mesh_capacity; ++slot) {
        records_[slot] = MeshRender{};
        on_update_list_[slot] = 0;
    }
    for (uint32_t slot = 0; slot < core::resource_object_capacity; ++slot) {
        ring_heads_[slot] = 0;
        shared_[slot] = SharedMeshStreams{};
    }
    update_count_ = 0;
    PooledServer::register_server();
    set_sector_geometry_queue(&queue_sector_geometry);
    rendering_command_hooks.warm_up_meshes = [] { mesh_server.warm_up(); };
    install_mesh_draw_hooks();
}

void MeshServer::unregister_server() {
    set_sector_geometry_queue(nullptr);
    rendering_command_hooks.warm_up_meshes = nullptr;
    remove_mesh_draw_hooks();
    destroy_all_objects();
    release_dead_objects(true);
    PooledServer::unregister_server();
    for (uint32_t slot = 0; slot < mesh_capacity; ++slot) {
        release_render(slot);
    }
    update_count_ = 0;
}

Mesh* MeshServer::find_mesh(core::ObjectHandle handle) {
    return core::get_handle_server_type(handle) == mesh_server_type ? get_typed_object(handle) : nullptr;
}

core::ServerObject* MeshServer::create_object_internal(uint32_t mesh_id) {
    if (is_shareable_mesh_id(mesh_id)) {
        const core::ResourceInfo* const info =
            core::resource_server.get_loader().find_resource(get_mesh_resource_id(mesh_id));
        if (info != nullptr && info->has_state(core::resource_state::open)) {
            const core::ObjectHandle head_handle = ring_heads_[core::get_handle_index(info->data.object->get_handle())];
            Mesh* const head = find_mesh(head_handle);
            if (head != nullptr && !head->has_private_data()) {
                Mesh* mesh = head;
                do {
                    if (mesh->get_mesh_id() == mesh_id && !mesh->is_material_not_ready()) {
                        mesh->add_reference();
                        return mesh;
                    }
                    mesh = find_mesh(mesh->get_ring_next());
                } while (mesh != nullptr && mesh != head);
            }
        }
    }
    auto* const mesh = static_cast<Mesh*>(PooledServer::create_object_internal(mesh_id));
    mesh->add_reference();
    return mesh;
}

void MeshServer::destroy_object_internal(core::ServerObject* object) {
    auto* const mesh = static_cast<Mesh*>(object);
    if (mesh->get_reference_count() > 1) {
        mesh->release_reference();
        return;
    }
    if (mesh->get_reference_count() == 1) {
        mesh->release_reference();
    }
    PooledServer::destroy_object_internal(object);
}

void MeshServer::object_loaded(core::ServerObject* object) {
    mark_for_update(*static_cast<Mesh*>(object));
}

void MeshServer::object_released(core::ServerObject* object) {
    release_render(get_slot_of(*static_cast<Mesh*>(object)));
}

void MeshServer::release_render(uint32_t slot) {
    MeshRender& record = records_[slot];
    if (!record.in_use) {
        return;
    }
    // Streams of the resource's shared set go when its last user does.
    SharedMeshStreams& shared = shared_[record.resource_slot];
    if (record.streams != nullptr) {
        for (uint32_t index = 0; index < record.stream_count; ++index) {
            Stream* const stream = record.streams[index];
            const bool is_shared = shared.streams != nullptr && index < shared.count && shared.streams[index] == stream;
            if (!is_shared) {
                queue_stream_release(stream);
            }
        }
        free_array(record.streams, record.stream_count * sizeof(Stream*));
        if (shared.users > 0 && --shared.users == 0 && shared.streams != nullptr) {
            for (uint32_t index = 0; index < shared.count; ++index) {
                queue_stream_release(shared.streams[index]);
            }
            free_array(shared.streams, shared.count * sizeof(Stream*));
            shared = SharedMeshStreams{};
        }
    }
    if (record.materials != nullptr) {
        for (uint32_t index = 0; index < record.material_count; ++index) {
            if (record.materials[index] != nullptr && material_server.is_registered()) {
                material_server.release_material(record.materials[index]);
            }
        }
        free_array(record.materials, record.material_count * sizeof(Material*));
    }
    for (const core::ObjectHandle handle : {record.second_resource_object, record.resource_object}) {
        if (handle != 0 && core::resource_server.is_registered()) {
            if (core::ResourceObject* const resource = core::resource_server.get_typed_object(handle)) {
                core::resource_server.destroy_object_internal(resource);
            }
        }
    }
    record = MeshRender{};
}

void MeshServer::mark_for_update(Mesh& mesh) {
    const uint32_t slot = get_slot_of(mesh);
    if (on_update_list_[slot] == 0) {
        on_update_list_[slot] = 1;
        update_list_[update_count_++] = static_cast<uint16_t>(slot);
    }
}

void MeshServer::update() {
    uint32_t kept = 0;
    for (uint32_t index = 0; index < update_count_; ++index) {
        const uint32_t slot = update_list_[index];
        on_update_list_[slot] = 0;
        Mesh& mesh = get_slot(slot);
        MeshRender& record = records_[slot];
        if (get_object_internal(mesh.get_handle()) == nullptr || !record.in_use) {
            continue;
        }
        record.renderer_word = mesh.renderer_word_;
        record.skeleton_render = find_skeleton_pose(mesh.skeleton_);
        record.resource_slot = core::get_handle_index(mesh.get_resource_object());
        // The skeleton is looked up again every frame, so a destroyed one
        // leaves the identity rather than another skeleton's pose behind.
        if (mesh.skeleton_ != 0) {
            on_update_list_[slot] = 1;
            update_list_[kept++] = static_cast<uint16_t>(slot);
        }
    }
    update_count_ = kept;
}

void* MeshServer::allocate_array(uint32_t size) {
    void* const block = arrays_->allocate(size);
    if (block == nullptr) {
        ZOLT_ERROR("out of memory");
    }
    return block;
}

void MeshServer::free_array(void* block, uint32_t size) {
    arrays_->free(block, size);
}

void MeshServer::warm_up() {
    core::for_each_live_object(this, [](core::ServerObject* object) {
        const MeshRender& record = static_cast<Mesh*>(object)->get_render();
        for (uint32_t index = 0; index < record.material_count; ++index) {
            if (Material* const material = record.materials[index]) {
                material->update_pending();
                material->warm_up_programs();
            }
        }
    });
}

}  // namespace zolt::renderer

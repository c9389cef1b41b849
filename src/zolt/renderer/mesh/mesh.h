#pragma once
// A mesh (server type 25): the drawable geometry of one mesh resource, its
// vertex and index streams, one material per material description of its
// set, and its parts and sub-parts with bounding spheres. Meshes are shared
// by mesh id and counted; the meshes of one resource form a ring and share
// the streams the layout does not mark independent. The render record holds
// what drawing reads; it outlives the mesh until the renderer is done with
// the frame. A resource the checks refuse gives a mesh with no parts, which
// draws nothing. Main (rendering) thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/mesh/mesh_resource_format.h"

namespace zolt::animation {
struct PoseBuffer;
}

namespace zolt::renderer {

class Material;
struct Stream;

namespace mesh_property {
constexpr uint32_t skeleton = 0x10001FF;
}

struct MeshRender {
    uint32_t mesh_id = 0;
    uint8_t private_streams = 0;
    core::ObjectHandle resource_object = 0;
    core::ObjectHandle second_resource_object = 0;
    uint32_t saved_word = 0;
    Stream** streams = nullptr;
    uint32_t stream_count = 0;
    Material** materials = nullptr;
    uint32_t material_count = 0;
    uint32_t resource_word = 0;
    const uint8_t* resource_data = nullptr;
    const uint8_t* second_data = nullptr;
    uint32_t renderer_word = 0;
    // The bound skeleton's pose buffer, refreshed every frame while one is
    // bound; null draws every palette entry as the identity.
    const animation::PoseBuffer* skeleton_render = nullptr;
    uint32_t resource_slot = 0;
    // Read once from the checked resource; no parts when it was refused.
    MeshHeader header{};
    bool in_use = false;
};

class Mesh final : public core::ServerObject {
public:
    void initialize(uint32_t mesh_id) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    void resources_moved() override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;

    uint32_t get_mesh_id() const { return mesh_id_; }
    core::ObjectHandle get_resource_object() const { return resource_object_; }
    const uint8_t* get_resource_data() const { return resource_data_; }
    uint32_t get_reference_count() const { return reference_count_; }
    void add_reference() { ++reference_count_; }
    uint32_t release_reference() { return --reference_count_; }
    bool has_private_streams() const { return private_streams_ != 0; }
    bool is_material_not_ready() const { return material_not_ready_ != 0; }
    bool is_variant() const { return variant_material_ != 0; }
    core::ObjectHandle get_skeleton() const { return skeleton_; }
    // Bones, private streams or a cloth: the mesh moves on its own.
    bool has_private_data() const;
    core::ObjectHandle get_ring_next() const { return ring_next_; }
    core::ObjectHandle get_ring_previous() const { return ring_previous_; }
    MeshRender& get_render() const;

    // Object space, the radius in w; doubled for private data.
    void get_bounding_sphere(float out[4]) const;
    void get_bounding_box(float minimum[3], float maximum[3]) const;

private:
    friend class MeshServer;

    void open_resource_and_join_ring(core::ObjectHandle resource_handle);
    void leave_ring();
    void fill_render_record();
    void create_materials();
    void create_streams();
    bool check_resource();

    uint32_t mesh_id_ = 0;
    core::ObjectHandle resource_object_ = 0;
    const uint8_t* resource_data_ = nullptr;
    uint32_t resource_size_ = 0;
    uint32_t renderer_word_ = 0;
    core::ObjectHandle ring_next_ = 0;
    core::ObjectHandle ring_previous_ = 0;
    uint32_t reference_count_ = 0;
    core::ObjectHandle skeleton_ = 0;
    uint8_t variant_material_ = 0;
    uint8_t material_not_ready_ = 0;
    uint8_t private_streams_ = 0;
    bool resource_valid_ = false;
};

}  // namespace zolt::renderer

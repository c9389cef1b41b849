#include "zolt/renderer/mesh/mesh.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "libs/io/pack_format.h"
#include "libs/utility/message_handler.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/animation/skeleton_server.h"
#include "zolt/renderer/batcher/stream_pool.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/mesh/mesh_server.h"

namespace zolt::renderer {

namespace {

bool names(uint32_t id, uint32_t typed) {
    return id == typed || id == (typed & 0xFFFFFFu);
}

core::ResourceObject* find_resource_object(core::ObjectHandle handle) {
    return handle != 0 ? core::resource_server.get_typed_object(handle) : nullptr;
}

uint32_t get_resource_size(const core::ResourceObject* resource) {
    return resource != nullptr && resource->get_info() != nullptr ? resource->get_info()->unpacked_size : 0;
}

// A temporarily opened resource, closed when it goes out of scope.
struct OpenedResource {
    core::ResourceObject* object = nullptr;

    explicit OpenedResource(uint32_t id) {
        if (core::resource_server.get_loader().find_resource(id) != nullptr) {
            object = core::resource_server.open_resource(id);
        }
    }
    ~OpenedResource() {
        if (object != nullptr) {
            core::resource_server.destroy_object_internal(object);
        }
    }
    OpenedResource(const OpenedResource&) = delete;
    OpenedResource& operator=(const OpenedResource&) = delete;
    const uint8_t* data() const { return object != nullptr ? static_cast<const uint8_t*>(object->get_data()) : nullptr; }
    uint32_t size() const { return get_resource_size(object); }
};

// The bound skeleton, null when none is bound or it is gone.
animation::Skeleton* find_bound_skeleton(core::ObjectHandle handle) {
    return handle != 0 && core::get_handle_server_type(handle) == animation::skeleton_server_type
               ? animation::skeleton_server.find_skeleton(handle)
               : nullptr;
}

}  // namespace

MeshRender& Mesh::get_render() const {
    return mesh_server.get_render(*this);
}

bool Mesh::has_private_data() const {
    return private_streams_ != 0 || (resource_valid_ && read_mesh_header(resource_data_).bone_count != 0) ||
           (mesh_id_ & mesh_id_cloth) != 0;
}

bool Mesh::check_resource() {
    std::string error;
    resource_valid_ = check_mesh_resource(mesh_id_, resource_data_, resource_size_, &error);
    if (!resource_valid_) {
        report_message(MessageKind::Warning, nullptr, nullptr, 0, "%s; the mesh draws nothing", error.c_str());
    }
    return resource_valid_;
}

void Mesh::initialize(uint32_t mesh_id) {
    mesh_id_ = mesh_id;
    renderer_word_ = 0;
    reference_count_ = 0;
    skeleton_ = 0;
    variant_material_ = (mesh_id & mesh_id_variant) != 0 ? 1 : 0;
    material_not_ready_ = 0;
    private_streams_ = 0;
    // A missing mesh resource is fatal: the loader reports the id.
    core::ResourceObject* const resource = core::resource_server.open_resource(get_mesh_resource_id(mesh_id));
    open_resource_and_join_ring(resource->get_handle());
    check_resource();
    fill_render_record();
    mesh_server.mark_for_update(*this);
}

void Mesh::open_resource_and_join_ring(core::ObjectHandle resource_handle) {
    const core::ResourceObject* const resource = find_resource_object(resource_handle);
    resource_object_ = resource_handle;
    resource_data_ = static_cast<const uint8_t*>(resource->get_data());
    resource_size_ = get_resource_size(resource);
    core::ObjectHandle& head = mesh_server.ring_head(core::get_handle_index(resource_handle));
    Mesh* const first = head != 0 ? mesh_server.find_mesh(head) : nullptr;
    if (first == nullptr) {
        head = get_handle();
        ring_next_ = ring_previous_ = get_handle();
        return;
    }
    // After the first mesh: the first stays the one whose streams the others
    // took.
    Mesh* const next = mesh_server.find_mesh(first->ring_next_);
    ring_previous_ = first->get_handle();
    ring_next_ = first->ring_next_;
    first->ring_next_ = get_handle();
    (next != nullptr ? next : first)->ring_previous_ = get_handle();
}

void Mesh::leave_ring() {
    if (resource_object_ == 0) {
        return;
    }
    core::ObjectHandle& head = mesh_server.ring_head(core::get_handle_index(resource_object_));
    Mesh* const previous = mesh_server.find_mesh(ring_previous_);
    Mesh* const next = mesh_server.find_mesh(ring_next_);
    const bool alone = ring_next_ == get_handle() || next == nullptr;
    if (!alone) {
        if (previous != nullptr) {
            previous->ring_next_ = ring_next_;
        }
        next->ring_previous_ = ring_previous_;
    }
    if (head == get_handle()) {
        head = alone ? 0 : ring_next_;
    }
    ring_next_ = ring_previous_ = 0;
}

void Mesh::fill_render_record() {
    MeshRender& record = get_render();
    record = MeshRender{};
    record.in_use = true;
    record.mesh_id = mesh_id_;
    // The record holds its own reference, so the resource outlives the mesh
    // until the renderer is done with the record.
    record.resource_object = core::resource_server.open_resource(get_mesh_resource_id(mesh_id_))->get_handle();
    record.resource_data = resource_data_;
    record.resource_slot = core::get_handle_index(resource_object_);
    record.renderer_word = renderer_word_;
    const uint32_t second_id = get_second_data_resource_id(mesh_id_);
    if (core::resource_server.get_loader().find_resource(second_id) != nullptr) {
        core::ResourceObject* const second = core::resource_server.open_resource(second_id);
        record.second_resource_object = second->get_handle();
        record.second_data = static_cast<const uint8_t*>(second->get_data());
    }
    if (!resource_valid_) {
        return;
    }
    record.header = read_mesh_header(resource_data_);
    create_materials();
    create_streams();
}

void Mesh::create_materials() {
    MeshRender& record = get_render();
    const MeshHeader& header = record.header;
    uint32_t set = get_mesh_material_set(mesh_id_);
    std::string error;
    if (set != 0 && !check_mesh_material_set(mesh_id_, resource_data_, resource_size_, set, &error)) {
        report_message(MessageKind::Warning, nullptr, nullptr, 0, "%s; set 0 used", error.c_str());
        set = 0;
    }
    const bool odd_lighting = header.sub_part_count != 0 &&
                              read_vertex_layout_word(resource_data_, header,
                                                      read_mesh_sub_part(resource_data_, header, 0).vertex_layout_index,
                                                      2) != 0;
    record.material_count = header.materials_per_set;
    if (record.material_count == 0) {
        return;
    }
    record.materials =
        static_cast<Material**>(mesh_server.allocate_array(record.material_count * sizeof(Material*)));
    uint8_t* const data = const_cast<uint8_t*>(resource_data_);
    for (uint32_t index = 0; index < record.material_count; ++index) {
        const StoredMaterialDescription stored = read_stored_material(resource_data_, header, set, index);
        MaterialDescription description;
        description.flags = stored.flags |
                            (odd_lighting ? material_flag_warm_up_odd_lighting : material_flag_warm_up_even_lighting) |
                            (variant_material_ != 0 ? material_flag_modifiable : 0);
        description.shader_index = stored.shader_index;
        description.resource = resource_object_;
        const auto table = [&](uint32_t kind) { return data + stored.tables[kind].offset; };
        const auto count = [&](uint32_t kind) { return stored.tables[kind].count; };
        description.vectors = {reinterpret_cast<shader_library::ConstantValue*>(table(0)), count(0)};
        description.textures = {reinterpret_cast<uint32_t*>(table(1)), count(1)};
        description.constant_tags = {reinterpret_cast<uint32_t*>(table(2)), count(2)};
        description.texture_tags = {reinterpret_cast<uint32_t*>(table(3)), count(3)};
        description.fibre_tags = {reinterpret_cast<uint32_t*>(table(4)), count(4)};
        record.materials[index] = material_server.create_material(description);
    }
}

void Mesh::create_streams() {
    MeshRender& record = get_render();
    OpenedResource layout(get_stream_layout_resource_id(mesh_id_));
    OpenedResource vertex_data(io::set_resource_language(get_vertex_data_resource_id(mesh_id_), io::current_language));
    std::string error;
    if (layout.object == nullptr ||
        !check_mesh_streams(mesh_id_, resource_data_, resource_size_, layout.data(), layout.size(), vertex_data.data(),
                            vertex_data.size(), record.second_data,
                            record.second_resource_object != 0
                                ? get_resource_size(find_resource_object(record.second_resource_object))
                                : 0,
                            &error)) {
        report_message(MessageKind::Warning, nullptr, nullptr, 0, "%s; the mesh draws nothing",
                       layout.object == nullptr ? "mesh stream layout missing" : error.c_str());
        // Nothing may draw without streams.
        record.header.part_count = 0;
        record.header.sub_part_count = 0;
        return;
    }
    const uint32_t count = layout.size() / stream_description_size;
    record.stream_count = count;
    if (count == 0) {
        return;
    }
    record.streams = static_cast<Stream**>(mesh_server.allocate_array(count * sizeof(Stream*)));
    const bool is_cloth = (mesh_id_ & mesh_id_cloth) != 0;
    SharedMeshStreams& shared = mesh_server.shared_streams(record.resource_slot);
    if (shared.streams == nullptr || shared.count != count) {
        shared.streams = static_cast<Stream**>(mesh_server.allocate_array(count * sizeof(Stream*)));
        std::fill_n(shared.streams, count, nullptr);
        shared.count = count;
        shared.users = 0;
    }
    ++shared.users;
    for (uint32_t index = 0; index < count; ++index) {
        StoredStreamDescription stored = read_stream_description(layout.data(), index);
        // A cloth drives its vertices itself: they cannot be shared.
        const bool independent = (stored.format & stream_layout_independent) != 0 ||
                                 (is_cloth && (stored.format & stream_format_index) == 0);
        if (!independent && shared.streams[index] != nullptr) {
            record.streams[index] = shared.streams[index];
            continue;
        }
        // Cloth positions move in the stream's extra room: one vertex of the
        // stride per cloth vertex, beyond what the resource holds.
        if (is_cloth && (stored.format & stream_format_index) == 0) {
            const uint64_t room = uint64_t{stored.format & stream_format_stride_mask} * default_cloth_vertex_count;
            stored.extra_size = room > stored.data_size ? static_cast<uint32_t>(room - stored.data_size) : 0;
        }
        const StreamDataSource source = get_stream_data_source(stored.format);
        const uint8_t* const bytes = source == StreamDataSource::vertex_data   ? vertex_data.data()
                                     : source == StreamDataSource::second_data ? record.second_data
                                                                               : nullptr;
        const StreamDescription description{stored.format & ~(stream_layout_independent | stream_layout_source_mask),
                                            stored.source_offset, stored.data_size, stored.extra_size};
        Stream* const stream = create_stream(description, bytes);
        record.streams[index] = stream;
        if (independent) {
            private_streams_ = 1;
        } else {
            shared.streams[index] = stream;
        }
    }
    record.private_streams = private_streams_;
}

void Mesh::finalize() {
    leave_ring();
    if (core::ResourceObject* const resource = find_resource_object(resource_object_)) {
        core::resource_server.destroy_object_internal(resource);
    }
    resource_object_ = 0;
    resource_data_ = nullptr;
}

void Mesh::resources_moved() {
    if (const core::ResourceObject* const resource = find_resource_object(resource_object_)) {
        resource_data_ = static_cast<const uint8_t*>(resource->get_data());
    }
    MeshRender& record = get_render();
    if (const core::ResourceObject* const resource = find_resource_object(record.resource_object)) {
        record.resource_data = static_cast<const uint8_t*>(resource->get_data());
    }
    if (const core::ResourceObject* const second = find_resource_object(record.second_resource_object)) {
        record.second_data = static_cast<const uint8_t*>(second->get_data());
    }
}

void Mesh::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u32(stream, mesh_id_);
    core::write_u32(stream, resource_object_);
    core::write_u32(stream, renderer_word_);
    core::write_u32(stream, reference_count_);
    core::write_u32(stream, skeleton_);
    core::write_u8(stream, variant_material_);
    core::write_u8(stream, material_not_ready_);
    core::write_u8(stream, private_streams_);
    const MeshRender& record = get_render();
    core::write_u8(stream, record.private_streams);
    core::write_u32(stream, record.resource_object);
    core::write_u32(stream, record.second_resource_object);
    core::write_u32(stream, record.saved_word);
    core::write_u32(stream, record.material_count);
    for (uint32_t index = 0; index < record.material_count; ++index) {
        core::write_u32(stream, record.materials[index] != nullptr ? record.materials[index]->get_handle() : 0);
    }
}

bool Mesh::load(storage::LoadStream& stream) {
    uint8_t record_private = 0;
    uint32_t record_resource = 0;
    uint32_t second_resource = 0;
    uint32_t saved_word = 0;
    uint32_t material_count = 0;
    if (!ServerObject::load(stream) || !core::read_u32(stream, mesh_id_) || !core::read_u32(stream, resource_object_) ||
        !core::read_u32(stream, renderer_word_) || !core::read_u32(stream, reference_count_) ||
        !core::read_u32(stream, skeleton_) || !core::read_u8(stream, variant_material_) ||
        !core::read_u8(stream, material_not_ready_) || !core::read_u8(stream, private_streams_) ||
        !core::read_u8(stream, record_private) || !core::read_u32(stream, record_resource) ||
        !core::read_u32(stream, second_resource) || !core::read_u32(stream, saved_word) ||
        !core::read_u32(stream, material_count)) {
        return false;
    }
    const core::ResourceObject* const resource = find_resource_object(resource_object_);
    const core::ResourceObject* const record_object = find_resource_object(record_resource);
    if (resource == nullptr || record_object == nullptr ||
        resource->get_info()->id != get_mesh_resource_id(mesh_id_) || record_object != resource) {
        return false;
    }
    MeshRender& record = get_render();
    record = MeshRender{};
    record.in_use = true;
    record.mesh_id = mesh_id_;
    record.resource_object = record_resource;
    record.second_resource_object = find_resource_object(second_resource) != nullptr ? second_resource : 0;
    if (const core::ResourceObject* const second = find_resource_object(record.second_resource_object)) {
        record.second_data = static_cast<const uint8_t*>(second->get_data());
    }
    record.saved_word = saved_word;
    open_resource_and_join_ring(resource_object_);
    record.resource_data = resource_data_;
    record.resource_slot = core::get_handle_index(resource_object_);
    record.renderer_word = renderer_word_;
    if (!check_resource()) {
        return material_count == 0;
    }
    record.header = read_mesh_header(resource_data_);
    if (material_count != record.header.materials_per_set) {
        return false;
    }
    record.material_count = material_count;
    if (material_count != 0) {
        record.materials = static_cast<Material**>(mesh_server.allocate_array(material_count * sizeof(Material*)));
    }
    for (uint32_t index = 0; index < material_count; ++index) {
        uint32_t handle = 0;
        if (!core::read_u32(stream, handle)) {
            return false;
        }
        record.materials[index] = material_server.find_material(handle);
        if (record.materials[index] == nullptr) {
            return false;
        }
    }
    private_streams_ = 0;
    create_streams();
    mesh_server.mark_for_update(*this);
    return true;
}

bool Mesh::get_property(uint32_t id, core::Property& out) const {
    if (names(id, mesh_property::skeleton)) {
        out.set_u32(0x3000000, skeleton_);
        return true;
    }
    return ServerObject::get_property(id, out);
}

bool Mesh::set_property(uint32_t id, const core::Property& value) {
    if (id == mesh_property::skeleton) {
        const core::ObjectHandle handle = value.get_u32();
        if (handle != 0) {
            // Palette entries name the bones of the skeleton the mesh was
            // skinned to: only one of that bone count can pose it.
            const animation::Skeleton* const skeleton = find_bound_skeleton(handle);
            if (skeleton == nullptr || !resource_valid_ ||
                skeleton->get_bone_count() != read_mesh_header(resource_data_).bone_count) {
                return false;
            }
        }
        skeleton_ = handle;
        mesh_server.mark_for_update(*this);
        return true;
    }
    return ServerObject::set_property(id, value);
}

void Mesh::get_bounding_sphere(float out[4]) const {
    if (animation::Skeleton* const skeleton = find_bound_skeleton(skeleton_)) {
        const animation::SkeletonBounds& bounds = skeleton->get_bounds();
        out[0] = bounds.centre.x;
        out[1] = bounds.centre.y;
        out[2] = bounds.centre.z;
        out[3] = bounds.radius;
        return;
    }
    const MeshSphere sphere = resource_valid_ ? read_mesh_header(resource_data_).sphere : MeshSphere{};
    out[0] = sphere.x;
    out[1] = sphere.y;
    out[2] = sphere.z;
    out[3] = has_private_data() ? sphere.radius * 2 : sphere.radius;
}

void Mesh::get_bounding_box(float minimum[3], float maximum[3]) const {
    if (animation::Skeleton* const skeleton = find_bound_skeleton(skeleton_)) {
        const animation::SkeletonBounds& bounds = skeleton->get_bounds();
        const float centre[3] = {bounds.centre.x, bounds.centre.y, bounds.centre.z};
        const float extents[3] = {bounds.extents.x, bounds.extents.y, bounds.extents.z};
        for (uint32_t axis = 0; axis < 3; ++axis) {
            minimum[axis] = centre[axis] - extents[axis];
            maximum[axis] = centre[axis] + extents[axis];
        }
        return;
    }
    const MeshHeader header = resource_valid_ ? read_mesh_header(resource_data_) : MeshHeader{};
    for (uint32_t axis = 0; axis < 3; ++axis) {
        minimum[axis] = header.box_minimum[axis];
        maximum[axis] = header.box_maximum[axis];
    }
}

}  // namespace zolt::renderer

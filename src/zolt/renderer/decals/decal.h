#pragma once
// A decal set (server type 39, ten of them): every decal of one kind on one
// target, a sector or a visual, sharing one material and one description of
// size, depth, angle limit, lifetime and fading. Spawning writes triangles
// into the set's ring of 100, in the target's local space and in the layout
// the decal shaders read; old decals expire after lifetime + fade time and
// the oldest make room when a ring is full. The rings are never saved.
// Everything lives in the set's own record: spawning allocates nothing.
// Main thread only.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/decals/decal_projection.h"

namespace zolt::renderer {

constexpr uint32_t decal_triangle_capacity = 100;
constexpr uint32_t decal_spawn_capacity = 50;

enum class DecalSpawnType : uint32_t { quad = 0, projected = 1, finalized = 2 };

// Overlap flags.
constexpr uint32_t decal_overlap_same_set = 0x1;
constexpr uint32_t decal_overlap_other_sets = 0x2;

// Shader 25 projects only onto triangles with the decal flag.
constexpr uint32_t flagged_triangles_shader = 25;

// What a description object says about a set; a missing property reads 0.
struct DecalDescription {
    uint32_t spawn_type = 0;
    float width = 1;
    float height = 1;
    float depth = 0;
    float angle_limit = 0.125f;
    uint32_t shader_index = 0;
    uint32_t textures[3] = {};
    uint32_t lifetime = 100000;
    uint32_t fade_time = 100000;
    uint8_t destroy_when_empty = 1;
    uint32_t overlap_flags = 0;
};

// The description properties of a game object; false when the handle names
// none or a number in it is not finite.
bool read_decal_description(core::ObjectHandle description, DecalDescription& out);

struct DecalSpawnRecord {
    // Ticks after the set's time base.
    uint32_t time = 0;
    uint32_t triangle_count = 0;
    geometry::Vector3 box_minimum;
    geometry::Vector3 box_maximum;
};

namespace decal_property {
constexpr uint32_t size = 14, first_texture = 23, second_texture = 24, third_texture = 25, target = 179, sector = 231,
                   visual = 232, spawn_type = 233, depth = 234, angle_limit = 235, shader_index = 236, lifetime = 237,
                   fade_time = 238, overlap_flags = 239, destroy_when_empty = 376;
}  // namespace decal_property

class Decal final : public core::ServerObject {
public:
    void initialize(uint32_t argument) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;
    // The description is fixed at creation: its own ids are refused.
    bool set_property(uint32_t id, const core::Property& value) override;

    // Takes the description for the target (a visual when its handle is of
    // the visual server, else a sector) and the target's geometry resource.
    void initialize_from(const DecalDescription& description, core::ObjectHandle target,
                         core::ObjectHandle geometry_resource);
    bool matches(const DecalDescription& description) const;

    // One decal at a place in the target's local frame; surface holds the
    // triangles a projected decal is laid on (null: none).
    void spawn(const geometry::Vector3& position, const geometry::Vector3& tangent,
               const geometry::Vector3& bitangent, const geometry::Vector3& normal, uint32_t group_mask,
               const DecalSurface* surface);
    // The rotation's +X, +Z and -Y become tangent, bitangent and normal.
    void spawn_in_world_space(const geometry::Vector3& position, const geometry::Quaternion& rotation,
                              uint32_t group_mask, const DecalSurface* surface);
    // Drops the decals whose time is over and moves the time base; true when
    // the set is empty and asks to be destroyed then.
    bool expire();

    core::ObjectHandle get_target() const { return visual != 0 ? visual : sector; }
    uint32_t get_age(const DecalSpawnRecord& record) const;
    const DecalSpawnRecord& get_spawn(uint32_t index) const {
        return spawns[(spawn_head + index) % decal_spawn_capacity];
    }
    const DecalTriangle& get_triangle(uint32_t index) const {
        return triangles[(triangle_head + index) % decal_triangle_capacity];
    }

    core::ObjectHandle visual = 0;
    core::ObjectHandle sector = 0;
    core::ObjectHandle geometry_resource = 0;
    DecalDescription description;
    core::ObjectHandle material = 0;
    uint32_t time_base = 0;
    uint32_t spawn_head = 0;
    uint32_t triangle_head = 0;
    uint32_t spawn_count = 0;
    uint32_t triangle_count = 0;
    DecalSpawnRecord spawns[decal_spawn_capacity];
    DecalTriangle triangles[decal_triangle_capacity];

private:
    void remove_oldest();
    void remove_newest();
    // A ring slot for one more triangle of the newest record; false when
    // that record is the only one left and the ring is full.
    bool make_room(uint32_t needed);
    void append_triangle(const DecalTriangle& triangle);
    void spawn_quad(const DecalFrame& frame, float spawn_time);
    void spawn_projected(const DecalFrame& frame, uint32_t group_mask, const DecalSurface* surface,
                         float spawn_time);
    bool overlaps_live_decal(const DecalSpawnRecord& record, uint32_t newest) const;
    void rewrite_spawn_times();

    core::ObjectHandle dictionary_ = 0;
};

}  // namespace zolt::renderer

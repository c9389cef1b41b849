#pragma once
// A visual (server type 26): a mesh placed in the world. It follows a
// placement, holds one reference to a shared mesh, stands in a home sector
// (and, when asked, reaches into an overlap sector) and is drawn by becoming
// a render item of each view that sees it. Script changes only mark it; the
// server's pending pass follows the placement and re-homes it, and its
// update pass copies it into the render record the views read. Main
// (rendering) thread only.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/visuals/visual_render.h"

namespace zolt::servers {
class Sector;
}

namespace zolt::renderer {

class Mesh;

namespace visual_property {
constexpr uint32_t placement = 0x100000A, box_minimum = 0x10, box_maximum = 0x11, light_mask = 0x3000012,
                   light_view_layer_mask = 0x3000013, fake_shadow_strength = 0x5000016, global = 0x300001B,
                   uniform_scale = 0x5000054, visible = 0x300005B, mesh = 0x10000BC, view_mask = 0x30000BE,
                   home_sector = 0x10000BF, overlap_sector = 0x10000C0, fixed_sector = 0x10000C1,
                   update_countdown = 0x30000C2, track_overlap_sector = 0x30000C3, object_sphere = 0x300000C4,
                   world_centre = 0x300000C5, scale_vector = 0x300000C6, radius_override = 0x50000C7,
                   has_fake_shadow = 0x30000C8, fake_shadow_resolution = 0x30000C9, fake_shadow_priority = 0x30000CA,
                   fake_shadow_first_float = 0x50000CB, fake_shadow_last_float = 0x50000D2,
                   material_parameter_1 = 0x50000D3, material_parameter_2 = 0x50000D4, material_parameter_3 = 0x50000D5,
                   shader_parameter_1 = 0x50000D6, shader_parameter_3 = 0x50000D8, never_culled = 0x30001A2,
                   sphere_radius = 0x50001DF, distance_bias = 0x50001E2;
}

// The ring a visual is in: the visuals whose home a sector is, or those
// reaching into it from another.
enum class SectorRing : uint32_t { home = 0, overlap = 1 };
constexpr uint32_t sector_ring_count = 2;

class Visual final : public core::ServerObject {
public:
    // A mesh id, or -1 for none.
    void initialize(uint32_t mesh_id) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;
    bool remove_property(uint32_t id) override;

    core::ObjectHandle get_mesh() const { return mesh_; }
    core::ObjectHandle get_placement() const { return placement_; }
    core::ObjectHandle get_sector(SectorRing ring) const { return sectors_[static_cast<uint32_t>(ring)]; }
    int32_t get_update_countdown() const { return update_countdown_; }
    bool is_changed() const { return changed_ != 0; }
    uint32_t get_global() const { return global_; }
    const geometry::Vector3& get_position() const { return position_; }

    // Relighting and transform work for the next update.
    void mark_for_update();
    // A script change: update list and pending list, changed set.
    void mark_changed();
    // One step of the pending pass; false when the visual leaves the list.
    bool update_pending();
    // Decal sets came to lie on the visual or left it.
    void set_has_decals(bool has_decals);
    // Copies the visual into its render record.
    void copy_to_render(VisualRender& record);
    // Gives the record the fake-shadow record its settings ask for; false
    // while none is free, so the visual tries again next frame.
    bool sync_fake_shadow(VisualRender& record, uint32_t slot);
    // 1-based index of the light server's settings block; 0 for none.
    uint16_t get_fake_shadow_settings() const { return fake_shadow_settings_; }

    // Object space, radius in w, as the render record will hold it.
    geometry::Vector3 get_object_sphere() const;
    // The mesh box, scaled like the sphere.
    void get_object_box(geometry::Vector3& minimum, geometry::Vector3& maximum) const;

private:
    friend class VisualServer;

    const Mesh* find_mesh() const;
    bool set_mesh(core::ObjectHandle mesh);
    bool get_fake_shadow_property(uint32_t id, core::Property& out) const;
    // Answers whether the id is one of the fake-shadow settings; `accepted` then tells the outcome.
    bool set_fake_shadow_property(uint32_t id, const core::Property& value, bool& accepted);
    void release_fake_shadow_settings();
    void rehome();
    void move_to_sector(SectorRing ring, servers::Sector* sector);

    // The rings of the sectors, by visual handle.
    core::ObjectHandle ring_next_[sector_ring_count] = {};
    core::ObjectHandle ring_previous_[sector_ring_count] = {};
    core::ObjectHandle sectors_[sector_ring_count] = {};
    // As saved; the server joins the rings once every visual is back.
    core::ObjectHandle loaded_sectors_[sector_ring_count] = {};
    core::ObjectHandle fixed_sector_ = 0;
    uint8_t track_overlap_sector_ = 0;
    int32_t update_countdown_ = 0;
    uint8_t changed_ = 0;
    core::ObjectHandle mesh_ = 0;
    core::ObjectHandle placement_ = 0;
    uint32_t placement_change_count_ = 0;
    geometry::Vector3 position_;
    geometry::Quaternion rotation_;
    geometry::Vector3 scale_vector_;
    float radius_override_ = 0;
    float uniform_scale_ = 1;
    core::ObjectHandle dictionary_ = 0;
    uint8_t visible_ = 1;
    uint8_t never_culled_ = 0;
    uint32_t view_mask_ = 0xFFFFFFFFu;
    float distance_bias_ = 0;
    uint32_t global_ = 0;
    float material_parameters_[3] = {};
    uint32_t light_mask_ = 0xFFFFFFFFu;
    uint32_t light_view_layer_mask_ = ~0x2u;
    uint8_t transform_changed_ = 0;
    uint8_t mesh_changed_ = 0;
    uint8_t decals_changed_ = 0;
    uint16_t fake_shadow_settings_ = 0;
    uint8_t fake_shadow_changed_ = 0;
    uint8_t has_decals_ = 0;
};

}  // namespace zolt::renderer

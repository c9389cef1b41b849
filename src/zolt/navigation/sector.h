#pragma once
// Sectors (server type 30, 100 of them): one sector record of a loaded area
// brought to life, the unit the portal walk steps through. A sector keeps a
// light mask, a mesh and a placement that the mesh is drawn with, and for
// each side the ring of portals whose that side it is. Its render record,
// SectorRender, is what the renderer reads during a frame; every change
// marks the sector dirty and the server's per-frame update copies dirty
// sectors into their records. Visuals, light instances and decals link into
// sectors once their servers exist. Main thread only.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/navigation/area_data.h"

namespace zolt::renderer {
struct LightInstanceRender;
struct VisualRender;
}

namespace zolt::servers {

constexpr uint32_t sector_server_type = 30;
constexpr uint32_t sector_capacity = 100;
constexpr uint32_t portal_side_count = 2;

namespace sector_property {
constexpr uint32_t light_mask = 0x03000012, mesh = 0x010000BC, placement = 0x01000201, lightmap_prefetch = 0x03000203;
}

class LoadableArea;
struct PortalRender;
class Sector;

// Filled by the visual server when it registers: a new sector has its
// visuals re-homed, a finalized one drops the visuals of its rings.
struct SectorVisualHooks {
    void (*sector_initialized)(Sector& sector) = nullptr;
    void (*sector_finalized)(Sector& sector) = nullptr;
};
extern SectorVisualHooks sector_visual_hooks;

// Filled by the decal server while it runs: decals were laid on a sector's
// mesh, so a sector that changes its mesh or goes away destroys them.
struct SectorDecalHooks {
    void (*destroy_decals)(core::ObjectHandle sector) = nullptr;
};
extern SectorDecalHooks sector_decal_hooks;

constexpr uint32_t light_list_set_count = 2;
constexpr uint32_t light_list_type_count = 3;

struct SectorRender {
    // Null while the slot holds no sector.
    LoadableArea* area = nullptr;
    uint32_t record_index = 0;
    // The flags of the area's sector record (sector_flag).
    uint32_t record_flags = 0;
    uint32_t light_mask = 0;
    // The render records of the first portal of each side's ring.
    PortalRender* first_portals[portal_side_count] = {};
    core::ObjectHandle mesh = 0;
    // The render records of the first visual of the home and overlap rings;
    // kept by the visual server.
    const renderer::VisualRender* first_visuals[2] = {};
    geometry::Vector3 world_position;
    geometry::Quaternion world_rotation;
    uint8_t has_placement = 0;
    // Heads of the rings of light-instance records: set 0 static lights,
    // set 1 dynamic ones, each by light type. The light code links them.
    renderer::LightInstanceRender* lights[light_list_set_count][light_list_type_count] = {};
    // The sector itself while decal sets lie on it, else 0: the decal
    // server draws them with the sector's mesh.
    core::ObjectHandle decals = 0;
};

// Called before a released sector's render record is cleared, so that the
// light code can unlink what it linked there; null: nothing to do.
using SectorRenderReleaseHook = void (*)(SectorRender& record);
extern SectorRenderReleaseHook sector_render_release_hook;

class Sector final : public core::ServerObject {
public:
    void initialize(uint32_t location) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    void placement_changed() override { mark_dirty(); }
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;
    bool remove_property(uint32_t id) override;

    // Null when the sector names no usable record of a loaded area.
    LoadableArea* get_area() const;
    uint32_t get_record_index() const { return record_index_; }
    uint32_t get_light_mask() const { return light_mask_; }
    core::ObjectHandle get_mesh() const { return mesh_; }
    core::ObjectHandle get_placement() const { return placement_; }
    core::ObjectHandle get_first_portal(uint32_t side) const { return first_portals_[side]; }
    // 0 when the sector's mesh has no lightmap.
    uint32_t get_lightmap_texture() const { return lightmap_texture_; }
    bool prefetches_lightmaps() const { return lightmap_prefetch_ != 0; }
    void set_first_portal(uint32_t side, core::ObjectHandle portal) { first_portals_[side] = portal; }
    // The head of visual ring 0 (home) or 1 (overlap).
    core::ObjectHandle get_first_visual(uint32_t ring) const { return first_visuals_[ring]; }
    void set_first_visual(uint32_t ring, core::ObjectHandle visual) { first_visuals_[ring] = visual; }

    // The sector beyond the first portal of this sector's rings (side 0,
    // then side 1) that the sphere touches, enabled or not; null for none.
    Sector* find_sector_across_portal(const geometry::Vector3& centre, float radius) const;

    // Decal sets came to lie on the sector or left it.
    void set_has_decals(bool has_decals);
    void mark_dirty() { dirty_ = 1; }
    bool is_dirty() const { return dirty_ != 0; }
    // Copies the sector into its render record.
    void sync_render_record();

private:
    void link_to_area();
    void set_placement(core::ObjectHandle placement);
    void unlink_portals();
    void destroy_decals();

    uint32_t record_index_ = 0;
    uint32_t light_mask_ = 0xFFFFFFFFu;
    // 0 when the location named no usable record.
    core::ObjectHandle area_ = 0;
    core::ObjectHandle first_portals_[portal_side_count] = {};
    core::ObjectHandle first_visuals_[2] = {};
    core::ObjectHandle mesh_ = 0;
    core::ObjectHandle placement_ = 0;
    core::ObjectHandle dictionary_ = 0;
    uint32_t lightmap_texture_ = 0;
    uint8_t lightmap_prefetch_ = 0;
    uint8_t dirty_ = 0;
    uint8_t has_decals_ = 0;
    uint8_t decals_changed_ = 0;
};

class SectorServer final : public core::PooledServer<Sector, sector_capacity> {
public:
    SectorServer() : PooledServer(sector_server_type) {}

    const char* get_name() const override { return "SectorServer"; }
    // Clears the render record at once: sectors are never in use.
    void object_released(core::ServerObject* object) override;
    // Syncs every dirty sector into its render record.
    void update() override;

    Sector* create_sector(uint32_t location) { return static_cast<Sector*>(create_object_internal(location)); }
    SectorRender& get_render_record(const Sector& sector) { return render_records_[get_slot_of(sector)]; }
    SectorRender* find_render_record(core::ObjectHandle sector);
    SectorRender& get_render_record_at(uint32_t index) { return render_records_[index]; }
    // The record's slot (0 to 99), or sector_capacity for a record not of this server.
    uint32_t get_render_record_index(const SectorRender* record) const {
        const auto index = static_cast<uint32_t>(record - render_records_);
        return record >= render_records_ && index < sector_capacity ? index : sector_capacity;
    }
    uint32_t get_slot_of(const Sector& sector) const;

private:
    SectorRender render_records_[sector_capacity];
};

extern SectorServer sector_server;

}  // namespace zolt::servers

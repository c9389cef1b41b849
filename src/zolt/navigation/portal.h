#pragma once
// Portals (server type 29, 100 of them): one portal record of a loaded area,
// a four-cornered opening whose two sides lead into two sectors. A portal
// finds its sectors itself, by probing just off each side of its plane, and
// keeps itself on their per-side rings. Its render record, PortalRender, is
// what the portal walk reads; the server's per-frame update copies dirty
// portals into their records after relinking any side still empty when a
// sector came or the server started. Main thread only.
#include <cstdint>

#include "libs/geometry/vector.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/navigation/area_data.h"
#include "zolt/navigation/sector.h"

namespace zolt::servers {

constexpr uint32_t portal_server_type = 29;
constexpr uint32_t portal_capacity = 100;

namespace portal_property {
constexpr uint32_t enabled = 0x0300005B, maximum_distance = 0x05000200;
}

struct PortalRender {
    uint32_t record_index = 0;
    // Null while the slot holds no portal.
    LoadableArea* area = nullptr;
    uint8_t enabled = 0;
    float maximum_distance = 0;
    SectorRender* sectors[portal_side_count] = {};
    // The next portal of each side's ring; a portal alone points at itself.
    PortalRender* next[portal_side_count] = {};
};

class Portal final : public core::ServerObject {
public:
    void initialize(uint32_t location) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;
    bool remove_property(uint32_t id) override;

    // Null when the portal names no usable record of a loaded area.
    LoadableArea* get_area() const;
    uint32_t get_record_index() const { return record_index_; }
    bool is_enabled() const { return enabled_ != 0; }
    float get_maximum_distance() const { return maximum_distance_; }
    core::ObjectHandle get_sector(uint32_t side) const { return sectors_[side]; }
    core::ObjectHandle get_next(uint32_t side) const { return next_[side]; }

    void link_side(uint32_t side, Sector* sector);
    void unlink_side(uint32_t side);
    // Fills each empty side with the sector found just off that side.
    void link_sides();
    // Whether the sphere reaches the opening: within the plane distance and
    // inside or near enough every edge.
    bool touches_sphere(const geometry::Vector3& centre, float radius) const;

    void mark_dirty() { dirty_ = 1; }
    bool is_dirty() const { return dirty_ != 0; }
    void sync_render_record();

private:
    core::ObjectHandle area_ = 0;
    uint32_t record_index_ = 0;
    uint8_t enabled_ = 1;
    float maximum_distance_ = 0;
    core::ObjectHandle sectors_[portal_side_count] = {};
    core::ObjectHandle next_[portal_side_count] = {};
    core::ObjectHandle previous_[portal_side_count] = {};
    core::ObjectHandle dictionary_ = 0;
    uint8_t dirty_ = 0;
};

class PortalServer final : public core::PooledServer<Portal, portal_capacity> {
public:
    PortalServer() : PooledServer(portal_server_type) {}

    const char* get_name() const override { return "PortalServer"; }
    // Also raises the relink flag and takes the frame's relink step.
    void register_server() override;
    void unregister_server() override;
    void object_released(core::ServerObject* object) override;
    // Syncs every dirty portal into its render record.
    void update() override;

    Portal* create_portal(uint32_t location) { return static_cast<Portal*>(create_object_internal(location)); }
    PortalRender& get_render_record(const Portal& portal) { return render_records_[get_slot_of(portal)]; }
    uint32_t get_slot_of(const Portal& portal) const;

    void raise_relink_flag() { relink_ = 1; }
    // Once per frame, before the update: every live portal relinks its
    // empty sides when the flag is up.
    void relink_portals();

private:
    PortalRender render_records_[portal_capacity];
    uint8_t relink_ = 0;
};

extern PortalServer portal_server;

}  // namespace zolt::servers

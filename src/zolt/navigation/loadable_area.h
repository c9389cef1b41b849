#pragma once
// Loadable areas (server type 31, 10 of them): one piece of a level's static
// structure, its sector and portal records and the partition that says which
// sector holds a point, read in place from the two resources of its area
// number. Sectors fill the area's 50 slots with their handles; the server's
// live list, in creation order, is the ring that every search walks. The
// area keeps resource handles, not pointers, so a resource shake needs no
// fix-up. Main thread only.
#include <cstdint>

#include "libs/geometry/vector.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/navigation/area_data.h"

namespace zolt::servers {

constexpr uint32_t loadable_area_server_type = 31;
constexpr uint32_t loadable_area_capacity = 10;

namespace area_property {
constexpr uint32_t position = 0x3000000B, area_number = 0x03000204;
}

constexpr int32_t no_record = -1;

class LoadableArea final : public core::ServerObject {
public:
    void initialize(uint32_t area_number) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;
    bool remove_property(uint32_t id) override;

    uint32_t get_number() const { return number_; }
    const geometry::Vector3& get_position() const { return position_; }
    // Null while the resource is not open.
    const uint8_t* get_layout() const;
    const uint8_t* get_partition() const;
    uint32_t get_sector_count() const;
    uint32_t get_portal_count() const;
    // Records past the 50 slots, or past the area's count, cannot be used.
    bool is_usable_sector_record(uint32_t index) const;
    bool is_usable_portal_record(uint32_t index) const;
    SectorRecord get_sector_record(uint32_t index) const;
    PortalRecord get_portal_record(uint32_t index) const;

    core::ObjectHandle get_sector_slot(uint32_t index) const;
    void set_sector_slot(uint32_t index, core::ObjectHandle sector);

    // The record index of the sector that holds the point, or no_record.
    int32_t locate_sector(const geometry::Vector3& point) const;

private:
    int32_t get_filled_slot(uint32_t sector_number) const;

    uint32_t number_ = 0;
    core::ObjectHandle layout_resource_ = 0;
    core::ObjectHandle partition_resource_ = 0;
    geometry::Vector3 position_;
    core::ObjectHandle dictionary_ = 0;
    core::ObjectHandle sector_slots_[area_sector_slot_count] = {};
};

struct SectorAtPoint {
    LoadableArea* area = nullptr;
    int32_t record = no_record;
};

class LoadableAreaServer final : public core::PooledServer<LoadableArea, loadable_area_capacity> {
public:
    LoadableAreaServer() : PooledServer(loadable_area_server_type) {}

    const char* get_name() const override { return "LoadableAreaServer"; }

    LoadableArea* create_area(uint32_t area_number) {
        return static_cast<LoadableArea*>(create_object_internal(area_number));
    }
    // The first area on the ring with that number, or null.
    LoadableArea* find_area(uint32_t area_number);
    // The hint area first (may be null), then the ring; an overlay sector
    // yields to any other, and among overlay sectors the smallest box wins.
    SectorAtPoint find_sector_at_point(LoadableArea* hint, const geometry::Vector3& point);
    // The sector handle in the slot a location names; 0 for -1, an area not
    // loaded or an empty slot. The hint is tried before the ring.
    core::ObjectHandle get_sector_at_location(LoadableArea* hint, uint32_t location);
};

extern LoadableAreaServer loadable_area_server;

}  // namespace zolt::servers

#include "zolt/navigation/portal.h"

#include <limits>

#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script_objects/extra_properties.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/renderer/backend/rendering_commands.h"

namespace zolt::servers {

PortalServer portal_server;

namespace {

constexpr float probe_distance = 0.01f;
constexpr float largest_distance = std::numeric_limits<float>::max();

bool names(uint32_t id, uint32_t typed) {
    return id == typed || id == (typed & 0xFFFFFFu);
}

Portal* find_portal(core::ObjectHandle handle) {
    return handle != 0 ? portal_server.get_typed_object(handle) : nullptr;
}

Sector* find_sector(core::ObjectHandle handle) {
    return handle != 0 ? sector_server.get_typed_object(handle) : nullptr;
}

}  // namespace

void Portal::initialize(uint32_t location) {
    dictionary_ = 0;
    enabled_ = 1;
    maximum_distance_ = largest_distance;
    for (uint32_t side = 0; side < portal_side_count; ++side) {
        sectors_[side] = next_[side] = previous_[side] = 0;
    }
    record_index_ = get_location_record(location);
    LoadableArea* const area = loadable_area_server.find_area(get_location_area(location));
    // A record past the area's portals is never read: the portal stays
    // without an opening and links nothing.
    area_ = area != nullptr && area->is_usable_portal_record(record_index_) ? area->get_handle() : 0;
    PortalRender& render = portal_server.get_render_record(*this);
    render = {};
    render.record_index = record_index_;
    render.area = get_area();
    link_sides();
    mark_dirty();
}

void Portal::finalize() {
    for (uint32_t side = 0; side < portal_side_count; ++side) {
        if (Sector* const sector = find_sector(sectors_[side])) {
            unlink_side(side);
            sector->mark_dirty();
        }
    }
    area_ = 0;
    core::destroy_extra_properties(dictionary_);
}

LoadableArea* Portal::get_area() const {
    return area_ != 0 ? loadable_area_server.get_typed_object(area_) : nullptr;
}

void Portal::link_side(uint32_t side, Sector* sector) {
    sectors_[side] = sector->get_handle();
    const core::ObjectHandle head = sector->get_first_portal(side);
    Portal* const first = find_portal(head);
    if (first == nullptr) {
        sector->set_first_portal(side, get_handle());
        next_[side] = previous_[side] = get_handle();
    } else {
        Portal* const last = find_portal(first->previous_[side]);
        next_[side] = head;
        previous_[side] = last->get_handle();
        last->next_[side] = get_handle();
        first->previous_[side] = get_handle();
        // Their render records point at their ring neighbours too.
        last->mark_dirty();
        first->mark_dirty();
    }
    mark_dirty();
}

void Portal::unlink_side(uint32_t side) {
    Sector* const sector = find_sector(sectors_[side]);
    if (sector != nullptr) {
        if (next_[side] == get_handle()) {
            sector->set_first_portal(side, 0);
        } else {
            Portal* const next = find_portal(next_[side]);
            Portal* const previous = find_portal(previous_[side]);
            next->previous_[side] = previous_[side];
            previous->next_[side] = next_[side];
            next->mark_dirty();
            previous->mark_dirty();
            if (sector->get_first_portal(side) == get_handle()) {
                sector->set_first_portal(side, next_[side]);
            }
        }
    }
    sectors_[side] = next_[side] = previous_[side] = 0;
    mark_dirty();
}

void Portal::link_sides() {
    LoadableArea* const area = get_area();
    if (area == nullptr) {
        return;
    }
    const PortalRecord record = area->get_portal_record(record_index_);
    const geometry::Vector3 normal{record.plane.x, record.plane.y, record.plane.z};
    for (uint32_t side = 0; side < portal_side_count; ++side) {
        if (sectors_[side] != 0) {
            continue;
        }
        const geometry::Vector3 probe = record.centre + normal * (side == 0 ? probe_distance : -probe_distance);
        const SectorAtPoint found = loadable_area_server.find_sector_at_point(nullptr, probe);
        Sector* const sector = found.area != nullptr
                                   ? find_sector(found.area->get_sector_slot(static_cast<uint32_t>(found.record)))
                                   : nullptr;
        if (sector != nullptr) {
            link_side(side, sector);
            sector->mark_dirty();
        }
    }
}

bool Portal::touches_sphere(const geometry::Vector3& centre, float radius) const {
    LoadableArea* const area = get_area();
    if (area == nullptr) {
        return false;
    }
    const PortalRecord record = area->get_portal_record(record_index_);
    const float plane_distance =
        record.plane.x * centre.x + record.plane.y * centre.y + record.plane.z * centre.z + record.plane.w;
    const float s = plane_distance < 0 ? -plane_distance : plane_distance;
    if (radius < s) {
        return false;
    }
    // The sphere's circle on the portal plane has squared radius k.
    const float k = radius * radius - s * s;
    for (const geometry::Vector4& edge : record.edges) {
        const float t = edge.x * centre.x + edge.y * centre.y + edge.z * centre.z + edge.w;
        if (t >= 0 && k < t * t) {
            return false;
        }
    }
    return true;
}

bool Portal::get_property(uint32_t id, core::Property& out) const {
    if (names(id, portal_property::enabled)) {
        out.set_u32(0x3000000, enabled_);
    } else if (names(id, portal_property::maximum_distance)) {
        out.set_float(0x5000000, maximum_distance_);
    } else {
        return ServerObject::get_property(id, out) || core::get_extra_property(dictionary_, id, out);
    }
    return true;
}

bool Portal::set_property(uint32_t id, const core::Property& value) {
    switch (id) {
    case portal_property::enabled:
        enabled_ = value.get_u32() != 0 ? 1 : 0;
        break;
    case portal_property::maximum_distance:
        maximum_distance_ = value.get_float();
        break;
    default:
        return ServerObject::set_property(id, value) || core::set_extra_property(dictionary_, id, value);
    }
    mark_dirty();
    return true;
}

bool Portal::remove_property(uint32_t id) {
    return core::remove_extra_property(dictionary_, id);
}

void Portal::sync_render_record() {
    PortalRender& render = portal_server.get_render_record(*this);
    render.enabled = enabled_;
    render.maximum_distance = maximum_distance_;
    for (uint32_t side = 0; side < portal_side_count; ++side) {
        render.sectors[side] = sector_server.find_render_record(sectors_[side]);
        const Portal* const next = find_portal(next_[side]);
        render.next[side] = next != nullptr ? &portal_server.get_render_record(*next) : nullptr;
    }
    dirty_ = 0;
}

void Portal::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u32(stream, area_);
    core::write_u32(stream, record_index_);
    core::write_u8(stream, enabled_);
    core::write_f32(stream, maximum_distance_);
    core::write_u32(stream, dictionary_);
    core::write_u32(stream, sectors_[0]);
    core::write_u32(stream, sectors_[1]);
}

bool Portal::load(storage::LoadStream& stream) {
    core::ObjectHandle saved_sectors[portal_side_count] = {};
    for (uint32_t side = 0; side < portal_side_count; ++side) {
        sectors_[side] = next_[side] = previous_[side] = 0;
    }
    if (!ServerObject::load(stream) || !core::read_u32(stream, area_) || !core::read_u32(stream, record_index_) ||
        !core::read_u8(stream, enabled_) || !core::read_f32(stream, maximum_distance_) ||
        !core::read_u32(stream, dictionary_) || !core::read_u32(stream, saved_sectors[0]) ||
        !core::read_u32(stream, saved_sectors[1])) {
        return false;
    }
    LoadableArea* const area = get_area();
    if (area_ != 0 && (area == nullptr || !area->is_usable_portal_record(record_index_))) {
        return false;
    }
    PortalRender& render = portal_server.get_render_record(*this);
    render = {};
    render.record_index = record_index_;
    render.area = area;
    for (uint32_t side = 0; side < portal_side_count; ++side) {
        if (Sector* const sector = find_sector(saved_sectors[side])) {
            link_side(side, sector);
            sector->mark_dirty();
        }
    }
    mark_dirty();
    return true;
}

void PortalServer::register_server() {
    PooledServer::register_server();
    relink_ = 1;
    renderer::rendering_command_hooks.relink_portals = [] { portal_server.relink_portals(); };
}

void PortalServer::unregister_server() {
    renderer::rendering_command_hooks.relink_portals = nullptr;
    PooledServer::unregister_server();
    relink_ = 0;
}

uint32_t PortalServer::get_slot_of(const Portal& portal) const {
    return static_cast<uint32_t>((reinterpret_cast<const uint8_t*>(&portal) - get_object_array()) /
                                 get_object_stride());
}

void PortalServer::object_released(core::ServerObject* object) {
    render_records_[get_slot_of(*static_cast<Portal*>(object))] = {};
}

void PortalServer::relink_portals() {
    if (relink_ == 0) {
        return;
    }
    core::for_each_live_object(this, [](core::ServerObject* object) { static_cast<Portal*>(object)->link_sides(); });
    relink_ = 0;
}

void PortalServer::update() {
    core::for_each_live_object(this, [](core::ServerObject* object) {
        auto* const portal = static_cast<Portal*>(object);
        if (portal->is_dirty()) {
            portal->sync_render_record();
        }
    });
}

}  // namespace zolt::servers

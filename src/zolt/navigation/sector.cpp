#include "zolt/navigation/sector.h"

#include <cstring>

#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/script_objects/extra_properties.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/portal.h"

namespace zolt::servers {

SectorServer sector_server;
SectorRenderReleaseHook sector_render_release_hook = nullptr;
SectorVisualHooks sector_visual_hooks;
SectorDecalHooks sector_decal_hooks;

namespace {

constexpr uint32_t mesh_server_type = 25;

bool names(uint32_t id, uint32_t typed) {
    return id == typed || id == (typed & 0xFFFFFFu);
}

core::Placement* find_placement(core::ObjectHandle handle) {
    return handle != 0 && core::placement_server.is_registered() ? core::placement_server.get_typed_object(handle)
                                                                 : nullptr;
}

// 0 unless the handle names a live mesh.
core::ObjectHandle resolve_mesh(core::ObjectHandle handle) {
    core::ServerObject* const object = handle != 0 ? core::resolve_handle(handle) : nullptr;
    return object != nullptr && core::get_handle_server_type(object->get_handle()) == mesh_server_type
               ? object->get_handle()
               : 0;
}

}  // namespace

void Sector::initialize(uint32_t location) {
    has_decals_ = decals_changed_ = 0;
    mesh_ = placement_ = dictionary_ = 0;
    lightmap_texture_ = 0;
    lightmap_prefetch_ = 0;
    first_portals_[0] = first_portals_[1] = 0;
    light_mask_ = 0xFFFFFFFFu;
    record_index_ = get_location_record(location);
    LoadableArea* const area = loadable_area_server.find_area(get_location_area(location));
    // A location past the area's records, or of an area not loaded, leaves
    // the sector outside every area rather than reading past its tables.
    area_ = area != nullptr && area->is_usable_sector_record(record_index_) && area->get_sector_slot(record_index_) == 0
                ? area->get_handle()
                : 0;
    link_to_area();
    portal_server.raise_relink_flag();
    first_visuals_[0] = first_visuals_[1] = 0;
    if (sector_visual_hooks.sector_initialized != nullptr) {
        sector_visual_hooks.sector_initialized(*this);
    }
    mark_dirty();
}

void Sector::link_to_area() {
    SectorRender& render = sector_server.get_render_record(*this);
    render = {};
    render.record_index = record_index_;
    if (LoadableArea* const area = get_area()) {
        area->set_sector_slot(record_index_, get_handle());
        render.area = area;
        render.record_flags = area->get_sector_record(record_index_).flags;
    }
}

void Sector::finalize() {
    if (sector_visual_hooks.sector_finalized != nullptr) {
        sector_visual_hooks.sector_finalized(*this);
    }
    first_visuals_[0] = first_visuals_[1] = 0;
    destroy_decals();
    mesh_ = 0;
    set_placement(0);
    if (LoadableArea* const area = get_area()) {
        if (area->get_sector_slot(record_index_) == get_handle()) {
            area->set_sector_slot(record_index_, 0);
        }
    }
    unlink_portals();
    area_ = 0;
    core::destroy_extra_properties(dictionary_);
}

void Sector::unlink_portals() {
    for (uint32_t side = 0; side < portal_side_count; ++side) {
        while (first_portals_[side] != 0) {
            Portal* const portal = portal_server.get_typed_object(first_portals_[side]);
            if (portal == nullptr) {
                first_portals_[side] = 0;
                break;
            }
            portal->unlink_side(side);
        }
    }
}

LoadableArea* Sector::get_area() const {
    return area_ != 0 ? loadable_area_server.get_typed_object(area_) : nullptr;
}

void Sector::set_placement(core::ObjectHandle placement) {
    if (placement == placement_) {
        return;
    }
    if (core::Placement* const old = find_placement(placement_)) {
        if (old->get_attached_object() == get_handle()) {
            old->set_attached_object(0);
        }
    }
    placement_ = placement;
    if (core::Placement* const fresh = find_placement(placement_)) {
        fresh->set_attached_object(get_handle());
    }
    mark_dirty();
}

bool Sector::get_property(uint32_t id, core::Property& out) const {
    namespace p = sector_property;
    if (names(id, p::light_mask)) {
        out.set_u32(0x3000000, light_mask_);
    } else if (names(id, p::mesh)) {
        out.set_u32(0x3000000, mesh_);
    } else if (names(id, p::placement)) {
        out.set_u32(0x3000000, placement_);
    } else if (names(id, p::lightmap_prefetch)) {
        out.set_u32(0x4000000, lightmap_prefetch_);
    } else {
        return ServerObject::get_property(id, out) || core::get_extra_property(dictionary_, id, out);
    }
    return true;
}

bool Sector::set_property(uint32_t id, const core::Property& value) {
    namespace p = sector_property;
    switch (id) {
    case p::light_mask:
        light_mask_ = value.get_u32();
        break;
    case p::mesh: {
        const core::ObjectHandle mesh = resolve_mesh(value.get_u32());
        if (mesh == mesh_) {
            return true;
        }
        destroy_decals();
        mesh_ = mesh;
        lightmap_texture_ = 0;
        break;
    }
    case p::placement:
        set_placement(value.get_u32());
        break;
    case p::lightmap_prefetch:
        lightmap_prefetch_ = value.get_u32() != 0 ? 1 : 0;
        break;
    default:
        if (!ServerObject::set_property(id, value) && !core::set_extra_property(dictionary_, id, value)) {
            return false;
        }
        break;
    }
    mark_dirty();
    return true;
}

bool Sector::remove_property(uint32_t id) {
    return core::remove_extra_property(dictionary_, id);
}

Sector* Sector::find_sector_across_portal(const geometry::Vector3& centre, float radius) const {
    for (uint32_t side = 0; side < portal_side_count; ++side) {
        const core::ObjectHandle head = first_portals_[side];
        core::ObjectHandle handle = head;
        // A ring never holds more than every portal once.
        for (uint32_t step = 0; handle != 0 && step < portal_capacity; ++step) {
            const Portal* const portal = portal_server.get_typed_object(handle);
            if (portal == nullptr) {
                break;
            }
            if (portal->touches_sphere(centre, radius)) {
                return sector_server.get_typed_object(portal->get_sector(1 - side));
            }
            handle = portal->get_next(side);
            if (handle == head) {
                break;
            }
        }
    }
    return nullptr;
}

void Sector::destroy_decals() {
    if (sector_decal_hooks.destroy_decals != nullptr) {
        sector_decal_hooks.destroy_decals(get_handle());
    }
}

void Sector::set_has_decals(bool has_decals) {
    if ((has_decals_ != 0) != has_decals) {
        has_decals_ = has_decals ? 1 : 0;
        decals_changed_ = 1;
        mark_dirty();
    }
}

void Sector::sync_render_record() {
    SectorRender& render = sector_server.get_render_record(*this);
    render.light_mask = light_mask_;
    for (uint32_t side = 0; side < portal_side_count; ++side) {
        const Portal* const portal =
            first_portals_[side] != 0 ? portal_server.get_typed_object(first_portals_[side]) : nullptr;
        render.first_portals[side] = portal != nullptr ? &portal_server.get_render_record(*portal) : nullptr;
    }
    if (core::Placement* const placement = find_placement(placement_)) {
        render.world_position = placement->get_world_position();
        render.world_rotation = placement->get_world_rotation();
        render.has_placement = 1;
    } else {
        render.has_placement = 0;
    }
    render.mesh = resolve_mesh(mesh_);
    if (decals_changed_ != 0) {
        render.decals = has_decals_ != 0 ? get_handle() : 0;
        decals_changed_ = 0;
    }
    dirty_ = 0;
}

void Sector::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u32(stream, record_index_);
    core::write_u32(stream, light_mask_);
    core::write_u32(stream, area_);
    core::write_u32(stream, mesh_);
    core::write_u32(stream, placement_);
    core::write_u32(stream, dictionary_);
    core::write_u32(stream, lightmap_texture_);
    core::write_u8(stream, lightmap_prefetch_);
}

bool Sector::load(storage::LoadStream& stream) {
    // Decal rings are never saved: a loaded sector carries none.
    has_decals_ = decals_changed_ = 0;
    first_portals_[0] = first_portals_[1] = 0;
    // Visuals rebuild the rings from their saved sector handles.
    first_visuals_[0] = first_visuals_[1] = 0;
    if (!ServerObject::load(stream) || !core::read_u32(stream, record_index_) || !core::read_u32(stream, light_mask_) ||
        !core::read_u32(stream, area_) || !core::read_u32(stream, mesh_) || !core::read_u32(stream, placement_) ||
        !core::read_u32(stream, dictionary_) || !core::read_u32(stream, lightmap_texture_) ||
        !core::read_u8(stream, lightmap_prefetch_)) {
        return false;
    }
    LoadableArea* const area = get_area();
    if (area_ != 0 && (area == nullptr || !area->is_usable_sector_record(record_index_))) {
        return false;
    }
    link_to_area();
    mark_dirty();
    return true;
}

uint32_t SectorServer::get_slot_of(const Sector& sector) const {
    // From the address: a destroyed sector's handle already names the next
    // generation's free slot value.
    return static_cast<uint32_t>((reinterpret_cast<const uint8_t*>(&sector) - get_object_array()) /
                                 get_object_stride());
}

SectorRender* SectorServer::find_render_record(core::ObjectHandle sector) {
    Sector* const found = sector != 0 ? get_typed_object(sector) : nullptr;
    return found != nullptr ? &get_render_record(*found) : nullptr;
}

void SectorServer::object_released(core::ServerObject* object) {
    SectorRender& record = render_records_[get_slot_of(*static_cast<Sector*>(object))];
    if (sector_render_release_hook != nullptr) {
        sector_render_release_hook(record);
    }
    record = {};
}

void SectorServer::update() {
    core::for_each_live_object(this, [](core::ServerObject* object) {
        auto* const sector = static_cast<Sector*>(object);
        if (sector->is_dirty()) {
            sector->sync_render_record();
        }
    });
}

}  // namespace zolt::servers

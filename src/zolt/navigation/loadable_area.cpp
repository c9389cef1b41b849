#include "zolt/navigation/loadable_area.h"

#include <cstring>
#include <string>

#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/script_objects/extra_properties.h"

namespace zolt::servers {

namespace {

core::ResourceObject* find_resource(core::ObjectHandle handle) {
    return handle != 0 ? core::resource_server.get_typed_object(handle) : nullptr;
}

const uint8_t* get_resource_bytes(core::ObjectHandle handle) {
    core::ResourceObject* const resource = find_resource(handle);
    return resource != nullptr ? static_cast<const uint8_t*>(resource->get_data()) : nullptr;
}

uint32_t get_resource_size(core::ObjectHandle handle) {
    core::ResourceObject* const resource = find_resource(handle);
    return resource != nullptr && resource->get_info() != nullptr ? resource->get_info()->unpacked_size : 0;
}

void release_resource(core::ObjectHandle& handle) {
    if (core::ResourceObject* const resource = find_resource(handle)) {
        core::resource_server.destroy_object_internal(resource);
    }
    handle = 0;
}

bool names(uint32_t id, uint32_t typed) {
    return id == typed || id == (typed & 0xFFFFFFu);
}

float get_box_volume(const geometry::Box& box) {
    const geometry::Vector3 size = box.maximum - box.minimum;
    return size.x * size.y * size.z;
}

bool is_inside_box(const geometry::Box& box, const geometry::Vector3& p) {
    return p.x >= box.minimum.x && p.x <= box.maximum.x && p.y >= box.minimum.y && p.y <= box.maximum.y &&
           p.z >= box.minimum.z && p.z <= box.maximum.z;
}

}  // namespace

LoadableAreaServer loadable_area_server;

void LoadableArea::initialize(uint32_t area_number) {
    dictionary_ = 0;
    number_ = area_number;
    position_ = {};
    std::memset(sector_slots_, 0, sizeof sector_slots_);
    core::ResourceObject* const layout = core::resource_server.open_resource(get_area_layout_id(area_number));
    layout->set_context_handle(get_handle());
    layout_resource_ = layout->get_handle();
    partition_resource_ = core::resource_server.open_resource(get_area_partition_id(area_number))->get_handle();
    // Broken data is refused before anything reads it, naming the area.
    std::string error;
    if (!check_area_layout(number_, get_layout(), get_resource_size(layout_resource_), &error) ||
        !check_area_partition(number_, get_partition(), get_resource_size(partition_resource_), get_sector_count(),
                              &error)) {
        ZOLT_ERROR("%s", error.c_str());
    }
}

void LoadableArea::finalize() {
    release_resource(partition_resource_);
    if (core::ResourceObject* const layout = find_resource(layout_resource_)) {
        layout->set_context_handle(layout->get_handle());
    }
    release_resource(layout_resource_);
    core::destroy_extra_properties(dictionary_);
}

void LoadableArea::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u32(stream, number_);
    core::write_u32(stream, layout_resource_);
    core::write_u32(stream, partition_resource_);
    core::write_f32(stream, position_.x);
    core::write_f32(stream, position_.y);
    core::write_f32(stream, position_.z);
    core::write_u32(stream, dictionary_);
}

bool LoadableArea::load(storage::LoadStream& stream) {
    std::memset(sector_slots_, 0, sizeof sector_slots_);
    float x = 0, y = 0, z = 0;
    if (!ServerObject::load(stream) || !core::read_u32(stream, number_) || !core::read_u32(stream, layout_resource_) ||
        !core::read_u32(stream, partition_resource_) || !core::read_f32(stream, x) || !core::read_f32(stream, y) ||
        !core::read_f32(stream, z) || !core::read_u32(stream, dictionary_)) {
        return false;
    }
    position_ = {x, y, z};
    // The resources come back with their handles; a saved game that names
    // others, or data that no longer passes, is not a valid world.
    return get_layout() != nullptr && get_partition() != nullptr &&
           check_area_layout(number_, get_layout(), get_resource_size(layout_resource_), nullptr) &&
           check_area_partition(number_, get_partition(), get_resource_size(partition_resource_), get_sector_count(),
                                nullptr);
}

bool LoadableArea::get_property(uint32_t id, core::Property& out) const {
    if (names(id, area_property::position)) {
        const float values[3] = {position_.x, position_.y, position_.z};
        out.set_floats(0x30000000, values, 3);
        return true;
    }
    if (names(id, area_property::area_number)) {
        out.set_u32(0x3000000, number_);
        return true;
    }
    return ServerObject::get_property(id, out) || core::get_extra_property(dictionary_, id, out);
}

bool LoadableArea::set_property(uint32_t id, const core::Property& value) {
    if (id == area_property::position) {
        position_ = {value.get_float(0), value.get_float(1), value.get_float(2)};
        return true;
    }
    if (names(id, area_property::area_number)) {
        return false;
    }
    return ServerObject::set_property(id, value) || core::set_extra_property(dictionary_, id, value);
}

bool LoadableArea::remove_property(uint32_t id) {
    return core::remove_extra_property(dictionary_, id);
}

const uint8_t* LoadableArea::get_layout() const {
    return get_resource_bytes(layout_resource_);
}

const uint8_t* LoadableArea::get_partition() const {
    return get_resource_bytes(partition_resource_);
}

uint32_t LoadableArea::get_sector_count() const {
    const uint8_t* const layout = get_layout();
    return layout != nullptr ? read_area_word(layout, area_layout::sector_count) : 0;
}

uint32_t LoadableArea::get_portal_count() const {
    const uint8_t* const layout = get_layout();
    return layout != nullptr ? read_area_word(layout, area_layout::portal_count) : 0;
}

bool LoadableArea::is_usable_sector_record(uint32_t index) const {
    return index < get_sector_count() && index < area_sector_slot_count;
}

bool LoadableArea::is_usable_portal_record(uint32_t index) const {
    return index < get_portal_count();
}

SectorRecord LoadableArea::get_sector_record(uint32_t index) const {
    return read_sector_record(get_layout(), index);
}

PortalRecord LoadableArea::get_portal_record(uint32_t index) const {
    return read_portal_record(get_layout(), index);
}

core::ObjectHandle LoadableArea::get_sector_slot(uint32_t index) const {
    return index < area_sector_slot_count ? sector_slots_[index] : 0;
}

void LoadableArea::set_sector_slot(uint32_t index, core::ObjectHandle sector) {
    if (index < area_sector_slot_count) {
        sector_slots_[index] = sector;
    }
}

int32_t LoadableArea::get_filled_slot(uint32_t sector_number) const {
    if (sector_number == 0 || sector_number > area_sector_slot_count || sector_slots_[sector_number - 1] == 0) {
        return no_record;
    }
    return static_cast<int32_t>(sector_number - 1);
}

int32_t LoadableArea::locate_sector(const geometry::Vector3& point) const {
    const uint8_t* const partition = get_partition();
    const uint8_t* const layout = get_layout();
    if (partition == nullptr || layout == nullptr) {
        return no_record;
    }
    // Box and planes are both tested in the area's own frame, so moving the
    // area moves the whole structure.
    const geometry::Vector3 local = point - position_;
    const uint32_t root_count = read_area_word(partition, area_partition::root_count);
    for (uint32_t root = 0; root < root_count; ++root) {
        const PartitionRoot entry = read_partition_root(partition, root);
        if (entry.sector != 0) {
            if (get_filled_slot(entry.sector) == no_record ||
                !is_inside_box(read_sector_record(layout, entry.sector - 1).box, local)) {
                continue;
            }
        }
        const uint32_t leaf = find_partition_leaf(partition, entry.first_node, local);
        if (leaf == 0) {
            continue;
        }
        return entry.sector != 0 ? static_cast<int32_t>(entry.sector - 1) : get_filled_slot(leaf);
    }
    return no_record;
}

LoadableArea* LoadableAreaServer::find_area(uint32_t area_number) {
    LoadableArea* found = nullptr;
    core::for_each_live_object(this, [&](core::ServerObject* object) {
        auto* const area = static_cast<LoadableArea*>(object);
        if (found == nullptr && area->get_number() == area_number) {
            found = area;
        }
    });
    return found;
}

SectorAtPoint LoadableAreaServer::find_sector_at_point(LoadableArea* hint, const geometry::Vector3& point) {
    SectorAtPoint best;
    float best_volume = 0;
    bool found_plain = false;
    const auto consider = [&](LoadableArea* area) {
        if (found_plain) {
            return;
        }
        const int32_t record = area->locate_sector(point);
        if (record == no_record) {
            return;
        }
        const SectorRecord sector = area->get_sector_record(static_cast<uint32_t>(record));
        if ((sector.flags & sector_flag::overlay) == 0) {
            best = {area, record};
            found_plain = true;
            return;
        }
        const float volume = get_box_volume(sector.box);
        if (best.area == nullptr || volume < best_volume) {
            best = {area, record};
            best_volume = volume;
        }
    };
    if (hint != nullptr) {
        consider(hint);
    }
    core::for_each_live_object(this, [&](core::ServerObject* object) {
        auto* const area = static_cast<LoadableArea*>(object);
        if (area != hint) {
            consider(area);
        }
    });
    return best;
}

core::ObjectHandle LoadableAreaServer::get_sector_at_location(LoadableArea* hint, uint32_t location) {
    if (location == no_sector_location) {
        return 0;
    }
    const uint32_t number = get_location_area(location);
    LoadableArea* const area = hint != nullptr && hint->get_number() == number ? hint : find_area(number);
    return area != nullptr ? area->get_sector_slot(get_location_record(location)) : 0;
}

}  // namespace zolt::servers

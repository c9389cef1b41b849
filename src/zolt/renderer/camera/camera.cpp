#include "zolt/renderer/camera/camera.h"

#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/script_objects/extra_properties.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/sector.h"

namespace zolt::renderer {

CameraServer camera_server;

namespace {

constexpr float default_vertical_field_of_view = 1.0f / 6;
constexpr float default_near = 0.2f;
constexpr float default_fourth_lens_value = 15.0f;
constexpr float default_far = 1400.0f;

bool names(uint32_t id, uint32_t typed) {
    return id == typed || id == (typed & 0xFFFFFFu);
}

core::Placement* find_placement(core::ObjectHandle handle) {
    return handle != 0 && core::placement_server.is_registered() ? core::placement_server.get_typed_object(handle)
                                                                 : nullptr;
}

servers::Sector* find_sector(core::ObjectHandle handle) {
    return handle != 0 && servers::sector_server.is_registered() ? servers::sector_server.get_typed_object(handle)
                                                                 : nullptr;
}

}  // namespace

void Camera::initialize(uint32_t) {
    placement_ = core::placement_server.create_placement()->get_handle();
    horizontal_field_of_view_ = 0;
    vertical_field_of_view_ = default_vertical_field_of_view;
    near_ = default_near;
    fourth_lens_value_ = default_fourth_lens_value;
    far_ = default_far;
    current_sector_ = last_sector_ = 0;
    dictionary_ = 0;
}

void Camera::finalize() {
    core::destroy_extra_properties(dictionary_);
    if (core::Placement* const placement = find_placement(placement_)) {
        core::destroy_object(placement);
    }
    placement_ = 0;
}

geometry::Vector3 Camera::get_world_position() const {
    core::Placement* const placement = find_placement(placement_);
    return placement != nullptr ? placement->get_world_position() : geometry::Vector3();
}

geometry::Quaternion Camera::get_world_rotation() const {
    core::Placement* const placement = find_placement(placement_);
    return placement != nullptr ? placement->get_world_rotation() : geometry::identity_quaternion();
}

void Camera::update_sector() {
    if (!servers::loadable_area_server.is_registered()) {
        current_sector_ = 0;
        return;
    }
    const servers::Sector* const current = find_sector(current_sector_);
    const servers::SectorAtPoint found = servers::loadable_area_server.find_sector_at_point(
        current != nullptr ? current->get_area() : nullptr, get_world_position());
    const core::ObjectHandle sector =
        found.area != nullptr ? found.area->get_sector_slot(static_cast<uint32_t>(found.record)) : 0;
    current_sector_ = sector;
    if (sector != 0) {
        last_sector_ = sector;
    }
}

void Camera::copy_snapshot(Camera* camera, CameraSnapshot& out) {
    out = {};
    if (camera == nullptr) {
        return;
    }
    out.valid = 1;
    out.position = camera->get_world_position();
    out.rotation = camera->get_world_rotation();
    out.horizontal_field_of_view = camera->horizontal_field_of_view_;
    out.vertical_field_of_view = camera->vertical_field_of_view_;
    out.near = camera->near_;
    out.fourth_lens_value = camera->fourth_lens_value_;
    out.far = camera->far_;
    camera->update_sector();
    if (servers::sector_server.is_registered()) {
        out.current_sector = servers::sector_server.find_render_record(camera->current_sector_);
        out.last_sector = servers::sector_server.find_render_record(camera->last_sector_);
    }
}

bool Camera::get_property(uint32_t id, core::Property& out) const {
    namespace p = camera_property;
    if (names(id, p::placement)) {
        out.set_u32(0x1000000, placement_);
    } else if (names(id, p::position)) {
        const geometry::Vector3 at = get_world_position();
        const float values[3] = {at.x, at.y, at.z};
        out.set_floats(0x30000000, values, 3);
    } else if (names(id, p::rotation)) {
        const geometry::Quaternion q = get_world_rotation();
        const float values[4] = {q.x, q.y, q.z, q.w};
        out.set_floats(0x41000000, values, 4);
    } else if (names(id, p::horizontal_field_of_view)) {
        out.set_float(0x5000000, horizontal_field_of_view_);
    } else if (names(id, p::vertical_field_of_view)) {
        out.set_float(0x5000000, vertical_field_of_view_);
    } else if (names(id, p::near)) {
        out.set_float(0x5000000, near_);
    } else if (names(id, p::fourth_lens_value)) {
        out.set_float(0x5000000, fourth_lens_value_);
    } else if (names(id, p::far)) {
        out.set_float(0x5000000, far_);
    } else {
        return ServerObject::get_property(id, out) || core::get_extra_property(dictionary_, id, out);
    }
    return true;
}

bool Camera::set_property(uint32_t id, const core::Property& value) {
    namespace p = camera_property;
    switch (id) {
    case p::placement:
        return false;
    case p::position:
        if (core::Placement* const placement = find_placement(placement_)) {
            placement->set_world_position({value.get_float(0), value.get_float(1), value.get_float(2)});
        }
        return true;
    case p::rotation:
        if (core::Placement* const placement = find_placement(placement_)) {
            placement->set_world_rotation(
                {value.get_float(0), value.get_float(1), value.get_float(2), value.get_float(3)});
        }
        return true;
    case p::horizontal_field_of_view:
        horizontal_field_of_view_ = value.get_float();
        return true;
    case p::vertical_field_of_view:
        vertical_field_of_view_ = value.get_float();
        return true;
    case p::near:
        near_ = value.get_float();
        return true;
    case p::fourth_lens_value:
        fourth_lens_value_ = value.get_float();
        return true;
    case p::far:
        far_ = value.get_float();
        return true;
    default:
        return ServerObject::set_property(id, value) || core::set_extra_property(dictionary_, id, value);
    }
}

bool Camera::remove_property(uint32_t id) {
    return core::remove_extra_property(dictionary_, id);
}

void Camera::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u32(stream, placement_);
    core::write_f32(stream, horizontal_field_of_view_);
    core::write_f32(stream, vertical_field_of_view_);
    core::write_f32(stream, near_);
    core::write_f32(stream, fourth_lens_value_);
    core::write_f32(stream, far_);
    core::write_u32(stream, dictionary_);
    core::write_u32(stream, current_sector_);
    core::write_u32(stream, last_sector_);
}

bool Camera::load(storage::LoadStream& stream) {
    return ServerObject::load(stream) && core::read_u32(stream, placement_) &&
           core::read_f32(stream, horizontal_field_of_view_) && core::read_f32(stream, vertical_field_of_view_) &&
           core::read_f32(stream, near_) && core::read_f32(stream, fourth_lens_value_) &&
           core::read_f32(stream, far_) && core::read_u32(stream, dictionary_) &&
           core::read_u32(stream, current_sector_) && core::read_u32(stream, last_sector_);
}

}  // namespace zolt::renderer

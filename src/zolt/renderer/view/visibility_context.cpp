#include "zolt/renderer/view/visibility_context.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "zolt/navigation/sector.h"
#include "zolt/renderer/camera/view_matrices.h"

namespace zolt::renderer {

namespace {

VisibilityContext* current_context = nullptr;
SectorGeometryQueue sector_geometry_queue = nullptr;

uint32_t get_sector_index(const servers::SectorRender* sector) {
    return servers::sector_server.get_render_record_index(sector);
}

}  // namespace

void SectorSet::add(uint32_t index) {
    if (index >= 128) {
        return;
    }
    bits[index / 32] |= 1u << (index % 32);
    lowest = std::min(lowest, index);
    highest = std::max(highest, index);
}

bool LightSet::add(uint32_t index) {
    if (index >= 256 || contains(index)) {
        return false;
    }
    bits[index / 32] |= 1u << (index % 32);
    lowest = std::min(lowest, index);
    highest = std::max(highest, index);
    return true;
}

VisibilityContext::VisibilityContext() {
    std::memset(sector_view_index, no_sector_view, sizeof sector_view_index);
}

bool VisibilityContext::set_screen_rectangle(uint32_t mask, const geometry::Vector3& view_origin,
                                             const geometry::Vector3& view_size) {
    view_mask = mask;
    origin = view_origin;
    size = view_size;
    first_shadow_split = 100;
    shadow_distance = 500;
    shadow_split_count = 0;
    shadow_parameters = {};
    screen_rectangle = {std::max(origin.x, 0.0f), std::max(origin.y, 0.0f),
                        std::min(origin.x + size.x, static_cast<float>(target_width)),
                        std::min(origin.y + size.y, static_cast<float>(target_height))};
    return screen_rectangle.x1 >= screen_rectangle.x0 && screen_rectangle.y1 >= screen_rectangle.y0;
}

void VisibilityContext::set_perspective_view(const servers::SectorRender* sector, const geometry::Vector3& position,
                                             const geometry::Quaternion& rotation, float near_distance,
                                             float far_distance, float horizontal_fov, float vertical_fov,
                                             bool linear) {
    start_sector = sector;
    eye = position;
    near = near_distance;
    far = far_distance;
    fov_x = horizontal_fov;
    fov_y = vertical_fov;
    orthographic_width = orthographic_height = 0;
    orientation = rotation;
    axes = geometry::get_view_axes(rotation);
    projection = build_perspective_projection(fov_x, fov_y, near, far, linear);
    const ViewMatrices matrices = build_view_matrices(eye, orientation);
    view = matrices.view;
    inverse_view = matrices.inverse_view;
    view_projection = geometry::multiply(view, projection);
    depth_plane = geometry::make_plane(axes.forward, eye);
    near_plane = {axes.forward.x, axes.forward.y, axes.forward.z, depth_plane.d + near};
    frustum = geometry::build_perspective_frustum(near, far, fov_x, fov_y, eye, axes);
}

void VisibilityContext::set_orthographic_view(const servers::SectorRender* sector, float far_distance,
                                              const geometry::Vector3& position, const geometry::Quaternion& rotation,
                                              float width, float height) {
    start_sector = sector;
    eye = position;
    near = 0;
    far = far_distance;
    fov_x = fov_y = 0;
    orthographic_width = width;
    orthographic_height = height;
    orientation = rotation;
    axes = geometry::get_view_axes(rotation);
    projection = build_orthographic_projection(0, far, width, height);
    const ViewMatrices matrices = build_view_matrices(eye, orientation);
    view = matrices.view;
    inverse_view = matrices.inverse_view;
    view_projection = geometry::multiply(view, projection);
    depth_plane = geometry::make_plane(axes.forward, eye);
    near_plane = depth_plane;
    frustum = geometry::build_box_frustum(axes, eye, 0, far, width, height);
}

void VisibilityContext::build_sector_clip_volumes() {
    for (uint32_t index = 0; index < sector_view_count; ++index) {
        SectorView& sector_view = sector_views[index];
        sector_view.clip_volume = geometry::build_sector_clip_volume(fov_x, fov_y, near, far, eye, axes, inverse_view,
                                                                     sector_view.rectangle, origin, size);
    }
}

SectorView* VisibilityContext::find_sector_view(const servers::SectorRender* sector) {
    const uint32_t index = get_sector_index(sector);
    if (index >= sector_index_count || sector_view_index[index] == no_sector_view) {
        return nullptr;
    }
    return &sector_views[sector_view_index[index]];
}

SectorView* VisibilityContext::add_sector_view(const servers::SectorRender* sector) {
    if (SectorView* const existing = find_sector_view(sector)) {
        return existing;
    }
    const uint32_t index = get_sector_index(sector);
    if (index >= sector_index_count || sector_view_count >= sector_view_capacity) {
        return nullptr;
    }
    SectorView& added = sector_views[sector_view_count];
    added = SectorView{};
    added.sector = sector;
    sector_view_index[index] = sector_view_count++;
    return &added;
}

bool VisibilityContext::is_sector_in_portal_view(uint32_t sector_index) const {
    return sector_restriction == nullptr || sector_restriction->contains(sector_index);
}

bool VisibilityContext::is_in_neighbour_sectors(uint32_t sector_index) const {
    return shadow_split_count == 0 || neighbour_sectors.contains(sector_index);
}

void VisibilityContext::add_object_light(uint32_t light_index) {
    if (object_lights.add(light_index) && object_light_count < object_light_list_capacity) {
        object_light_list[object_light_count++] = static_cast<uint8_t>(light_index);
    }
}

bool VisibilityContext::accepts_layer_mask(uint32_t mask) const {
    return (flags & context_flag_light_view) == 0 || (mask & layer_mask) != 0;
}

RenderItem* VisibilityContext::allocate_item() {
    if (items == nullptr || item_count >= item_capacity) {
        return nullptr;
    }
    RenderItem& item = items[item_count++];
    item = RenderItem{};
    return &item;
}

bool VisibilityContext::add_fake_shadow(const void* pointer, uint32_t value) {
    if (fake_shadow_count >= fake_shadow_capacity_) {
        return false;
    }
    fake_shadows[fake_shadow_count++] = {pointer, value};
    return true;
}

void VisibilityContext::set_object_transform(const geometry::Quaternion& rotation, const geometry::Vector3& position) {
    object_rows[0] = geometry::rotate(rotation, {1, 0, 0});
    object_rows[1] = geometry::rotate(rotation, {0, 1, 0});
    object_rows[2] = geometry::rotate(rotation, {0, 0, 1});
    object_position = position;
    const geometry::Quaternion inverse = geometry::conjugate(rotation);
    object_eye = geometry::rotate(inverse, eye - position);
    const geometry::Vector3 forward = geometry::rotate(inverse, axes.forward);
    object_depth_plane = {forward.x, forward.y, forward.z, geometry::dot(forward, object_eye)};
}

geometry::Vector3 VisibilityContext::transform_object_point(const geometry::Vector3& point) const {
    return object_rows[0] * point.x + object_rows[1] * point.y + object_rows[2] * point.z + object_position;
}

float VisibilityContext::get_box_max_depth(const geometry::Vector3& minimum, const geometry::Vector3& maximum) const {
    const geometry::Vector3& f = axes.forward;
    const geometry::Vector3 farthest{f.x >= 0 ? maximum.x : minimum.x, f.y >= 0 ? maximum.y : minimum.y,
                                     f.z >= 0 ? maximum.z : minimum.z};
    return std::max(geometry::get_plane_distance(depth_plane, farthest), 0.0f);
}

void VisibilityContext::queue_requests() {
    if (sector_geometry_queue != nullptr) {
        for (uint32_t index = 0; index < sector_view_count; ++index) {
            if (sector_views[index].queue_geometry != 0) {
                sector_geometry_queue(*this, sector_views[index]);
            }
        }
    }
    for (uint32_t index = 0; index < item_count; ++index) {
        if (items[index].queue != nullptr) {
            items[index].queue(*this, items[index]);
        }
    }
}

VisibilityContext* get_current_visibility_context() {
    return current_context;
}

void set_current_visibility_context(VisibilityContext* context) {
    current_context = context;
}

RenderItem* get_render_item_array() {
    static const std::unique_ptr<RenderItem[]> items(new RenderItem[render_item_array_size]);
    return items.get();
}

void set_sector_geometry_queue(SectorGeometryQueue queue) {
    sector_geometry_queue = queue;
}

}  // namespace zolt::renderer

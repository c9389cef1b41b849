#include "zolt/renderer/view/visibility_context.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/camera/view_matrices.h"

namespace zolt::renderer {

namespace {

VisibilityContext* current_context = nullptr;
SectorGeometryQueue sector_geometry_queue = nullptr;

uint32_t get_sector_index(const servers::SectorRender* sector) {
    return servers::sector_server.get_render_record_index(sector);
}

constexpr float light_view_near = 0.01f;
constexpr float smallest_rectangle_side = 1.0f / 65536.0f;
constexpr float crossing_epsilon = 1.0f / 65536.0f;

// The range rounded up to a whole number and then to a power of two; a
// range that is no number or not above 0 gives 0, a huge one stops at 2^31.
float get_light_view_far(float range) {
    if (!(range > 0)) {
        return 0;
    }
    const float whole = std::ceil(std::min(range, 2147483648.0f));
    float far = 1;
    while (far < whole) {
        far *= 2;
    }
    return far;
}

const servers::SectorRender* find_sector_at(const geometry::Vector3& point) {
    if (!servers::loadable_area_server.is_registered()) {
        return nullptr;
    }
    const servers::SectorAtPoint found = servers::loadable_area_server.find_sector_at_point(nullptr, point);
    if (found.area == nullptr) {
        return nullptr;
    }
    return servers::sector_server.find_render_record(found.area->get_sector_slot(static_cast<uint32_t>(found.record)));
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

void VisibilityContext::set_light_view(const LightViewSource& light) {
    set_perspective_view(find_sector_at(light.position), light.position, light.rotation, light_view_near,
                         get_light_view_far(light.range), light.cone_angle, light.cone_angle, true);
}

void VisibilityContext::fit_orthographic_view(const geometry::Vector3 (&points)[8],
                                              const geometry::Quaternion& rotation) {
    const geometry::ViewAxes fit_axes = geometry::get_view_axes(rotation);
    float low[3], high[3];
    const geometry::Vector3* const along[3] = {&fit_axes.right, &fit_axes.up, &fit_axes.forward};
    for (uint32_t axis = 0; axis < 3; ++axis) {
        low[axis] = high[axis] = geometry::dot(points[0], *along[axis]);
        for (const geometry::Vector3& point : points) {
            const float projection = geometry::dot(point, *along[axis]);
            low[axis] = std::min(low[axis], projection);
            high[axis] = std::max(high[axis], projection);
        }
    }
    const geometry::Vector3 position = fit_axes.right * ((low[0] + high[0]) * 0.5f) +
                                       fit_axes.up * ((low[1] + high[1]) * 0.5f) +
                                       fit_axes.forward * (high[2] - 1);
    // The global light's splits belong to no sector: they are limited by the
    // neighbour sets instead.
    set_orthographic_view(nullptr, 1, position, rotation, high[0] - low[0], high[1] - low[1]);
}

void VisibilityContext::extend_orthographic_view(float distance, float margin) {
    set_orthographic_view(start_sector, std::max(far + distance - margin, 1.0f), eye - axes.forward * distance,
                          orientation, orthographic_width, orthographic_height);
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

void VisibilityContext::add_neighbour_sectors(SectorSet& set, const uint32_t* locations, uint32_t count) {
    for (uint32_t index = 0; index < count; ++index) {
        if (locations[index] == servers::no_sector_location) {
            continue;
        }
        const uint32_t sector_index = get_sector_index(servers::sector_server.find_render_record(
            servers::loadable_area_server.get_sector_at_location(nullptr, locations[index])));
        if (sector_index < sector_index_count) {
            set.add(sector_index);
        }
    }
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

namespace {

// Grows a normalised rectangle by view-space points projected through the
// view's projection.
class RectangleBuilder {
public:
    explicit RectangleBuilder(const geometry::Matrix4& projection) : projection_(projection) {}

    void add(const geometry::Vector3& view_point) {
        const geometry::Vector4 clip = geometry::transform_homogeneous(view_point, projection_);
        const float x = std::clamp(clip.x / clip.w * 0.5f + 0.5f, 0.0f, 1.0f);
        const float y = std::clamp(clip.y / clip.w * 0.5f + 0.5f, 0.0f, 1.0f);
        geometry::grow_rectangle(rectangle_, x, y);
    }
    geometry::Rectangle finish() const {
        if (geometry::is_empty(rectangle_) || rectangle_.x1 - rectangle_.x0 < smallest_rectangle_side ||
            rectangle_.y1 - rectangle_.y0 < smallest_rectangle_side) {
            return {};
        }
        return rectangle_;
    }

private:
    const geometry::Matrix4& projection_;
    geometry::Rectangle rectangle_;
};

}  // namespace

NormalisedScreenRectangle VisibilityContext::get_pyramid_screen_rectangle(
    const geometry::Vector3 (&points)[5]) const {
    geometry::Vector3 view_points[5];
    float depths[5];
    uint32_t in_front = 0;
    for (uint32_t index = 0; index < 5; ++index) {
        view_points[index] = geometry::transform_point(points[index], view);
        depths[index] = -view_points[index].z;
        in_front += depths[index] >= near ? 1 : 0;
    }
    NormalisedScreenRectangle result;
    if (in_front == 0) {
        return result;
    }
    RectangleBuilder builder(projection);
    if (in_front == 5) {
        for (const geometry::Vector3& point : view_points) {
            builder.add(point);
        }
        result.rectangle = builder.finish();
        return result;
    }
    result.crosses_near = true;
    static constexpr uint8_t edges[8][2] = {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 2}, {2, 3}, {3, 4}, {4, 1}};
    for (const auto& edge : edges) {
        const uint32_t a = edge[0], b = edge[1];
        const bool a_in_front = depths[a] >= near, b_in_front = depths[b] >= near;
        if (a_in_front) {
            builder.add(view_points[a]);
        }
        if (b_in_front) {
            builder.add(view_points[b]);
        }
        if (a_in_front != b_in_front && std::fabs(depths[a] - depths[b]) >= crossing_epsilon) {
            const float t = (near - depths[a]) / (depths[b] - depths[a]);
            builder.add(view_points[a] + (view_points[b] - view_points[a]) * t);
        }
    }
    result.rectangle = builder.finish();
    return result;
}

NormalisedScreenRectangle VisibilityContext::get_sphere_screen_rectangle(const geometry::Vector3& centre,
                                                                        float radius) const {
    const geometry::Vector3 view_centre = geometry::transform_point(centre, view);
    const float depth = -view_centre.z;
    NormalisedScreenRectangle result;
    if (depth + radius < near) {
        return result;
    }
    float front = depth - radius;
    if (front < near) {
        front = near;
        result.crosses_near = true;
    }
    // The box of the sphere cut at the near plane. Its sides keep the whole
    // radius even there: the sphere is widest at its centre's depth, so the
    // circle where it meets the near plane would leave its far half out.
    RectangleBuilder builder(projection);
    for (const float at_depth : {front, depth + radius}) {
        for (const float dx : {-radius, radius}) {
            for (const float dy : {-radius, radius}) {
                builder.add({view_centre.x + dx, view_centre.y + dy, -at_depth});
            }
        }
    }
    result.rectangle = builder.finish();
    return result;
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

float get_eye_distance(const geometry::Vector3& point) {
    return current_context != nullptr ? std::sqrt(geometry::length_squared(point - current_context->eye)) : 0;
}

float get_view_depth(const geometry::Vector3& point) {
    return current_context != nullptr ? geometry::get_plane_distance(current_context->depth_plane, point) : 0;
}

float get_view_extent() {
    if (current_context == nullptr || current_context->frustum.point_count == 0) {
        return 0;
    }
    const geometry::Frustum& frustum = current_context->frustum;
    return get_eye_distance(frustum.points[frustum.point_count - 1]);
}

RenderItem* get_render_item_array() {
    static const std::unique_ptr<RenderItem[]> items(new RenderItem[render_item_array_size]);
    return items.get();
}

void set_sector_geometry_queue(SectorGeometryQueue queue) {
    sector_geometry_queue = queue;
}

}  // namespace zolt::renderer

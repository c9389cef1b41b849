#include "zolt/navigation/sector_walk.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "libs/geometry/box_silhouette.h"
#include "libs/geometry/culling.h"
#include "libs/geometry/screen_polygon.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/portal.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::servers {

namespace {

using geometry::ScreenPoint;
using geometry::Vector3;
using renderer::SectorView;
using renderer::VisibilityContext;

constexpr uint32_t walk_point_capacity = 1000;
constexpr float crossing_epsilon = 1.0f / 65536.0f;

struct Polygon {
    const ScreenPoint* points = nullptr;
    uint32_t count = 0;
};

class Walk {
public:
    explicit Walk(VisibilityContext& context) : context_(context) {}

    void visit_sector(const SectorRender* sector, Polygon polygon);

private:
    void visit_portal(const SectorRender* current, uint32_t side, const PortalRender& portal, Polygon polygon);
    // The polygon copied into the walk's buffer; an empty polygon when the
    // buffer cannot take it, and the portal then counts as closed. The buffer
    // is a stack: a portal's points are given back once the walk beyond it
    // returns, so its use is bounded by the depth of the walk (40 sectors of
    // at most 30 points), never by how often sectors are revisited.
    Polygon push(const ScreenPoint* points, uint32_t count) {
        if (used_ + count > walk_point_capacity) {
            return {};
        }
        ScreenPoint* const at = &points_[used_];
        std::copy(points, points + count, at);
        used_ += count;
        return {at, count};
    }
    // Takes out the outlines of the occluders of the current sector that lie
    // nearer than the portal; false when they hide the opening whole. The
    // polygon lies in block; spare has room for another.
    bool subtract_occluders(const SectorRender* current, const PortalRecord& record, Polygon& polygon,
                            ScreenPoint* block, ScreenPoint* spare) const;
    ScreenPoint project(const Vector3& point) const;
    bool is_far_beyond(const PortalRecord& record) const;
    // 0 eye in the opening, 1 in front, 2 skip.
    uint32_t classify(const PortalRecord& record, const PortalRender& portal, uint32_t side) const;

    VisibilityContext& context_;
    ScreenPoint points_[walk_point_capacity];
    uint32_t used_ = 0;
};

geometry::Rectangle bounding_rectangle(Polygon polygon) {
    geometry::Rectangle rectangle;
    for (uint32_t index = 0; index < polygon.count; ++index) {
        geometry::grow_rectangle(rectangle, polygon.points[index].x, polygon.points[index].y);
    }
    return rectangle;
}

void merge_rectangle(geometry::Rectangle& into, const geometry::Rectangle& rectangle) {
    if (geometry::is_empty(into)) {
        into = rectangle;
        return;
    }
    into.x0 = std::min(into.x0, rectangle.x0);
    into.y0 = std::min(into.y0, rectangle.y0);
    into.x1 = std::max(into.x1, rectangle.x1);
    into.y1 = std::max(into.y1, rectangle.y1);
}

float plane_value(const geometry::Vector4& plane, const Vector3& point) {
    return plane.x * point.x + plane.y * point.y + plane.z * point.z + plane.w;
}

}  // namespace

ScreenPoint Walk::project(const Vector3& point) const {
    const geometry::Vector4 clip = geometry::transform_homogeneous(point, context_.view_projection);
    const float x = clip.x / clip.w;
    const float y = clip.y / clip.w;
    return {context_.origin.x + (x + 1) * context_.size.x * 0.5f, context_.origin.y + (y + 1) * context_.size.y * 0.5f};
}

bool Walk::is_far_beyond(const PortalRecord& record) const {
    const geometry::Plane far_plane{context_.axes.forward.x, context_.axes.forward.y, context_.axes.forward.z,
                                    context_.depth_plane.d + context_.far};
    for (const Vector3& corner : record.corners) {
        if (!(geometry::get_plane_distance(far_plane, corner) > 0)) {
            return false;
        }
    }
    return true;
}

uint32_t Walk::classify(const PortalRecord& record, const PortalRender& portal, uint32_t side) const {
    const float sign = side == 0 ? 1.0f : -1.0f;
    const float m = sign * plane_value(record.plane, context_.eye);
    const float r = 1.5f * context_.near;
    const float distance_squared = geometry::length_squared(context_.eye - record.centre);
    if (portal.maximum_distance * portal.maximum_distance < distance_squared) {
        return 2;
    }
    if (m < 0 && -m > r) {
        return 2;
    }
    if (m >= 0 && m > r) {
        return 1;
    }
    for (const geometry::Vector4& edge : record.edges) {
        if (plane_value(edge, context_.eye) > r) {
            return m >= 0 ? 1 : 2;
        }
    }
    return 0;
}

void Walk::visit_sector(const SectorRender* sector, Polygon polygon) {
    SectorView* const view = context_.add_sector_view(sector);
    if (view == nullptr) {
        return;
    }
    view->walk_byte = 1;
    const geometry::Rectangle rectangle = bounding_rectangle(polygon);
    merge_rectangle(view->rectangle, rectangle);
    for (uint32_t side = 0; side < portal_side_count; ++side) {
        const PortalRender* const head = sector->first_portals[side];
        for (const PortalRender* portal = head; portal != nullptr;) {
            visit_portal(sector, side, *portal, polygon);
            portal = portal->next[side] != head ? portal->next[side] : nullptr;
        }
    }
    if (sector->area != nullptr) {
        const SectorRecord record = sector->area->get_sector_record(sector->record_index);
        const SectorListReference& companions = record.lists[static_cast<uint32_t>(SectorList::view_companions)];
        for (uint32_t index = 0; index < companions.count; ++index) {
            const uint32_t location =
                read_area_word(sector->area->get_layout(), companions.offset + index * area_layout::location_size);
            const SectorRender* const companion =
                sector_server.find_render_record(loadable_area_server.get_sector_at_location(sector->area, location));
            if (companion == nullptr) {
                continue;
            }
            SectorView* const companion_view = context_.add_sector_view(companion);
            if (companion_view == nullptr) {
                break;
            }
            merge_rectangle(companion_view->rectangle, rectangle);
        }
    }
    view->walk_byte = 0;
}

void Walk::visit_portal(const SectorRender* current, uint32_t side, const PortalRender& portal, Polygon polygon) {
    const SectorRender* const far_sector = portal.sectors[1 - side];
    if (portal.enabled == 0 || far_sector == nullptr || portal.area == nullptr) {
        return;
    }
    if (const SectorView* const far_view = context_.find_sector_view(far_sector);
        far_view != nullptr && far_view->walk_byte != 0) {
        return;
    }
    const uint32_t far_index = sector_server.get_render_record_index(far_sector);
    if (!context_.is_sector_in_portal_view(far_index)) {
        return;
    }
    PortalRecord record = portal.area->get_portal_record(portal.record_index);
    // Portals are kept in their area's frame; the walk works in the world's.
    const Vector3 offset = portal.area->get_position();
    record.centre = record.centre + offset;
    for (Vector3& corner : record.corners) {
        corner = corner + offset;
    }
    record.plane.w -= record.plane.x * offset.x + record.plane.y * offset.y + record.plane.z * offset.z;
    for (geometry::Vector4& edge : record.edges) {
        edge.w -= edge.x * offset.x + edge.y * offset.y + edge.z * offset.z;
    }
    if (is_far_beyond(record)) {
        return;
    }
    const uint32_t eye_class = classify(record, portal, side);
    if (eye_class == 2) {
        return;
    }
    if (eye_class == 0) {
        visit_sector(far_sector, polygon);
        return;
    }
    // The portal quad clipped by the near plane and projected, wound for
    // this side.
    ScreenPoint projected[8];
    uint32_t projected_count = 0;
    const auto corner = [&](uint32_t index) { return record.corners[side == 0 ? index : 3 - index]; };
    for (uint32_t index = 0; index < 4; ++index) {
        const Vector3 a = corner(index);
        const Vector3 b = corner((index + 1) % 4);
        const float da = -geometry::get_plane_distance(context_.near_plane, a);
        const float db = -geometry::get_plane_distance(context_.near_plane, b);
        if (da <= 0) {
            projected[projected_count++] = project(a);
        }
        if ((da <= 0) != (db <= 0) && std::fabs(da - db) > crossing_epsilon) {
            const float t = da / (da - db);
            projected[projected_count++] = project(a + (b - a) * t);
        }
    }
    if (projected_count == 0) {
        return;
    }
    ScreenPoint clipped[geometry::screen_polygon_capacity];
    ScreenPoint spare[geometry::screen_polygon_capacity];
    uint32_t count = 0;
    if (!geometry::clip_screen_polygon(polygon.points, polygon.count, projected, projected_count, clipped, count) ||
        count == 0) {
        return;
    }
    Polygon seen{clipped, count};
    if (!subtract_occluders(current, record, seen, clipped, spare)) {
        return;
    }
    const uint32_t mark = used_;
    const Polygon kept = push(seen.points, seen.count);
    if (kept.count != 0) {
        visit_sector(far_sector, kept);
    }
    used_ = mark;
}

bool Walk::subtract_occluders(const SectorRender* current, const PortalRecord& record, Polygon& polygon,
                              ScreenPoint* block, ScreenPoint* spare) const {
    const LoadableArea* const area = current->area;
    if (area == nullptr) {
        return true;
    }
    const SectorListReference occluders =
        area->get_sector_record(current->record_index).lists[static_cast<uint32_t>(SectorList::occluders)];
    if (occluders.count == 0) {
        return true;
    }
    const float portal_depth = geometry::get_plane_distance(context_.depth_plane, record.centre);
    const Vector3 offset = area->get_position();
    for (uint32_t index = 0; index < occluders.count; ++index) {
        geometry::OccluderBox box = read_occluder(area->get_layout(), occluders.offset, index);
        box.reference = box.reference + offset;
        if (geometry::get_plane_distance(context_.depth_plane, box.reference) > portal_depth) {
            continue;
        }
        for (Vector3& corner : box.corners) {
            corner = corner + offset;
        }
        for (geometry::Vector4& face : box.faces) {
            face.w -= face.x * offset.x + face.y * offset.y + face.z * offset.z;
        }
        ScreenPoint outline[8];
        uint32_t outline_count = 0;
        if (!geometry::project_box_outline(context_.view_projection, outline, outline_count, box, context_.origin,
                                           context_.size, context_.eye)) {
            continue;
        }
        uint32_t count = 0;
        if (!geometry::intersect_screen_polygons(polygon.points, polygon.count, outline, outline_count, spare,
                                                 count)) {
            continue;
        }
        if (count == 0) {
            return false;
        }
        polygon = {spare, count};
        std::swap(block, spare);
    }
    return true;
}

namespace {

// Without a camera sector every sector the view's frustum meets is seen
// through the whole view.
void add_sectors_in_frustum(VisibilityContext& context) {
    for (uint32_t index = 0; index < sector_capacity; ++index) {
        const SectorRender& sector = sector_server.get_render_record_at(index);
        if (sector.area == nullptr || !context.is_sector_in_portal_view(index)) {
            continue;
        }
        geometry::Box box = sector.area->get_sector_record(sector.record_index).box;
        box.minimum = box.minimum + sector.area->get_position();
        box.maximum = box.maximum + sector.area->get_position();
        if (!geometry::box_in_frustum(box, context.frustum.planes)) {
            continue;
        }
        SectorView* const view = context.add_sector_view(&sector);
        if (view == nullptr) {
            return;
        }
        view->rectangle = {context.origin.x, context.origin.y, context.origin.x + context.size.x,
                           context.origin.y + context.size.y};
        view->clip_volume = context.frustum;
        view->queue_geometry = context.accepts_layer_mask(3) ? 1 : 0;
    }
}

}  // namespace

void traverse_visible_sectors(VisibilityContext& context) {
    if (context.start_sector == nullptr) {
        add_sectors_in_frustum(context);
        return;
    }
    Walk walk(context);
    {
        const geometry::Rectangle& r = context.screen_rectangle;
        const ScreenPoint quad[4] = {{r.x0, r.y0}, {r.x0, r.y1}, {r.x1, r.y1}, {r.x1, r.y0}};
        ScreenPoint start[4];
        uint32_t count = 0;
        if (geometry::build_screen_quad_polygon(quad, start, count)) {
            walk.visit_sector(context.start_sector, {start, count});
        }
    }
    context.build_sector_clip_volumes();
}

}  // namespace zolt::servers

#include "zolt/renderer/debug_draw/debug_draw_world_outlines.h"

#include "libs/opengl/opengl_capabilities.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/portal.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/debug_draw/debug_draw_primitives.h"

namespace zolt::renderer {

DebugOutlineHooks debug_outline_hooks;

namespace {

using geometry::Vector3;
using opengl::gl;

template <typename Visit>
void for_each_live(const core::ServerBase& server, Visit visit) {
    const core::ServerObject* const head = server.get_live_list().get_head();
    const core::ServerObject* object = head;
    while (object != nullptr) {
        visit(*object);
        object = core::ObjectList::get_next(object);
        if (object == head) {
            break;
        }
    }
}

void send(const Vector3& v) {
    gl.glVertex3f(v.x, v.y, v.z);
}

void draw_sector_box(const servers::Sector& sector) {
    const servers::LoadableArea* const area = sector.get_area();
    if (area == nullptr || !area->is_usable_sector_record(sector.get_record_index())) {
        return;
    }
    const geometry::Box box = area->get_sector_record(sector.get_record_index()).box;
    const Vector3 low = box.minimum + area->get_position();
    const Vector3 high = box.maximum + area->get_position();
    const Vector3 c[8] = {
        {low.x, low.y, low.z},  {high.x, low.y, low.z},  {high.x, high.y, low.z},  {low.x, high.y, low.z},
        {low.x, low.y, high.z}, {high.x, low.y, high.z}, {high.x, high.y, high.z}, {low.x, high.y, high.z},
    };
    constexpr uint8_t edges[12][2] = {{0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6},
                                      {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7}};
    gl.glBegin(GL_LINES);
    for (const auto& edge : edges) {
        send(c[edge[0]]);
        send(c[edge[1]]);
    }
    gl.glEnd();
}

void draw_portal(const servers::Portal& portal) {
    const servers::LoadableArea* const area = portal.get_area();
    if (area == nullptr || !area->is_usable_portal_record(portal.get_record_index())) {
        return;
    }
    const servers::PortalRecord record = area->get_portal_record(portal.get_record_index());
    gl.glBegin(GL_LINE_LOOP);
    for (const Vector3& corner : record.corners) {
        send(corner + area->get_position());
    }
    gl.glEnd();
}

}  // namespace

bool has_world_outlines(uint32_t mask) {
    return ((mask & debug_draw_sector_boxes) != 0 && servers::sector_server.is_registered() &&
            !servers::sector_server.get_live_list().is_empty()) ||
           ((mask & debug_draw_portals) != 0 && servers::portal_server.is_registered() &&
            !servers::portal_server.get_live_list().is_empty()) ||
           ((mask & debug_draw_light_volumes) != 0 && debug_outline_hooks.draw_light_volumes != nullptr);
}

void draw_world_outlines(DebugDrawState& state, uint32_t mask) {
    state.set_blending_mode(static_cast<uint32_t>(BlendingMode::none));
    state.set_depth_mode(static_cast<uint32_t>(DepthMode::test));
    state.load_world_transform();
    if ((mask & debug_draw_sector_boxes) != 0 && servers::sector_server.is_registered()) {
        state.set_colour(sector_box_colour);
        for_each_live(servers::sector_server, [](const core::ServerObject& object) {
            draw_sector_box(static_cast<const servers::Sector&>(object));
        });
    }
    if ((mask & debug_draw_portals) != 0 && servers::portal_server.is_registered()) {
        state.set_colour(portal_colour);
        for_each_live(servers::portal_server, [](const core::ServerObject& object) {
            draw_portal(static_cast<const servers::Portal&>(object));
        });
    }
    if ((mask & debug_draw_light_volumes) != 0 && debug_outline_hooks.draw_light_volumes != nullptr) {
        debug_outline_hooks.draw_light_volumes(state);
    }
}

}  // namespace zolt::renderer

#include "zolt/renderer/debug_draw/debug_draw_primitives.h"

#include <utility>

#include "libs/geometry/script_trigonometry.h"
#include "libs/opengl/core_or_extension.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/simple_drawing.h"
#include "libs/utility/fatal_error.h"
#include "zolt/core/placement/placement.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/debug_draw/debug_draw_server.h"
#include "zolt/renderer/shaders/shader_target_setup.h"
#include "zolt/renderer/view/object_transform.h"

namespace zolt::renderer {

namespace {

using geometry::Vector3;
using opengl::gl;

constexpr uint32_t opaque_white = 0xFFFFFFFFu;

void send_colour(uint32_t argb) {
    gl.glColor4ub(static_cast<uint8_t>(argb >> 16), static_cast<uint8_t>(argb >> 8), static_cast<uint8_t>(argb),
                  static_cast<uint8_t>(argb >> 24));
}

void send_vertex(const Vector3& v) {
    gl.glVertex3f(v.x, v.y, v.z);
}

void send_cross(const Vector3& at) {
    const float h = debug_cross_half_size;
    send_vertex({at.x - h, at.y, at.z});
    send_vertex({at.x + h, at.y, at.z});
    send_vertex({at.x, at.y - h, at.z});
    send_vertex({at.x, at.y + h, at.z});
    send_vertex({at.x, at.y, at.z - h});
    send_vertex({at.x, at.y, at.z + h});
}

void draw_crosses(const Vector3* points, uint32_t count) {
    gl.glBegin(GL_LINES);
    for (uint32_t index = 0; index < count; ++index) {
        send_cross(points[index]);
    }
    gl.glEnd();
}

void send_quad(const Vector3& a, const Vector3& b, const Vector3& c, const Vector3& d) {
    send_vertex(a);
    send_vertex(b);
    send_vertex(c);
    send_vertex(d);
}

}  // namespace

Vector3 get_debug_circle_point(uint32_t index, float radius, float z) {
    const float turns = static_cast<float>(index % debug_circle_segments) / debug_circle_segments;
    return {geometry::script_trig::cosine(turns) * radius, geometry::script_trig::sine(turns) * radius, z};
}

void DebugDrawState::begin() {
    blending_mode_ = depth_mode_ = wireframe_ = none_applied;
    colour_applied_ = false;
    gl.glDisable(GL_BLEND);
    gl.glEnable(GL_DEPTH_TEST);
    gl.glDepthFunc(GL_LEQUAL);
    gl.glDepthMask(GL_FALSE);
    gl.glDisable(GL_CULL_FACE);
    // Left over from the layers, these would drop primitives or parts of
    // them.
    gl.glDisable(GL_ALPHA_TEST);
    gl.glDisable(GL_STENCIL_TEST);
    gl.glDisable(GL_LIGHTING);
    gl.glDisable(GL_TEXTURE_2D);
    opengl::set_blend_equation(GL_FUNC_ADD);
    set_colour(opaque_white);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glPushMatrix();
}

void DebugDrawState::end() {
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glPopMatrix();
    gl.glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    gl.glLineWidth(1.0f);
    gl.glDisable(GL_BLEND);
    gl.glBlendFunc(GL_SRC_ALPHA, GL_ZERO);
    send_colour(opaque_white);
    gl.glEnable(GL_CULL_FACE);
    gl.glEnable(GL_DEPTH_TEST);
    gl.glDepthMask(GL_TRUE);
    using shader_library::TargetSetupField;
    shader_library::forget_applied_target_setup(TargetSetupField::cull);
    shader_library::forget_applied_target_setup(TargetSetupField::depth);
    shader_library::forget_applied_target_setup(TargetSetupField::blend);
    shader_library::forget_applied_target_setup(TargetSetupField::alpha_test);
    shader_library::forget_applied_target_setup(TargetSetupField::stencil);
    // The next transform of the view's own drawing is loaded again.
    object_transform.changed = true;
    object_transform.cached_placement = 0;
}

void DebugDrawState::set_blending_mode(uint32_t mode) {
    if (mode == blending_mode_) {
        return;
    }
    switch (static_cast<BlendingMode>(mode)) {
    case BlendingMode::none:
        gl.glDisable(GL_BLEND);
        gl.glBlendFunc(GL_SRC_ALPHA, GL_ZERO);
        break;
    case BlendingMode::additive:
        gl.glEnable(GL_BLEND);
        gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        break;
    case BlendingMode::multiplicative:
        gl.glEnable(GL_BLEND);
        gl.glBlendFunc(GL_DST_COLOR, GL_ZERO);
        break;
    case BlendingMode::alpha:
        gl.glEnable(GL_BLEND);
        gl.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        break;
    default:
        ZOLT_PANIC("Unexpected blending mode %d.", static_cast<int32_t>(mode));
    }
    blending_mode_ = mode;
}

void DebugDrawState::set_depth_mode(uint32_t mode) {
    if (mode == depth_mode_) {
        return;
    }
    switch (static_cast<DepthMode>(mode)) {
    case DepthMode::test:
        gl.glEnable(GL_DEPTH_TEST);
        gl.glDepthMask(GL_FALSE);
        break;
    case DepthMode::test_and_write:
        gl.glEnable(GL_DEPTH_TEST);
        gl.glDepthMask(GL_TRUE);
        break;
    case DepthMode::off:
        gl.glDisable(GL_DEPTH_TEST);
        gl.glDepthMask(GL_FALSE);
        break;
    default:
        ZOLT_PANIC("Unexpected depth mode %d.", static_cast<int32_t>(mode));
    }
    depth_mode_ = mode;
}

void DebugDrawState::set_wireframe(uint32_t wireframe) {
    if (wireframe != wireframe_) {
        gl.glPolygonMode(GL_FRONT_AND_BACK, wireframe != 0 ? GL_LINE : GL_FILL);
        wireframe_ = wireframe;
    }
}

void DebugDrawState::set_colour(uint32_t colour) {
    if (!colour_applied_ || colour != colour_) {
        send_colour(colour);
        colour_ = colour;
        colour_applied_ = true;
    }
}

void DebugDrawState::draw_object(const DebugDrawObject& object) {
    const DebugDrawSettings& settings = object.get_settings();
    if (settings.type >= debug_draw_type_count) {
        ZOLT_PANIC("Unexpected debug draw object type %u.", settings.type);
    }
    set_wireframe(settings.wireframe);
    gl.glLineWidth(settings.line_width);
    set_blending_mode(settings.blending_mode);
    set_colour(settings.colour);
    set_depth_mode(settings.depth_mode);
    apply_transform(object);
    draw_shape(object);
}

void DebugDrawState::apply_transform(const DebugDrawObject& object) {
    const DebugDrawSettings& settings = object.get_settings();
    geometry::Quaternion rotation = geometry::identity_quaternion();
    Vector3 position;
    if (settings.type == static_cast<uint32_t>(DebugDrawType::navigation_object)) {
        if (debug_draw_hooks.get_navigation_transform != nullptr) {
            debug_draw_hooks.get_navigation_transform(settings.navigation_object, &rotation, &position);
        }
    } else {
        core::Placement* placement = core::get_placement_object(settings.placement);
        if (placement == nullptr) {
            placement = core::get_root_placement();
        }
        if (placement != nullptr) {
            position = placement->get_world_position();
            if ((settings.transform_flags & debug_draw_position_only) == 0) {
                rotation = placement->get_world_rotation();
            }
        }
    }
    set_object_matrix(rotation, position);
    gl.glMatrixMode(GL_MODELVIEW);
    opengl::load_matrix(object_transform.object);
}

void DebugDrawState::draw_shape(const DebugDrawObject& object) {
    const DebugDrawSettings& settings = object.get_settings();
    const bool wireframe = settings.wireframe != 0;
    Vector3 points[debug_draw_point_count];
    for (uint32_t index = 0; index < debug_draw_point_count; ++index) {
        points[index] = object.get_point(index);
    }
    switch (static_cast<DebugDrawType>(settings.type)) {
    case DebugDrawType::point:
        draw_crosses(points, 1);
        break;
    case DebugDrawType::line:
        gl.glBegin(GL_LINES);
        send_vertex(points[0]);
        send_vertex(points[1]);
        gl.glEnd();
        draw_crosses(points, 2);
        break;
    case DebugDrawType::triangle:
        draw_polygon(points, 3, wireframe);
        break;
    case DebugDrawType::quad:
        draw_polygon(points, 4, wireframe);
        break;
    case DebugDrawType::box:
        draw_box(settings.size, wireframe);
        break;
    case DebugDrawType::cylinder:
        draw_cylinder(settings.size.x, settings.size.z, wireframe);
        break;
    case DebugDrawType::sphere:
        draw_sphere(settings.size.x);
        break;
    case DebugDrawType::axes:
        draw_axes(settings.colour);
        break;
    case DebugDrawType::navigation_object:
        if (debug_draw_hooks.draw_navigation_object != nullptr) {
            debug_draw_hooks.draw_navigation_object(settings.navigation_object);
        }
        break;
    case DebugDrawType::screen_element:
        draw_screen_element(points[0], settings.size);
        break;
    }
}

void DebugDrawState::draw_polygon(const Vector3* corners, uint32_t count, bool wireframe) {
    gl.glBegin(count == 3 ? GL_TRIANGLES : GL_QUADS);
    for (uint32_t index = 0; index < count; ++index) {
        send_vertex(corners[index]);
    }
    gl.glEnd();
    if (!wireframe) {
        // The outline over the fill, so the corners stay visible through
        // blending.
        set_wireframe(1);
        gl.glBegin(count == 3 ? GL_TRIANGLES : GL_QUADS);
        for (uint32_t index = 0; index < count; ++index) {
            send_vertex(corners[index]);
        }
        gl.glEnd();
        set_wireframe(0);
    }
    draw_crosses(corners, count);
}

void DebugDrawState::draw_box(const Vector3& size, bool wireframe) {
    const Vector3 h = size * 0.5f;
    const Vector3 c[8] = {
        {-h.x, -h.y, -h.z}, {h.x, -h.y, -h.z}, {h.x, h.y, -h.z}, {-h.x, h.y, -h.z},
        {-h.x, -h.y, h.z},  {h.x, -h.y, h.z},  {h.x, h.y, h.z},  {-h.x, h.y, h.z},
    };
    gl.glBegin(GL_QUADS);
    send_quad(c[0], c[1], c[5], c[4]);
    send_quad(c[1], c[2], c[6], c[5]);
    send_quad(c[2], c[3], c[7], c[6]);
    send_quad(c[3], c[0], c[4], c[7]);
    // As a wireframe the four sides already hold every edge.
    if (!wireframe) {
        send_quad(c[3], c[2], c[1], c[0]);
        send_quad(c[4], c[5], c[6], c[7]);
    }
    gl.glEnd();
}

void DebugDrawState::draw_cylinder(float radius, float height, bool wireframe) {
    gl.glBegin(GL_QUADS);
    for (uint32_t index = 0; index < debug_circle_segments; ++index) {
        send_quad(get_debug_circle_point(index, radius, 0), get_debug_circle_point(index + 1, radius, 0),
                  get_debug_circle_point(index + 1, radius, height), get_debug_circle_point(index, radius, height));
    }
    gl.glEnd();
    if (wireframe) {
        return;
    }
    for (const float z : {0.0f, height}) {
        gl.glBegin(GL_POLYGON);
        for (uint32_t index = 0; index < debug_circle_segments; ++index) {
            send_vertex(get_debug_circle_point(index, radius, z));
        }
        gl.glEnd();
    }
}

void DebugDrawState::draw_sphere(float radius) {
    namespace trig = geometry::script_trig;
    const auto ring = [radius](uint32_t band) {
        const float latitude = -0.25f + 0.5f * static_cast<float>(band) / debug_circle_segments;
        return std::pair{trig::cosine(latitude) * radius, trig::sine(latitude) * radius};
    };
    gl.glBegin(GL_QUADS);
    for (uint32_t band = 0; band < debug_circle_segments; ++band) {
        const auto [low_radius, low_z] = ring(band);
        const auto [high_radius, high_z] = ring(band + 1);
        for (uint32_t index = 0; index < debug_circle_segments; ++index) {
            send_quad(get_debug_circle_point(index, low_radius, low_z),
                      get_debug_circle_point(index + 1, low_radius, low_z),
                      get_debug_circle_point(index + 1, high_radius, high_z),
                      get_debug_circle_point(index, high_radius, high_z));
        }
    }
    gl.glEnd();
}

void DebugDrawState::draw_axes(uint32_t colour) {
    constexpr uint32_t axis_colours[3] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
    const Vector3 ends[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (uint32_t axis = 0; axis < 3; ++axis) {
        set_colour(axis_colours[axis]);
        gl.glBegin(GL_LINES);
        send_vertex({});
        send_vertex(ends[axis]);
        gl.glEnd();
    }
    set_colour(colour);
}

void DebugDrawState::draw_screen_element(const Vector3& corner, const Vector3& size) {
    const FrameBufferState& frame = get_frame_buffer_state();
    gl.glMatrixMode(GL_PROJECTION);
    gl.glPushMatrix();
    gl.glLoadIdentity();
    gl.glOrtho(0, frame.viewport_width, 0, frame.viewport_height, -1, 1);
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glPushMatrix();
    gl.glLoadIdentity();
    gl.glBegin(GL_QUADS);
    send_quad({corner.x, corner.y, 0}, {corner.x + size.x, corner.y, 0}, {corner.x + size.x, corner.y + size.y, 0},
              {corner.x, corner.y + size.y, 0});
    gl.glEnd();
    gl.glPopMatrix();
    gl.glMatrixMode(GL_PROJECTION);
    gl.glPopMatrix();
    gl.glMatrixMode(GL_MODELVIEW);
}

void DebugDrawState::load_world_transform() {
    set_object_matrix(geometry::identity_quaternion(), {});
    gl.glMatrixMode(GL_MODELVIEW);
    opengl::load_matrix(object_transform.object);
}

void DebugDrawState::draw_physics_geometry(const PhysicsDebugGeometry& geometry) {
    load_world_transform();
    set_blending_mode(static_cast<uint32_t>(BlendingMode::alpha));
    const auto send_all = [](GLenum mode, const DebugVertex* vertices, uint32_t count) {
        if (vertices == nullptr || count == 0) {
            return;
        }
        gl.glBegin(mode);
        for (uint32_t index = 0; index < count; ++index) {
            send_colour(vertices[index].colour);
            gl.glVertex3f(vertices[index].x, vertices[index].y, vertices[index].z);
        }
        gl.glEnd();
    };
    send_all(GL_POINTS, geometry.points, geometry.point_count);
    send_all(GL_LINES, geometry.lines, geometry.line_count * 2);
    send_all(GL_TRIANGLES, geometry.triangles, geometry.triangle_count * 3);
    colour_applied_ = false;
}

}  // namespace zolt::renderer

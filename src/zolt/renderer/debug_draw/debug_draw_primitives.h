#pragma once
// Drawing debug primitives with the fixed-function pipeline in immediate
// mode: the GL state of a debug-draw run (begun and ended around all of
// them, with its own cache of the blending, depth, wireframe and colour
// settings) and the geometry of each primitive type. Rendering thread only,
// inside the view's debug-draw layer.
#include <cstdint>

#include "zolt/renderer/debug_draw/debug_draw_object.h"

namespace zolt::renderer {

struct PhysicsDebugGeometry;

// Half the length of each arm of the cross that marks points and corners.
constexpr float debug_cross_half_size = 0.25f;
// Segments of circles, latitude bands of spheres.
constexpr uint32_t debug_circle_segments = 12;

class DebugDrawState {
public:
    // Blending off, depth test (less or equal) without writes, no culling,
    // white; the cached modes forgotten.
    void begin();
    // Filled polygons, line width 1, blending off, white, culling and depth
    // test and writes on; the shader library's target-setup cache told that
    // these changed behind it.
    void end();

    // A mode outside its range reaching here is fatal.
    void set_blending_mode(uint32_t mode);
    void set_depth_mode(uint32_t mode);

    void set_colour(uint32_t colour);
    // The identity object transform: what follows is in world coordinates.
    void load_world_transform();

    void draw_object(const DebugDrawObject& object);
    void draw_physics_geometry(const PhysicsDebugGeometry& geometry);

private:
    void set_wireframe(uint32_t wireframe);
    void apply_transform(const DebugDrawObject& object);
    void draw_shape(const DebugDrawObject& object);
    void draw_polygon(const geometry::Vector3* corners, uint32_t count, bool wireframe);
    void draw_box(const geometry::Vector3& size, bool wireframe);
    void draw_cylinder(float radius, float height, bool wireframe);
    void draw_sphere(float radius);
    void draw_axes(uint32_t colour);
    void draw_screen_element(const geometry::Vector3& corner, const geometry::Vector3& size);

    // The value last applied, or none_applied.
    static constexpr uint32_t none_applied = 0xFFFFFFFFu;
    uint32_t blending_mode_ = none_applied;
    uint32_t depth_mode_ = none_applied;
    uint32_t wireframe_ = none_applied;
    uint32_t colour_ = 0;
    bool colour_applied_ = false;
};

// The GL corners of a debug circle: point i of 12 is (cos(i / 12 turn) r,
// sin(i / 12 turn) r, z).
geometry::Vector3 get_debug_circle_point(uint32_t index, float radius, float z);

}  // namespace zolt::renderer

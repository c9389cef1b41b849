#pragma once
// The debug-draw server (type 55): one scripted debug primitive and the
// mask that chooses which primitives are drawn, plus the physics scene's
// debug geometry when the physics layer offers it. The view's debug-draw
// layer calls render() after its pass; everything it draws is fixed-function
// immediate mode over the finished 3D scene. Main thread only; render() only
// inside a rendering command.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/renderer/debug_draw/debug_draw_object.h"

namespace zolt::renderer {

// Only one scripted primitive exists at a time.
constexpr uint32_t debug_draw_capacity = 1;

// Debug geometry in world coordinates, each vertex with a packed ARGB
// colour: points one vertex each, lines two, triangles three.
struct DebugVertex {
    float x, y, z;
    uint32_t colour;
};
struct PhysicsDebugGeometry {
    const DebugVertex* points = nullptr;
    uint32_t point_count = 0;
    const DebugVertex* lines = nullptr;
    uint32_t line_count = 0;
    const DebugVertex* triangles = nullptr;
    uint32_t triangle_count = 0;
};

struct DebugDrawHooks {
    // The physics scene's debug renderable; false when it has none.
    bool (*get_physics_debug_geometry)(PhysicsDebugGeometry* out) = nullptr;
    // A navigation object's placement (position and rotation) and its
    // triangles, edges and nodes, drawn with the current state; false when
    // the handle names none.
    bool (*get_navigation_transform)(core::ObjectHandle object, geometry::Quaternion* rotation,
                                     geometry::Vector3* position) = nullptr;
    void (*draw_navigation_object)(core::ObjectHandle object) = nullptr;
};

extern DebugDrawHooks debug_draw_hooks;

class DebugDrawServer final : public core::PooledServer<DebugDrawObject, debug_draw_capacity> {
public:
    DebugDrawServer() : PooledServer(debug_draw_server_type) {}

    const char* get_name() const override { return "DebugDrawServer"; }
    void register_server() override;
    void unregister_server() override;
    // The mask after the common server data.
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;

    uint32_t get_mask() const { return mask_; }
    void set_mask(uint32_t mask) { mask_ = mask; }

    // Nothing when there is no physics geometry and no primitive to draw.
    void render();
    // Destroys the objects made for one frame; after all viewports.
    void destroy_frame_objects();

private:
    uint32_t mask_ = 0;
    // Objects that live for one frame; nothing makes them yet.
    core::ObjectHandle frame_objects_[debug_draw_capacity] = {};
    uint32_t frame_object_count_ = 0;
};

extern DebugDrawServer debug_draw_server;

}  // namespace zolt::renderer

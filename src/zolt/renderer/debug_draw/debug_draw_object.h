#pragma once
// One scripted debug primitive (server type 55): its kind, colour, blending,
// depth and wireframe settings, the placement that transforms it and the
// points and sizes that shape it. The object only keeps the settings; the
// debug-draw server draws it inside the view's debug-draw layer. Setters
// refuse values the drawing code cannot draw, so the render path never meets
// them from a script. Main thread only.
#include <cstdint>

#include "libs/geometry/vector.h"
#include "zolt/core/object_server/server_object.h"

namespace zolt::renderer {

constexpr uint32_t debug_draw_server_type = 55;

enum class DebugDrawType : uint32_t {
    point = 0,
    line = 1,
    triangle = 2,
    quad = 3,
    box = 4,
    cylinder = 5,
    sphere = 6,
    axes = 7,
    navigation_object = 8,
    screen_element = 9,
};
constexpr uint32_t debug_draw_type_count = 10;

enum class BlendingMode : uint32_t { none = 0, additive = 1, multiplicative = 2, alpha = 3 };
constexpr uint32_t blending_mode_count = 4;
enum class DepthMode : uint32_t { test = 0, test_and_write = 1, off = 2 };
constexpr uint32_t depth_mode_count = 3;

// One ARGB word, alpha in the top byte and blue in the bottom: the layout of
// the object colour.
constexpr uint32_t make_color(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue) {
    return uint32_t{alpha} << 24 | uint32_t{red} << 16 | uint32_t{green} << 8 | blue;
}

// Transform flag bit 0: the placement's position only, without its rotation.
constexpr uint32_t debug_draw_position_only = 0x1;
constexpr uint32_t debug_draw_point_count = 4;

namespace debug_draw_property {
constexpr uint32_t placement = 0x0100000A, size = 0x3000000E, transform_flags = 0x03000015, type = 0x03000021,
                   colour = 0x0300005A, scalar = 0x05000132, blending_mode = 0x030001E9, wireframe = 0x030001EA,
                   depth_mode = 0x030001EB, line_width = 0x050001EC, mask = 0x030001ED, first_point_source = 0x010001EE,
                   first_point_vector = 0x300001F2, second_vector = 0x300001F6, size_alias = 0x300001F7,
                   second_vector_alias = 0x300001F8, size_x = 0x050001F9, size_y = 0x050001FA,
                   navigation_object = 0x010001FB;
}  // namespace debug_draw_property

struct DebugDrawSettings {
    uint32_t type = static_cast<uint32_t>(DebugDrawType::axes);
    // ARGB, alpha in the top byte.
    uint32_t colour = 0xFFFFFFFFu;
    uint32_t blending_mode = static_cast<uint32_t>(BlendingMode::additive);
    uint32_t wireframe = 0;
    uint32_t depth_mode = static_cast<uint32_t>(DepthMode::test);
    uint32_t transform_flags = 0;
    float line_width = 1;
    uint32_t mask = 0;
    uint8_t flag = 0;
    core::ObjectHandle placement = 0;
    core::ObjectHandle point_sources[debug_draw_point_count] = {};
    geometry::Vector3 point_vectors[debug_draw_point_count];
    geometry::Vector3 size;
    float scalars[2] = {0, 0};
    geometry::Vector3 second_vector;
    core::ObjectHandle navigation_object = 0;
};

class DebugDrawObject final : public core::ServerObject {
public:
    void initialize(uint32_t) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;
    bool remove_property(uint32_t id) override;

    const DebugDrawSettings& get_settings() const { return settings_; }
    // Point n: the world position of its source object, or its vector when
    // it has no source (or the source is gone).
    geometry::Vector3 get_point(uint32_t index) const;

private:
    DebugDrawSettings settings_;
    core::ObjectHandle dictionary_ = 0;
};

}  // namespace zolt::renderer

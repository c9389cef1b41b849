// Debug primitives drawn in the GL harness: each type through a viewport's
// debug-draw layer at the pixels its camera projects it to, and the blending,
// depth, wireframe and mask settings with the server drawing straight into
// a frame whose colours and depths the test sets itself.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/renderer/batcher/batcher_test_support.h"
#include "zolt/renderer/camera/camera.h"
#include "zolt/renderer/debug_draw/debug_draw_server.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/viewport/viewport_server.h"

namespace zolt::renderer {
namespace {

using geometry::Vector3;
using opengl::gl;
using test_support::Pixel;
namespace p = debug_draw_property;

core::Property make_word(uint32_t value) {
    core::Property property;
    property.set_u32(0x03000000, value);
    return property;
}

core::Property make_vector(const Vector3& v) {
    core::Property property;
    const float values[3] = {v.x, v.y, v.z};
    property.set_floats(0x30000000, values, 3);
    return property;
}

bool is_dark(const Pixel& pixel) {
    return pixel[0] < 8 && pixel[1] < 8 && pixel[2] < 8;
}

class DebugDrawView : public test_support::BatcherWorld {
protected:
    void SetUp() override {
        BatcherWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        core::placement_server.register_server();
        camera_server.register_server();
        viewport_server.register_server();
        debug_draw_server.register_server();
        object_ = static_cast<DebugDrawObject*>(debug_draw_server.create_object_internal(0));
        ASSERT_NE(object_, nullptr);
        set(p::mask, 1);
        debug_draw_server.set_mask(1);
        set(p::blending_mode, 0);
        set(p::depth_mode, 2);
        set(p::colour, 0xFF30C050);
    }
    void TearDown() override {
        debug_draw_hooks = DebugDrawHooks{};
        if (debug_draw_server.is_registered()) {
            debug_draw_server.unregister_server();
            viewport_server.unregister_server();
            camera_server.unregister_server();
            core::placement_server.unregister_server();
        }
        BatcherWorld::TearDown();
    }

public:
    void set(uint32_t id, uint32_t value) { ASSERT_TRUE(object_->set_property(id, make_word(value))) << id; }
    void set(uint32_t id, const Vector3& value) { ASSERT_TRUE(object_->set_property(id, make_vector(value))) << id; }
    void place_at(const Vector3& position) {
        core::Placement* const placement = core::placement_server.create_placement();
        placement->set_world_position(position);
        core::Property link;
        link.set_u32(0x01000000, placement->get_handle());
        ASSERT_TRUE(object_->set_property(p::placement, link));
    }

protected:
    // A camera at the origin looking along +Y with Z up and 90 degrees
    // across, drawing the whole 64 x 64 window.
    void draw_view() {
        if (viewport_ == nullptr) {
            make_view();
        }
        viewport_server.update();
        ASSERT_TRUE(viewport_server.render_viewports());
    }
    void make_view() {
        Camera* const camera = camera_server.create_camera();
        core::Property lens;
        lens.set_float(0x5000000, 0.25f);
        ASSERT_TRUE(camera->set_property(camera_property::horizontal_field_of_view, lens));
        lens.set_float(0x5000000, 0);
        ASSERT_TRUE(camera->set_property(camera_property::vertical_field_of_view, lens));
        auto* const viewport = static_cast<Viewport*>(viewport_server.create_object_internal(0));
        core::Property camera_handle;
        camera_handle.set_u32(0x10000FB, camera->get_handle());
        ASSERT_TRUE(viewport->set_property(0x10000FB, camera_handle));
        viewport_ = viewport;
    }

    // The window pixel the camera above puts a world point at.
    static std::pair<float, float> project(const Vector3& world) {
        return {32 + 32 * world.x / world.y, 32 + 32 * world.z / world.y};
    }
    // Lit somewhere within a pixel of where the point lands.
    bool is_lit_around(float x, float y) const {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (!is_dark(read_pixel(static_cast<int32_t>(std::floor(x)) + dx,
                                        static_cast<int32_t>(std::floor(y)) + dy))) {
                    return true;
                }
            }
        }
        return false;
    }

    // Straight into the frame: clip coordinates (the transforms identity),
    // the colour and depth buffers cleared to the given values.
    void prepare_direct_frame(uint32_t background) {
        gl.glViewport(0, 0, width, height);
        gl.glDisable(GL_SCISSOR_TEST);
        gl.glMatrixMode(GL_PROJECTION);
        gl.glLoadIdentity();
        gl.glMatrixMode(GL_MODELVIEW);
        gl.glLoadIdentity();
        clear_to(background);
    }
    void render_direct() {
        shader_library::reset_state();
        debug_draw_server.render();
    }
    // A quad drawn without the debug draw, writing depth.
    static void draw_plain_quad(float x0, float x1, float z, const std::array<uint8_t, 3>& colour) {
        gl.glEnable(GL_DEPTH_TEST);
        gl.glDepthFunc(GL_LESS);
        gl.glDepthMask(GL_TRUE);
        gl.glDisable(GL_BLEND);
        gl.glColor4ub(colour[0], colour[1], colour[2], 255);
        gl.glBegin(GL_QUADS);
        gl.glVertex3f(x0, -1, z);
        gl.glVertex3f(x1, -1, z);
        gl.glVertex3f(x1, 1, z);
        gl.glVertex3f(x0, 1, z);
        gl.glEnd();
    }
    void set_full_quad(float z) {
        set(p::type, static_cast<uint32_t>(DebugDrawType::quad));
        set(p::first_point_vector, Vector3{-1, -1, z});
        set(p::first_point_vector + 1, Vector3{1, -1, z});
        set(p::first_point_vector + 2, Vector3{1, 1, z});
        set(p::first_point_vector + 3, Vector3{-1, 1, z});
    }

    DebugDrawObject* object_ = nullptr;
    Viewport* viewport_ = nullptr;
};

void expect_near(const Pixel& pixel, const std::array<int, 3>& expected, const char* what) {
    for (int lane = 0; lane < 3; ++lane) {
        EXPECT_NEAR(pixel[lane], expected[lane], 2) << what << " lane " << lane;
    }
}

TEST_F(DebugDrawView, EachTypeAppearsWhereTheCameraProjectsIt) {
    struct Row {
        const char* name;
        DebugDrawType type;
        std::function<void(DebugDrawView&)> arrange;
        // World points that must be lit, and one that must stay dark.
        std::vector<Vector3> lit;
        Vector3 dark;
    };
    const std::vector<Row> rows = {
        {"point",
         DebugDrawType::point,
         [](DebugDrawView& t) {
             t.set(p::first_point_vector, Vector3{1, 5, 1});
         },
         {{1, 5, 1}},
         {-2, 5, -2}},
        {"line",
         DebugDrawType::line,
         [](DebugDrawView& t) {
             t.set(p::first_point_vector, Vector3{-2, 5, -2});
             t.set(p::first_point_vector + 1, Vector3{2, 5, -2});
         },
         {{-2, 5, -2}, {0, 5, -2}, {2, 5, -2}},
         {0, 5, 1}},
        {"triangle",
         DebugDrawType::triangle,
         [](DebugDrawView& t) {
             t.set(p::first_point_vector, Vector3{-2, 5, -2});
             t.set(p::first_point_vector + 1, Vector3{2, 5, -2});
             t.set(p::first_point_vector + 2, Vector3{0, 5, 2});
         },
         {{0, 5, -0.6f}, {0, 5, 1.8f}},
         {-2, 5, 1.5f}},
        {"quad",
         DebugDrawType::quad,
         [](DebugDrawView& t) {
             t.set(p::first_point_vector, Vector3{-1, 5, -1});
             t.set(p::first_point_vector + 1, Vector3{1, 5, -1});
             t.set(p::first_point_vector + 2, Vector3{1, 5, 1});
             t.set(p::first_point_vector + 3, Vector3{-1, 5, 1});
         },
         {{0, 5, 0}, {0.9f, 5, 0.9f}},
         {2, 5, 2}},
        // The box's near face lies at y 4, one unit in front of its centre.
        {"box",
         DebugDrawType::box,
         [](DebugDrawView& t) {
             t.place_at({0, 5, 0});
             t.set(p::size, Vector3{2, 2, 2});
         },
         {{0, 4, 0}, {0.9f, 4, 0.9f}},
         {1.6f, 4, 1.6f}},
        {"cylinder",
         DebugDrawType::cylinder,
         [](DebugDrawView& t) {
             t.place_at({0, 5, -1});
             t.set(p::size, Vector3{1, 0, 2});
         },
         {{0, 4, -0.5f}, {0, 4, 0.5f}},
         {2, 5, 0}},
        {"sphere",
         DebugDrawType::sphere,
         [](DebugDrawView& t) {
             t.place_at({0, 6, 0});
             t.set(p::size, Vector3{1, 0, 0});
         },
         {{0, 5, 0}, {0, 5, 0.5f}},
         {1.5f, 5, 1.5f}},
        {"axes",
         DebugDrawType::axes,
         [](DebugDrawView& t) {
             t.place_at({0.05f, 5, 0.05f});
         },
         {{0.6f, 5, 0.05f}, {0.05f, 5, 0.6f}},
         {-1, 5, -1}},
        {"navigation object",
         DebugDrawType::navigation_object,
         [](DebugDrawView& t) {
             debug_draw_hooks.get_navigation_transform = [](core::ObjectHandle, geometry::Quaternion* rotation,
                                                            Vector3* position) {
                 *rotation = geometry::identity_quaternion();
                 *position = {1, 5, 1};
                 return true;
             };
             // Its own geometry around its origin: a small square.
             debug_draw_hooks.draw_navigation_object = [](core::ObjectHandle) {
                 gl.glBegin(GL_QUADS);
                 gl.glVertex3f(-0.3f, 0, -0.3f);
                 gl.glVertex3f(0.3f, 0, -0.3f);
                 gl.glVertex3f(0.3f, 0, 0.3f);
                 gl.glVertex3f(-0.3f, 0, 0.3f);
                 gl.glEnd();
             };
         },
         {{1, 5, 1}},
         {-1, 5, -1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        debug_draw_hooks = DebugDrawHooks{};
        set(p::type, static_cast<uint32_t>(row.type));
        row.arrange(*this);
        draw_view();
        for (const Vector3& point : row.lit) {
            const auto [x, y] = project(point);
            EXPECT_TRUE(is_lit_around(x, y)) << x << ", " << y;
        }
        const auto [x, y] = project(row.dark);
        EXPECT_TRUE(is_dark(read_pixel(static_cast<int32_t>(x), static_cast<int32_t>(y)))) << x << ", " << y;
    }
}

TEST_F(DebugDrawView, AScreenElementIsPlacedInWindowPixels) {
    set(p::type, static_cast<uint32_t>(DebugDrawType::screen_element));
    set(p::first_point_vector, Vector3{10, 40, 0});
    set(p::size, Vector3{6, 4, 0});
    draw_view();
    expect_near(read_pixel(10, 40), {0x30, 0xC0, 0x50}, "first pixel");
    expect_near(read_pixel(15, 43), {0x30, 0xC0, 0x50}, "last pixel");
    EXPECT_TRUE(is_dark(read_pixel(16, 43)));
    EXPECT_TRUE(is_dark(read_pixel(15, 44)));
    EXPECT_TRUE(is_dark(read_pixel(9, 40)));
}

TEST_F(DebugDrawView, BlendingModesCombineWithTheFrame) {
    struct Row {
        const char* name;
        BlendingMode mode;
        uint32_t background;
        uint32_t colour;
        std::array<int, 3> expected;
    } const rows[] = {
        {"none", BlendingMode::none, 0xFFC86432, 0xFF204060, {0x20, 0x40, 0x60}},
        // Source times its alpha (128 / 255) plus what was there.
        {"additive", BlendingMode::additive, 0xFF400000, 0x80008000, {64, 64, 0}},
        {"multiplicative", BlendingMode::multiplicative, 0xFFC86432, 0xFF808080, {100, 50, 25}},
        {"alpha", BlendingMode::alpha, 0xFFC80000, 0x8000FF00, {100, 128, 0}},
    };
    set_full_quad(0);
    for (const Row& row : rows) {
        set(p::blending_mode, static_cast<uint32_t>(row.mode));
        set(p::colour, row.colour);
        prepare_direct_frame(row.background);
        render_direct();
        expect_near(read_pixel(32, 32), row.expected, row.name);
    }
}

TEST_F(DebugDrawView, DepthModesTestAndWriteAsTheyName) {
    set_full_quad(0);
    const std::array<int, 3> debug_colour = {0x30, 0xC0, 0x50};
    const std::array<int, 3> blue = {0, 0, 255};
    // A nearer quad over the right half.
    const auto prepare = [this] {
        prepare_direct_frame(0xFF000000);
        draw_plain_quad(0, 1, -0.5f, {0, 0, 255});
    };

    set(p::depth_mode, static_cast<uint32_t>(DepthMode::test));
    prepare();
    render_direct();
    expect_near(read_pixel(16, 32), debug_colour, "test: in front of nothing");
    expect_near(read_pixel(48, 32), blue, "test: behind the nearer quad");

    set(p::depth_mode, static_cast<uint32_t>(DepthMode::off));
    prepare();
    render_direct();
    expect_near(read_pixel(48, 32), debug_colour, "off: drawn over the nearer quad");
    // Without writing, a quad behind the primitive still shows.
    draw_plain_quad(-1, 0, 0.5f, {255, 0, 0});
    expect_near(read_pixel(16, 32), {255, 0, 0}, "off: writes no depth");

    set(p::depth_mode, static_cast<uint32_t>(DepthMode::test_and_write));
    prepare();
    render_direct();
    draw_plain_quad(-1, 0, 0.5f, {255, 0, 0});
    expect_near(read_pixel(16, 32), debug_colour, "write: hides what lies behind");
}

TEST_F(DebugDrawView, AWireframeLeavesTheFaceEmpty) {
    set(p::type, static_cast<uint32_t>(DebugDrawType::quad));
    set(p::first_point_vector, Vector3{-0.5f, -0.5f, 0});
    set(p::first_point_vector + 1, Vector3{0.5f, -0.5f, 0});
    set(p::first_point_vector + 2, Vector3{0.5f, 0.5f, 0});
    set(p::first_point_vector + 3, Vector3{-0.5f, 0.5f, 0});
    set(p::wireframe, 1);
    prepare_direct_frame(0xFF000000);
    render_direct();
    EXPECT_TRUE(is_dark(read_pixel(32, 32)));
    EXPECT_TRUE(is_lit_around(16, 32));
    EXPECT_TRUE(is_lit_around(32, 47.5f));

    set(p::wireframe, 0);
    prepare_direct_frame(0xFF000000);
    render_direct();
    expect_near(read_pixel(32, 32), {0x30, 0xC0, 0x50}, "filled");
}

TEST_F(DebugDrawView, OnlyObjectsSharingABitWithTheServerMaskAreDrawn) {
    set_full_quad(0);
    set(p::mask, 0x4);
    debug_draw_server.set_mask(0x3);
    prepare_direct_frame(0xFF000000);
    render_direct();
    EXPECT_TRUE(is_dark(read_pixel(32, 32)));
    debug_draw_server.set_mask(0x6);
    render_direct();
    EXPECT_FALSE(is_dark(read_pixel(32, 32)));
}

TEST_F(DebugDrawView, ThePhysicsDebugGeometryIsDrawnInItsOwnColoursWithoutAnyObject) {
    core::destroy_object(object_);
    debug_draw_hooks.get_physics_debug_geometry = [](PhysicsDebugGeometry* out) {
        static const DebugVertex lines[] = {{-1, 0.02f, 0, 0xFFFF0000}, {1, 0.02f, 0, 0xFFFF0000}};
        static const DebugVertex triangles[] = {
            {-0.9f, -0.9f, 0, 0xFF0000FF}, {-0.5f, -0.9f, 0, 0xFF0000FF}, {-0.9f, -0.5f, 0, 0xFF0000FF}};
        out->lines = lines;
        out->line_count = 1;
        out->triangles = triangles;
        out->triangle_count = 1;
        return true;
    };
    prepare_direct_frame(0xFF000000);
    render_direct();
    EXPECT_TRUE(is_lit_around(10, 32.5f));
    EXPECT_TRUE(is_lit_around(54, 32.5f));
    expect_near(read_pixel(6, 6), {0, 0, 255}, "triangle");
    EXPECT_TRUE(is_dark(read_pixel(32, 48)));
}

}  // namespace
}  // namespace zolt::renderer

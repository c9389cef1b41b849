#include "zolt/renderer/camera/camera.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/world_round_trip.h"
#include "zolt/navigation/area_world.h"
#include "zolt/renderer/camera/view_matrices.h"

namespace zolt::renderer {
namespace {

constexpr double pi = 3.14159265358979323846;

TEST(ViewMatrices, FieldsOfViewFollowTheAspect) {
    struct Row {
        float horizontal, vertical, width, height;
        FieldsOfView expected;
    } const rows[] = {
        // 60 degrees vertical at 16:9 is 91.49 degrees across.
        {0, 1.0f / 6, 1920, 1080, {0.2541f, 1.0f / 6}},
        // 90 degrees across at 4:3 is 73.74 degrees high.
        {0.25f, 0, 800, 600, {0.25f, 0.2048f}},
        {0.25f, -1, 800, 600, {0.25f, 0.2048f}},
        // A given vertical angle wins over a stored horizontal one.
        {0.4f, 0.25f, 600, 600, {0.25f, 0.25f}},
    };
    for (const Row& row : rows) {
        const FieldsOfView fields = complete_fields_of_view(row.horizontal, row.vertical, row.width, row.height);
        EXPECT_NEAR(fields.horizontal, row.expected.horizontal, 1e-4f);
        EXPECT_NEAR(fields.vertical, row.expected.vertical, 1e-4f);
    }
}

TEST(ViewMatrices, ViewSpaceLooksDownMinusZWithTheCameraUpAsY) {
    const geometry::Quaternion rotation = geometry::normalize(geometry::Quaternion{0.3f, -0.2f, 0.5f, 0.8f});
    const geometry::Vector3 eye{4, -3, 7};
    const ViewMatrices matrices = build_view_matrices(eye, rotation);
    const geometry::Vector3 forward = geometry::rotate(rotation, {0, 1, 0});
    const geometry::Vector3 up = geometry::rotate(rotation, {0, 0, 1});
    const geometry::Vector3 right = geometry::rotate(rotation, {1, 0, 0});
    struct Row {
        geometry::Vector3 world;
        geometry::Vector3 view;
    } const rows[] = {
        {eye, {0, 0, 0}},
        {eye + forward * 5, {0, 0, -5}},
        {eye + up * 2, {0, 2, 0}},
        {eye + right * 3, {3, 0, 0}},
    };
    for (const Row& row : rows) {
        const geometry::Vector3 view = geometry::transform_point(row.world, matrices.view);
        EXPECT_NEAR(view.x, row.view.x, 1e-4f);
        EXPECT_NEAR(view.y, row.view.y, 1e-4f);
        EXPECT_NEAR(view.z, row.view.z, 1e-4f);
        const geometry::Vector3 back = geometry::transform_point(view, matrices.inverse_view);
        EXPECT_NEAR(geometry::length(back - row.world), 0, 1e-4f);
    }
    // The conversion alone: camera +Y to -Z, +Z to +Y.
    const geometry::Vector3 converted = geometry::transform_direction({0, 1, 0}, camera_to_view_conversion);
    EXPECT_EQ(converted.z, -1);
    EXPECT_EQ(geometry::transform_direction({0, 0, 1}, camera_to_view_conversion).y, 1);
}

TEST(ViewMatrices, ProjectionsMapNearAndFarToTheDepthRange) {
    const float near = 0.5f, far = 200;
    const geometry::Matrix4 hyperbolic = build_perspective_projection(0.25f, 1.0f / 6, near, far, false);
    const geometry::Matrix4 linear = build_perspective_projection(0.25f, 1.0f / 6, near, far, true);
    for (const auto& [depth, expected] : {std::pair{near, -1.0f}, std::pair{far, 1.0f}}) {
        const geometry::Vector4 clip = geometry::transform_homogeneous({0, 0, -depth}, hyperbolic);
        EXPECT_NEAR(clip.z / clip.w, expected, 1e-4f);
        EXPECT_NEAR(clip.w, depth, 1e-4f);
        // The linear form keeps depth undivided for the shadow passes.
        EXPECT_NEAR(geometry::transform_homogeneous({0, 0, -depth}, linear).z, expected, 1e-4f);
    }
    // A point on the edge of a 90 degree field lands on the clip edge.
    const geometry::Vector4 edge = geometry::transform_homogeneous({10, 0, -10}, hyperbolic);
    EXPECT_NEAR(edge.x / edge.w, 1, 1e-5f);
    const geometry::Vector4 top =
        geometry::transform_homogeneous({0, static_cast<float>(10 * std::tan(pi / 6)), -10}, hyperbolic);
    EXPECT_NEAR(top.y / top.w, 1, 1e-5f);
    // glOrtho(-w/2, w/2, -h/2, h/2, near, far).
    const geometry::Matrix4 orthographic = build_orthographic_projection(1, 101, 40, 20);
    const geometry::Vector4 corner = geometry::transform_homogeneous({20, -10, -101}, orthographic);
    EXPECT_NEAR(corner.x, 1, 1e-6f);
    EXPECT_NEAR(corner.y, -1, 1e-6f);
    EXPECT_NEAR(corner.z, 1, 1e-6f);
    EXPECT_NEAR(geometry::transform_homogeneous({0, 0, -1}, orthographic).z, -1, 1e-6f);
}

class Cameras : public test::AreaWorld {};

TEST_F(Cameras, ACameraOwnsItsPlacementAndLens) {
    Camera* const camera = camera_server.create_camera();
    core::Property read;
    ASSERT_TRUE(camera->get_property(10, read));
    const core::ObjectHandle placement = read.get_u32();
    ASSERT_NE(core::placement_server.get_typed_object(placement), nullptr);
    struct Row {
        uint32_t id;
        float value;
    } const defaults[] = {{63, 0}, {64, 1.0f / 6}, {65, 0.2f}, {66, 15}, {67, 1400}};
    for (const Row& row : defaults) {
        ASSERT_TRUE(camera->get_property(row.id, read)) << row.id;
        EXPECT_EQ(read.get_float(), row.value) << row.id;
        // Setters store what they are given, typed ids only.
        core::Property value;
        value.set_float(0x5000000, -row.value - 1);
        EXPECT_TRUE(camera->set_property(0x5000000 | row.id, value));
        ASSERT_TRUE(camera->get_property(0x5000000 | row.id, read));
        EXPECT_EQ(read.get_float(), -row.value - 1) << row.id;
    }
    core::Property handle;
    handle.set_u32(0x1000000, 0);
    EXPECT_FALSE(camera->set_property(camera_property::placement, handle));
    core::destroy_object(camera);
    EXPECT_EQ(core::placement_server.get_typed_object(placement), nullptr);
}

TEST_F(Cameras, PositionAndRotationAreThePlacementsWorldValues) {
    Camera* const camera = camera_server.create_camera();
    core::Property value;
    const float at[3] = {1, 2, 3};
    value.set_floats(0x30000000, at, 3);
    ASSERT_TRUE(camera->set_property(camera_property::position, value));
    const float turn[4] = {0, 0, 0.70710678f, 0.70710678f};
    value.set_floats(0x41000000, turn, 4);
    ASSERT_TRUE(camera->set_property(camera_property::rotation, value));
    core::Property read;
    ASSERT_TRUE(camera->get_property(11, read));
    EXPECT_EQ(read.get_float(1), 2);
    // Held in place by its parent, the camera follows the parent's moves.
    core::Placement* const parent = core::placement_server.create_placement();
    core::Placement* const own = core::placement_server.get_typed_object(camera->get_placement());
    ASSERT_TRUE(own->set_parent(parent));
    own->set_local_position({1, 2, 3});
    parent->set_world_position({10, 0, 0});
    ASSERT_TRUE(camera->get_property(11, read));
    EXPECT_NEAR(read.get_float(0), 11, 1e-5f);
    EXPECT_NEAR(read.get_float(2), 3, 1e-5f);
    ASSERT_TRUE(camera->get_property(0x4100000C, read));
    EXPECT_NEAR(read.get_float(2), 0.70710678f, 1e-5f);
}

TEST_F(Cameras, SnapshotsFollowTheSectorsAndKeepTheLastOne) {
    servers::loadable_area_server.create_area(test::two_rooms_area);
    servers::Sector* const left = create_sector(test::two_rooms_area, 0);
    servers::Sector* const right = create_sector(test::two_rooms_area, 1);
    run_frame_updates();
    Camera* const camera = camera_server.create_camera();
    core::Placement* const placement = core::placement_server.get_typed_object(camera->get_placement());
    CameraSnapshot snapshot;
    Camera::copy_snapshot(nullptr, snapshot);
    EXPECT_EQ(snapshot.valid, 0);

    placement->set_world_position({2, 2, 1});
    Camera::copy_snapshot(camera, snapshot);
    EXPECT_EQ(snapshot.valid, 1);
    EXPECT_EQ(snapshot.far, 1400);
    EXPECT_EQ(snapshot.current_sector, &servers::sector_server.get_render_record(*left));
    placement->set_world_position({15, 2, 1});
    Camera::copy_snapshot(camera, snapshot);
    EXPECT_EQ(camera->get_current_sector(), right->get_handle());
    // Out of every sector: the last one stays the start of the walk.
    placement->set_world_position({15, 2, 50});
    Camera::copy_snapshot(camera, snapshot);
    EXPECT_EQ(snapshot.current_sector, nullptr);
    EXPECT_EQ(snapshot.last_sector, &servers::sector_server.get_render_record(*right));
    EXPECT_EQ(snapshot.position.z, 50);
}

TEST_F(Cameras, ASavedWorldBringsCamerasBack) {
    servers::loadable_area_server.create_area(test::two_rooms_area);
    servers::Sector* const left = create_sector(test::two_rooms_area, 0);
    Camera* const camera = camera_server.create_camera();
    core::Placement* const placement = core::placement_server.get_typed_object(camera->get_placement());
    placement->set_world_position({3, 3, 1});
    camera->update_sector();
    placement->set_world_position({3, 3, 80});
    camera->update_sector();
    core::Property value;
    value.set_float(0x5000000, 0.3f);
    ASSERT_TRUE(camera->set_property(camera_property::horizontal_field_of_view, value));
    value.set_u32(0x3000000, 9);
    ASSERT_TRUE(camera->set_property(0x03000777, value));
    const core::ObjectHandle handle = camera->get_handle();
    const core::ObjectHandle placement_handle = camera->get_placement();
    ASSERT_TRUE(test::save_and_load_world(3));
    Camera* const loaded = camera_server.get_typed_object(handle);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->get_placement(), placement_handle);
    EXPECT_EQ(loaded->get_world_position().z, 80);
    EXPECT_EQ(loaded->get_current_sector(), 0u);
    EXPECT_EQ(loaded->get_last_sector(), left->get_handle());
    core::Property read;
    ASSERT_TRUE(loaded->get_property(63, read));
    EXPECT_EQ(read.get_float(), 0.3f);
    ASSERT_TRUE(loaded->get_property(0x777, read));
    EXPECT_EQ(read.get_u32(), 9u);
}

}  // namespace
}  // namespace zolt::renderer

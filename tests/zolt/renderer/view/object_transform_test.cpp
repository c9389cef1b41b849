#include "zolt/renderer/view/object_transform.h"

#include <gtest/gtest.h>

#include "support/server_ring.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/placement/placement_server.h"

namespace zolt::renderer {
namespace {

class ObjectTransform : public ::testing::Test {
protected:
    void SetUp() override {
        core::alias_server.register_server();
        core::placement_server.register_server();
    }
    void TearDown() override { test::unregister_all_servers(); }
};

TEST_F(ObjectTransform, TheInverseUndoesTheObjectMatrix) {
    const geometry::Quaternion rotation = geometry::normalize(geometry::Quaternion{0.3f, 0.1f, -0.4f, 0.8f});
    const geometry::Vector3 position{5, -2, 9};
    object_transform.changed = false;
    set_object_matrix(rotation, position);
    EXPECT_TRUE(object_transform.changed);
    const geometry::Vector3 local{1, 2, 3};
    const geometry::Vector3 world = geometry::transform_point(local, object_transform.object);
    const geometry::Vector3 expected = geometry::rotate(rotation, local) + position;
    EXPECT_NEAR(geometry::length(world - expected), 0, 1e-5f);
    const geometry::Vector3 back = geometry::transform_point(world, object_transform.inverse);
    EXPECT_NEAR(geometry::length(back - local), 0, 1e-5f);
}

TEST_F(ObjectTransform, APlacementsTransformIsLoadedOnce) {
    core::Placement* const placement = core::placement_server.create_placement();
    placement->set_world_position({1, 2, 3});
    set_object_matrix_from_placement(placement->get_handle());
    EXPECT_EQ(object_transform.cached_placement, placement->get_handle());
    EXPECT_EQ(object_transform.object.rows[3].z, 3);
    object_transform.changed = false;
    set_object_matrix_from_placement(placement->get_handle());
    EXPECT_FALSE(object_transform.changed);
    set_object_matrix({}, {7, 7, 7});
    EXPECT_EQ(object_transform.cached_placement, 0u);
    set_object_matrix_from_placement(placement->get_handle());
    EXPECT_TRUE(object_transform.changed);
    EXPECT_EQ(object_transform.object.rows[3].x, 1);
    // A stale handle loads the identity and caches nothing.
    const core::ObjectHandle stale = placement->get_handle();
    core::destroy_object(placement);
    set_object_matrix_from_placement(stale);
    EXPECT_EQ(object_transform.object.rows[3].x, 0);
    EXPECT_EQ(object_transform.cached_placement, 0u);
}

}  // namespace
}  // namespace zolt::renderer

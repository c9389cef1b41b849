#include "zolt/core/placement/placement.h"

#include <gtest/gtest.h>

#include <array>

#include "zolt/core/placement/placement_test_support.h"
#include "zolt/core/placement/placement_track.h"

namespace zolt::core {
namespace {

using geometry::Quaternion;
using geometry::Vector3;
using test::PlacementWorld;
using test::random_position;
using test::random_rotation;

using PlacementTest = PlacementWorld;

// Rigid transforms composed directly in double precision.
struct Pose {
    std::array<double, 3> position;
    std::array<double, 4> rotation;
};

std::array<double, 4> multiply(const std::array<double, 4>& a, const std::array<double, 4>& b) {
    return {
        a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1], a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
        a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3], a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}

std::array<double, 4> conjugate(const std::array<double, 4>& q) {
    return {-q[0], -q[1], -q[2], q[3]};
}

std::array<double, 3> rotate(const std::array<double, 4>& q, const std::array<double, 3>& v) {
    const auto image = multiply(multiply(q, {v[0], v[1], v[2], 0}), conjugate(q));
    return {image[0], image[1], image[2]};
}

std::array<double, 3> add(const std::array<double, 3>& a, const std::array<double, 3>& b, double sign = 1) {
    return {a[0] + sign * b[0], a[1] + sign * b[1], a[2] + sign * b[2]};
}

std::array<double, 3> exact(const Vector3& v) {
    return {v.x, v.y, v.z};
}

std::array<double, 4> exact(const Quaternion& q) {
    return {q.x, q.y, q.z, q.w};
}

Vector3 to_float(const std::array<double, 3>& v) {
    return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])};
}

Quaternion to_float(const std::array<double, 4>& q) {
    return {static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2]), static_cast<float>(q[3])};
}

// The world pose of a child from its parent's world pose and its own local pose.
Pose compose(const Pose& parent, const Pose& local) {
    return {add(rotate(parent.rotation, local.position), parent.position), multiply(parent.rotation, local.rotation)};
}

// The local pose of a child from its parent's world pose and its own world pose.
Pose relative(const Pose& parent, const Pose& world) {
    return {rotate(conjugate(parent.rotation), add(world.position, parent.position, -1)),
            multiply(conjugate(parent.rotation), world.rotation)};
}

void expect_pose(Placement* placement, const Pose& world, const Pose& local, int order) {
    // Reading in different orders must not change what is read.
    for (int read = 0; read < 4; ++read) {
        switch ((read + order) % 4) {
        case 0:
            EXPECT_VECTOR_NEAR(placement->get_world_position(), to_float(world.position), 1e-4);
            break;
        case 1:
            EXPECT_QUATERNION_NEAR(placement->get_world_rotation(), to_float(world.rotation), 1e-5);
            break;
        case 2:
            EXPECT_VECTOR_NEAR(placement->get_local_position(), to_float(local.position), 1e-4);
            break;
        default:
            EXPECT_QUATERNION_NEAR(placement->get_local_rotation(), to_float(local.rotation), 1e-5);
            break;
        }
    }
}

TEST_F(PlacementTest, ThreeLevelHierarchyWithMixedAuthorityResolvesLikeDirectComposition) {
    std::mt19937 random(21);
    for (int round = 0; round < 200; ++round) {
        Placement* const root = create();
        Placement* const middle = create(root);
        Placement* const leaf = create(middle);
        // Root: local values given. Middle: world position and local rotation.
        // Leaf: local position and world rotation.
        const Vector3 root_position = random_position(random);
        const Quaternion root_rotation = random_rotation(random);
        const Vector3 middle_world_position = random_position(random);
        const Quaternion middle_local_rotation = random_rotation(random);
        const Vector3 leaf_local_position = random_position(random);
        const Quaternion leaf_world_rotation = random_rotation(random);
        root->set_local_position(root_position);
        root->set_local_rotation(root_rotation);
        middle->set_world_position(middle_world_position);
        middle->set_local_rotation(middle_local_rotation);
        leaf->set_local_position(leaf_local_position);
        leaf->set_world_rotation(leaf_world_rotation);

        auto check = [&](const Pose& root_world) {
            const Pose middle_world{exact(middle_world_position),
                                    multiply(root_world.rotation, exact(middle_local_rotation))};
            const Pose middle_local{relative(root_world, middle_world).position, exact(middle_local_rotation)};
            const Pose leaf_world{compose(middle_world, {exact(leaf_local_position), {0, 0, 0, 1}}).position,
                                  exact(leaf_world_rotation)};
            const Pose leaf_local{exact(leaf_local_position), relative(middle_world, leaf_world).rotation};
            // Leaf first, so that the whole chain resolves from below.
            expect_pose(leaf, leaf_world, leaf_local, round);
            expect_pose(middle, middle_world, middle_local, round + 1);
            expect_pose(root, root_world, root_world, round + 2);
        };
        check({exact(root_position), exact(root_rotation)});
        // Moving and turning the root: cached values below it go stale and
        // are recomputed when read.
        const Vector3 moved = random_position(random);
        const Quaternion turned = random_rotation(random);
        root->set_world_position(moved);
        root->set_world_rotation(turned);
        check({exact(moved), exact(turned)});
        if (HasFailure()) {
            FAIL() << "round " << round;
        }
        destroy_object(leaf);
        destroy_object(middle);
        destroy_object(root);
    }
}

TEST_F(PlacementTest, ChildLocalPositionAndParentWorldPositionBothShow) {
    Placement* const parent = create();
    Placement* const child = create(parent);
    parent->set_world_rotation(test::turn_about_z(0.25f));
    child->set_local_position({1, 0, 0});
    child->set_local_rotation(geometry::identity_quaternion());
    parent->set_world_position({10, 20, 30});
    EXPECT_VECTOR_NEAR(child->get_world_position(), Vector3(10, 21, 30), 1e-5);
    EXPECT_VECTOR_NEAR(child->world_to_local({10, 23, 30}), Vector3(2, 0, 0), 1e-5);
}

TEST_F(PlacementTest, SettingTheSameValueAgainCountsOneChange) {
    struct Case {
        const char* setter;
        void (*set)(Placement*);
    };
    const Case cases[] = {
        {"world position",
         [](Placement* p) {
             p->set_world_position({1, 2, 3});
         }},
        {"local position",
         [](Placement* p) {
             p->set_local_position({1, 2, 3});
         }},
        {"world rotation", [](Placement* p) { p->set_world_rotation(test::turn_about_z(0.1f)); }},
        {"local rotation", [](Placement* p) { p->set_local_rotation(test::turn_about_z(0.1f)); }},
    };
    for (const Case& c : cases) {
        Placement* const placement = create();
        test::Watcher* const watcher = watchers.create();
        placement->set_attached_object(watcher->get_handle());
        c.set(placement);
        c.set(placement);
        EXPECT_EQ(placement->get_change_count(), 1u) << c.setter;
        EXPECT_EQ(watcher->calls, 1u) << c.setter;
    }
}

TEST_F(PlacementTest, AttachedObjectHearsOfEveryChangeButNotOfItsOwnEcho) {
    Placement* const parent = create();
    Placement* const child = create(parent);
    test::Watcher* const watcher = watchers.create();
    child->set_attached_object(watcher->get_handle());
    child->get_world_position();

    child->set_world_rotation(test::turn_about_z(0.2f));
    EXPECT_EQ(watcher->calls, 1u) << "a directly set world rotation is told too";
    parent->set_world_position({1, 0, 0});
    EXPECT_EQ(watcher->calls, 2u) << "a moved parent is told through the child";
    child->set_local_position({0, 1, 0});
    EXPECT_EQ(watcher->calls, 3u);

    // The watcher writes a rotation back while it is told: that change is
    // counted, but not told back to it.
    watcher->echo_into = child;
    const uint32_t count = child->get_change_count();
    child->set_world_position({5, 5, 5});
    EXPECT_EQ(watcher->calls, 4u);
    EXPECT_EQ(child->get_change_count(), count + 2);

    // A handle that names nothing any more is skipped.
    destroy_object(watcher);
    child->set_world_position({6, 6, 6});
    EXPECT_EQ(child->get_change_count(), count + 3);
}

TEST_F(PlacementTest, CopyModesCopyTheNamedValues) {
    struct Case {
        uint8_t mode;
        bool from_world;
        bool into_world;
    };
    const Case cases[] = {{0, true, true}, {1, false, false}, {2, true, false}, {3, false, true}};
    std::mt19937 random(5);
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.mode));
        Placement* const source_parent = create();
        Placement* const source = create(source_parent);
        Placement* const copy_parent = create();
        Placement* const copy = create(copy_parent);
        Placement* const copy_child = create(copy);
        source_parent->set_world_position(random_position(random));
        source_parent->set_world_rotation(random_rotation(random));
        copy_parent->set_world_position(random_position(random));
        copy_parent->set_world_rotation(random_rotation(random));
        source->set_local_position(random_position(random));
        source->set_local_rotation(random_rotation(random));
        copy_child->set_local_position({1, 2, 3});
        ASSERT_TRUE(copy->set_copy_mode(c.mode));
        ASSERT_TRUE(copy->set_copy_source(source));
        EXPECT_EQ(copy->get_authority(), c.into_world ? 0 : 3);

        auto expect_copied = [&] {
            const Vector3 position = c.from_world ? source->get_world_position() : source->get_local_position();
            const Quaternion rotation = c.from_world ? source->get_world_rotation() : source->get_local_rotation();
            EXPECT_VECTOR_NEAR(c.into_world ? copy->get_world_position() : copy->get_local_position(), position, 1e-5);
            EXPECT_QUATERNION_NEAR(c.into_world ? copy->get_world_rotation() : copy->get_local_rotation(), rotation,
                                   1e-6);
            const Vector3 child_world =
                geometry::rotate(copy->get_world_rotation(), {1, 2, 3}) + copy->get_world_position();
            EXPECT_VECTOR_NEAR(copy_child->get_world_position(), child_world, 1e-4);
        };
        expect_copied();
        // Changes reach the copy, and the copy's own children, whichever of
        // the source's values moved: its parent turns (local values of a
        // world-given source change), then its own local values.
        source->set_world_position(random_position(random));
        expect_copied();
        source_parent->set_world_rotation(random_rotation(random));
        expect_copied();
        source->set_local_rotation(random_rotation(random));
        expect_copied();
        source_parent->set_world_position(random_position(random));
        expect_copied();
    }
}

TEST_F(PlacementTest, CopiesOfLocalValuesFollowWhenOnlyTheSourcesLocalValuesChange) {
    // The source's world values are given, so turning its parent changes
    // only its local values, which a mode 1 copy reads.
    Placement* const parent = create();
    Placement* const source = create(parent);
    Placement* const copy = create();
    source->set_world_position({1, 0, 0});
    source->set_world_rotation(geometry::identity_quaternion());
    ASSERT_TRUE(copy->set_copy_mode(copy_mode::local_to_local));
    ASSERT_TRUE(copy->set_copy_source(source));
    EXPECT_VECTOR_NEAR(copy->get_local_position(), Vector3(1, 0, 0), 1e-6);
    parent->set_world_rotation(test::turn_about_z(0.25f));
    EXPECT_VECTOR_NEAR(copy->get_local_position(), Vector3(0, -1, 0), 1e-6);
}

TEST_F(PlacementTest, CopySourceRulesAndRefusals) {
    Placement* const source = create();
    Placement* const copy = create();
    source->set_world_position({4, 5, 6});
    Property value;
    value.set_u32(placement_property::copy_source, source->get_handle());
    ASSERT_TRUE(copy->set_property(placement_property::copy_source, value));
    EXPECT_EQ(copy->get_copy_source(), source);
    // Mode 2 by default: the source's world pose as the local pose.
    EXPECT_VECTOR_NEAR(copy->get_local_position(), Vector3(4, 5, 6), 0);

    Property position;
    position.set_floats(placement_property::position, std::array<float, 3>{1, 1, 1}.data(), 3);
    EXPECT_FALSE(copy->set_property(placement_property::position, position));
    position.id = placement_property::local_position;
    EXPECT_FALSE(copy->set_property(placement_property::local_position, position));
    EXPECT_FALSE(copy->create_track());
    Property mode;
    mode.set_u32(placement_property::copy_mode, 4);
    EXPECT_FALSE(copy->set_property(placement_property::copy_mode, mode));
    mode.set_u32(placement_property::copy_mode, 0);
    EXPECT_TRUE(copy->set_property(placement_property::copy_mode, mode));
    EXPECT_VECTOR_NEAR(copy->get_world_position(), Vector3(4, 5, 6), 0);

    // Removing the source starts the given values over from the origin.
    value.set_u32(placement_property::copy_source, 0);
    ASSERT_TRUE(copy->set_property(placement_property::copy_source, value));
    EXPECT_EQ(copy->get_copy_source(), nullptr);
    EXPECT_VECTOR_NEAR(copy->get_world_position(), Vector3(0, 0, 0), 0);
    // A handle that names no placement is refused.
    value.set_u32(placement_property::copy_source, watchers.create()->get_handle());
    EXPECT_FALSE(copy->set_property(placement_property::copy_source, value));

    Placement* const tracked = create();
    ASSERT_TRUE(tracked->create_track());
    EXPECT_FALSE(tracked->set_copy_mode(1));
}

TEST_F(PlacementTest, LinksThatWouldMakeACycleAreRefused) {
    struct Case {
        const char* cycle;
        bool (*link)(Placement* a, Placement* b, Placement* c);
    };
    const Case cases[] = {
        {"own parent", [](Placement* a, Placement*, Placement*) { return a->set_parent(a); }},
        {"parent of its grandparent",
         [](Placement* a, Placement* b, Placement* c) {
             return b->set_parent(a) && c->set_parent(b) && a->set_parent(c);
         }},
        {"own copy source", [](Placement* a, Placement*, Placement*) { return a->set_copy_source(a); }},
        {"copy ring",
         [](Placement* a, Placement* b, Placement* c) {
             return b->set_copy_source(a) && c->set_copy_source(b) && a->set_copy_source(c);
         }},
        {"copying its own child",
         [](Placement* a, Placement* b, Placement*) { return b->set_parent(a) && a->set_copy_source(b); }},
        {"parent copies from the child's copy",
         [](Placement* a, Placement* b, Placement* c) {
             return c->set_copy_source(b) && a->set_copy_source(c) && b->set_parent(a);
         }},
    };
    for (const Case& c : cases) {
        Placement* const a = create();
        Placement* const b = create();
        Placement* const d = create();
        a->set_local_position({1, 0, 0});
        EXPECT_FALSE(c.link(a, b, d)) << c.cycle;
        // Whatever was linked before the refusal still resolves.
        for (Placement* placement : {a, b, d}) {
            placement->get_world_position();
            placement->get_local_rotation();
        }
        destroy_object(a);
        destroy_object(b);
        destroy_object(d);
    }
    // Through properties, with an alias handle.
    Placement* const parent = create();
    Placement* const child = create(parent);
    ASSERT_TRUE(alias_server.set_alias(0x00100020, child->get_handle()));
    Property link;
    link.set_u32(placement_property::parent, 0x00100020);
    EXPECT_FALSE(parent->set_property(placement_property::parent, link));
    EXPECT_EQ(parent->get_parent(), nullptr);
}

TEST_F(PlacementTest, DestroyingAParentKeepsTheChildrenWhereTheyAre) {
    std::mt19937 random(8);
    Placement* const grandparent = create();
    Placement* const parent = create(grandparent);
    Placement* const children[3] = {create(parent), create(parent), create(parent)};
    Placement* const copy = create();
    ASSERT_TRUE(copy->set_copy_source(parent));
    grandparent->set_world_rotation(random_rotation(random));
    parent->set_local_position(random_position(random));
    parent->set_local_rotation(random_rotation(random));
    Vector3 positions[3];
    Quaternion rotations[3];
    for (int index = 0; index < 3; ++index) {
        children[index]->set_local_position(random_position(random));
        children[index]->set_local_rotation(random_rotation(random));
        positions[index] = children[index]->get_world_position();
        rotations[index] = children[index]->get_world_rotation();
    }
    destroy_object(parent);
    for (int index = 0; index < 3; ++index) {
        EXPECT_EQ(children[index]->get_parent(), nullptr);
        EXPECT_EQ(children[index]->get_authority(), 0);
        EXPECT_VECTOR_NEAR(children[index]->get_world_position(), positions[index], 1e-5);
        EXPECT_QUATERNION_NEAR(children[index]->get_world_rotation(), rotations[index], 1e-6);
    }
    EXPECT_EQ(copy->get_copy_source(), nullptr);
    EXPECT_VECTOR_NEAR(copy->get_local_position(), Vector3(0, 0, 0), 0);
    // The destroyed placement left its own parent's ring.
    destroy_object(grandparent);
    EXPECT_VECTOR_NEAR(children[0]->get_world_position(), positions[0], 1e-5);
}

TEST_F(PlacementTest, PropertiesAnswerByTypedIdAndBareKey) {
    Placement* const parent = create();
    Placement* const placement = create(parent);
    placement->set_local_position({1, 2, 3});
    parent->set_world_position({10, 0, 0});
    struct Case {
        uint32_t id;
        uint32_t type_word;
        uint32_t word;
    };
    const Case cases[] = {
        {placement_property::parent, 0x01000000, parent->get_handle()},
        {9, 0x01000000, parent->get_handle()},
        {53, 0x03000000, placement->get_change_count()},
        {placement_property::copy_source, 0x01000000, 0},
        {59, 0x03000000, 2},
        {60, 0x03000000, 0},
        {base_property::handle, 0x03000000, placement->get_handle()},
    };
    for (const Case& c : cases) {
        Property out;
        ASSERT_TRUE(placement->get_property(c.id, out)) << std::hex << c.id;
        EXPECT_EQ(out.id, c.type_word) << std::hex << c.id;
        EXPECT_EQ(out.get_u32(), c.word) << std::hex << c.id;
    }
    for (uint32_t id : {11u, placement_property::position, placement_property::world_position, 54u}) {
        Property out;
        ASSERT_TRUE(placement->get_property(id, out));
        EXPECT_EQ(out.id, 0x30000000u);
        EXPECT_FLOAT_EQ(out.get_float(0), 11);
    }
    Property out;
    EXPECT_TRUE(placement->get_property(57, out));
    EXPECT_EQ(out.id, 0x41000000u);
    EXPECT_FLOAT_EQ(out.get_float(3), 1);
    // Refused: without a track, the wrong type byte, and read-only keys.
    EXPECT_FALSE(placement->get_property(61, out));
    EXPECT_FALSE(placement->get_property(placement_property::time_offset, out));
    EXPECT_FALSE(placement->get_property(0x3000000C, out));
    Property value;
    value.set_u32(placement_property::change_count, 7);
    EXPECT_FALSE(placement->set_property(placement_property::change_count, value));
    value.set_u32(placement_property::parent, parent->get_handle());
    EXPECT_FALSE(placement->set_property(9, value));
    value.set_u32(placement_property::maximum_extrapolation, 10);
    EXPECT_FALSE(placement->set_property(placement_property::maximum_extrapolation, value));
    // Detaching keeps the world pose only for world-given values: this one
    // has its local position given, so it keeps that.
    value.set_u32(placement_property::parent, 0);
    EXPECT_TRUE(placement->set_property(placement_property::parent, value));
    EXPECT_VECTOR_NEAR(placement->get_world_position(), Vector3(1, 2, 3), 0);
    EXPECT_EQ(get_placement_object(watchers.create()->get_handle()), nullptr);
    EXPECT_EQ(get_placement_object(0), nullptr);
}

TEST_F(PlacementTest, RegisteringCreatesTheRootAtAliasSlotEleven) {
    Placement* const root = get_root_placement();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(alias_server.get_target(root_placement_alias), root->get_handle());
    EXPECT_EQ(placement_server.get_live_count(), 1u);

    placement_server.unregister_server();
    placement_server.start();
    EXPECT_EQ(placement_server.get_live_count(), 0u);
    placement_server.unregister_server();

    // A slot that still names a live object keeps it.
    test::Watcher* const watcher = watchers.create();
    alias_server.clear_alias(root_placement_alias);
    ASSERT_TRUE(alias_server.set_alias(root_placement_alias, watcher->get_handle()));
    placement_server.register_server();
    EXPECT_EQ(alias_server.get_target(root_placement_alias), watcher->get_handle());
    EXPECT_EQ(get_root_placement(), nullptr);
}

TEST_F(PlacementTest, ChainsAsLongAsThePoolResolveAndNotify) {
    // Parent chain and copy chain over every free slot: resolving keeps no
    // machine stack per level. Built from the far end, so that each link's
    // cycle check has nothing above to walk.
    for (const bool copies : {false, true}) {
        Placement* const far_end = create();
        Placement* top = far_end;
        const uint32_t length = placement_capacity - placement_server.get_live_count();
        for (uint32_t index = 0; index < length; ++index) {
            Placement* const next = create();
            if (copies) {
                ASSERT_TRUE(top->set_copy_mode(copy_mode::world_to_world));
                ASSERT_TRUE(top->set_copy_source(next));
            } else {
                top->set_local_position({1, 0, 0});
                ASSERT_TRUE(top->set_parent(next));
            }
            top = next;
        }
        const float expected = copies ? 0.0f : static_cast<float>(length);
        EXPECT_FLOAT_EQ(far_end->get_world_position().x, expected);
        top->set_world_position({0, 5, 0});
        EXPECT_FLOAT_EQ(far_end->get_world_position().y, 5);
        EXPECT_FALSE(copies ? top->set_copy_source(far_end) : top->set_parent(far_end));
        while (placement_server.get_live_count() > 1) {
            destroy_object(placement_server.get_live_list().get_tail());
        }
    }
}

}  // namespace
}  // namespace zolt::core

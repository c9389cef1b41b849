// A skinned mesh bound to a skeleton and drawn through the render layers on
// llvmpipe: the mesh part chooses its skinning variant by setup pairs, each
// bone batch uploads its stretch of the palette from the skeleton's pose
// buffer, and the strip lands on the pixels the test's own skinning
// predicts. Binding refuses skeletons of another bone count; a destroyed
// skeleton leaves the bind pose, never another skeleton's.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>

#include "zolt/core/placement/placement_server.h"
#include "zolt/core/resources/resource_loader_test_support.h"
#include "zolt/renderer/animation/skeleton_server.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/batcher_test_support.h"
#include "zolt/renderer/batcher/render_layer.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/mesh/mesh_queue.h"
#include "zolt/renderer/mesh/mesh_server.h"
#include "zolt/renderer/mesh/skinned_mesh_fixtures.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {
namespace {

using test_support::PointD;
using test_support::StripPose;

constexpr uint32_t strip = 1;
constexpr uint32_t rigid_strip = 2;
constexpr uint32_t strip_skeleton_id = 0x5A100009;
constexpr uint32_t one_bone_skeleton_id = 0x5A10000A;
constexpr uint8_t cleared[4] = {0, 0, 0, 255};

std::vector<uint8_t> build_one_bone_skeleton() {
    std::vector<animation::SkeletonChannelDescription> bones(1);
    bones[0].key = 10;
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(animation::build_skeleton_resource(bones, {}, {geometry::Matrix4{}}, &bytes, &error)) << error;
    return bytes;
}

bool inside_triangle(const PointD& p, const PointD& a, const PointD& b, const PointD& c) {
    auto side = [](const PointD& o, const PointD& u, const PointD& v) {
        return (u.x - o.x) * (v.y - o.y) - (u.y - o.y) * (v.x - o.x);
    };
    const double d1 = side(a, b, p), d2 = side(b, c, p), d3 = side(c, a, p);
    return (d1 >= 0 && d2 >= 0 && d3 >= 0) || (d1 <= 0 && d2 <= 0 && d3 <= 0);
}

class SkinnedMeshWorld : public test_support::BatcherWorld {
protected:
    void SetUp() override {
        test_support::add_mesh(extra_resources_, strip,
                               test_support::lay_out_mesh(test_support::make_skinned_strip_build(
                                   test_support::skinnable_entry)));
        // The same strip with no layout word: its parts ask for the rigid
        // setup of the pair.
        MeshBuild rigid = test_support::make_skinned_strip_build(test_support::skinnable_entry);
        rigid.layout_word = 0;
        test_support::add_mesh(extra_resources_, rigid_strip, test_support::lay_out_mesh(rigid));
        extra_resources_.push_back(test::make_resource(strip_skeleton_id, test_support::build_strip_skeleton(), 2));
        extra_resources_.push_back(test::make_resource(one_bone_skeleton_id, build_one_bone_skeleton(), 2));
        BatcherWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        core::placement_server.register_server();
        animation::skeleton_server.register_server();
        mesh_server.register_server();
        set_active_render_layers(1u << depth_layer);
        context_.set_object_transform({}, {});
    }
    void TearDown() override {
        if (mesh_server.is_registered()) {
            mesh_server.unregister_server();
        }
        if (animation::skeleton_server.is_registered()) {
            animation::skeleton_server.unregister_server();
        }
        if (core::placement_server.is_registered()) {
            core::placement_server.unregister_server();
        }
        BatcherWorld::TearDown();
    }

    static bool bind(Mesh* mesh, core::ObjectHandle skeleton) {
        core::Property property;
        property.set_u32(mesh_property::skeleton, skeleton);
        return mesh->set_property(mesh_property::skeleton, property);
    }

    static void pose(animation::Skeleton* skeleton, const StripPose& pose) {
        for (uint32_t bone = 0; bone < 3; ++bone) {
            core::Placement* const placement =
                core::placement_server.get_typed_object(skeleton->get_channel(bone)->placement);
            const float half = static_cast<float>(pose.turns[bone] / 2);
            placement->set_local_rotation({0, 0, std::sin(half), std::cos(half)});
            if (bone == 0) {
                placement->set_local_position(
                    {static_cast<float>(pose.root_x), static_cast<float>(pose.root_y), 0});
            }
        }
    }

    // One frame: the servers' passes, then the mesh queued and drawn by the
    // depth layer.
    std::vector<uint8_t> draw(const Mesh* mesh) {
        animation::skeleton_server.update();
        mesh_server.update();
        material_server.process_pending();
        clear_to(0xFF000000);
        MeshRequestTemplate request;
        request.info.visibility_context = &context_;
        queue_mesh_render_requests(request, mesh->get_render(), 0);
        RenderLayer* const depth = get_render_layer(depth_layer);
        depth->begin_frame(depth_layer);
        depth->render_request_pass(depth_layer, true);
        return read_colors();
    }

    // Pixels whose centre and four points 0.75 px around it agree on one
    // skinned segment, or on none, must show that segment's colour or the
    // cleared one; the strip's edges are left to the rasteriser. Answers
    // how many were checked; the first mismatch goes into first_mismatch.
    static uint32_t compare(const std::vector<uint8_t>& colours, const std::array<PointD, 12>& skinned,
                            uint32_t* mismatches, std::string* first_mismatch) {
        uint32_t checked = 0;
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                const uint8_t* expected = cleared;
                bool edge = false;
                for (uint32_t segment = 0; segment < test_support::strip_segment_count && !edge; ++segment) {
                    int hits = 0;
                    for (const auto& [dx, dy] :
                         {std::pair{0.0, 0.0}, {0.75, 0.0}, {-0.75, 0.0}, {0.0, 0.75}, {0.0, -0.75}}) {
                        const PointD p{(x + 0.5 + dx) / width * 2 - 1, (y + 0.5 + dy) / height * 2 - 1};
                        const PointD* v = &skinned[4 * segment];
                        hits += inside_triangle(p, v[0], v[1], v[2]) || inside_triangle(p, v[0], v[2], v[3]) ? 1 : 0;
                    }
                    if (hits == 5) {
                        expected = test_support::strip_colours[segment];
                    } else if (hits != 0) {
                        edge = true;
                    }
                }
                if (edge) {
                    continue;
                }
                ++checked;
                if (std::memcmp(&colours[4 * (y * width + x)], expected, 4) != 0 && (*mismatches)++ == 0) {
                    *first_mismatch = "pixel " + std::to_string(x) + "," + std::to_string(y);
                }
            }
        }
        return checked;
    }

    void expect_strip(const std::vector<uint8_t>& colours, const StripPose& pose) {
        uint32_t mismatches = 0;
        std::string first;
        EXPECT_GT(compare(colours, test_support::skin_strip(pose), &mismatches, &first), width * height / 2);
        EXPECT_EQ(mismatches, 0u) << first;
    }

    static const uint8_t* pixel_at(const std::vector<uint8_t>& colours, double x, double y) {
        const auto px = static_cast<uint32_t>((x + 1) / 2 * width);
        const auto py = static_cast<uint32_t>((y + 1) / 2 * height);
        return &colours[4 * (py * width + px)];
    }

    VisibilityContext context_;
};

TEST_F(SkinnedMeshWorld, ThePosedStripLandsWhereTheTestsOwnSkinningPutsIt) {
    Mesh* const mesh = mesh_server.acquire_mesh(strip);
    animation::Skeleton* const skeleton = animation::skeleton_server.create_skeleton(strip_skeleton_id);
    ASSERT_TRUE(bind(mesh, skeleton->get_handle()));
    EXPECT_TRUE(mesh->has_private_data());

    // At rest the bind matrices undo the bones: the strip stands as modelled.
    expect_strip(draw(mesh), StripPose{});
    EXPECT_EQ(opengl::gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The root moved right, the middle bone turned a quarter to the left and
    // the top one back by an eighth.
    StripPose bent;
    bent.root_x = 0.1;
    bent.turns[1] = M_PI / 2;
    bent.turns[2] = -M_PI / 4;
    pose(skeleton, bent);
    const std::vector<uint8_t> colours = draw(mesh);
    expect_strip(colours, bent);
    // Where the middle segment now lies there was nothing before, and the
    // top segment left its modelled place.
    EXPECT_EQ(std::memcmp(pixel_at(colours, -0.2, -0.25), test_support::strip_colours[1], 4), 0);
    EXPECT_EQ(std::memcmp(pixel_at(colours, 0.0, 0.5), cleared, 4), 0);
}

TEST_F(SkinnedMeshWorld, WithoutItsLayoutWordAPartDrawsTheRigidSetupOfThePair) {
    StripPose bent;
    bent.turns[1] = M_PI / 2;
    for (const uint32_t number : {strip, rigid_strip}) {
        Mesh* const mesh = mesh_server.acquire_mesh(number);
        animation::Skeleton* const skeleton = animation::skeleton_server.create_skeleton(strip_skeleton_id);
        ASSERT_TRUE(bind(mesh, skeleton->get_handle()));
        pose(skeleton, bent);
        const std::vector<uint8_t> colours = draw(mesh);
        // The rigid program ignores the palette: the strip stays upright.
        expect_strip(colours, number == strip ? bent : StripPose{});
        core::destroy_object(skeleton);
        mesh_server.release_mesh(mesh);
        mesh_server.release_dead_objects(true);
    }
}

TEST_F(SkinnedMeshWorld, OnlyASkeletonOfTheMeshsBoneCountBindsAndAGoneOneLeavesTheBindPose) {
    Mesh* const mesh = mesh_server.acquire_mesh(strip);
    animation::Skeleton* const one_bone = animation::skeleton_server.create_skeleton(one_bone_skeleton_id);
    animation::Skeleton* const skeleton = animation::skeleton_server.create_skeleton(strip_skeleton_id);
    const core::ObjectHandle handle = skeleton->get_handle();
    EXPECT_FALSE(bind(mesh, one_bone->get_handle()));
    EXPECT_FALSE(bind(mesh, mesh->get_handle()));
    EXPECT_FALSE(bind(mesh, handle + 1));
    EXPECT_EQ(mesh->get_skeleton(), 0u);
    ASSERT_TRUE(bind(mesh, handle));
    core::Property property;
    ASSERT_TRUE(mesh->get_property(mesh_property::skeleton, property));
    EXPECT_EQ(property.get_u32(), handle);

    StripPose bent;
    bent.turns[1] = M_PI / 2;
    pose(skeleton, bent);
    expect_strip(draw(mesh), bent);

    // Its slot goes to a new skeleton in another pose: the mesh must not
    // take that one's pose for its own.
    core::destroy_object(skeleton);
    animation::skeleton_server.release_dead_objects(true);
    animation::Skeleton* const other = animation::skeleton_server.create_skeleton(strip_skeleton_id);
    StripPose other_pose;
    other_pose.turns[0] = -M_PI / 2;
    pose(other, other_pose);
    expect_strip(draw(mesh), StripPose{});
    // Unbinding leaves the bind pose too.
    ASSERT_TRUE(bind(mesh, other->get_handle()));
    expect_strip(draw(mesh), other_pose);
    ASSERT_TRUE(bind(mesh, 0));
    expect_strip(draw(mesh), StripPose{});
}

}  // namespace
}  // namespace zolt::renderer

// Visuals over real packs, rooms and GL: the property refusals, the pending
// pass following placements into sectors, the global list, queueing per
// view and into the layers, a shared mesh outliving one of its visuals, and
// a saved and loaded world.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "support/world_round_trip.h"
#include "zolt/navigation/sector_walk.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/render_layer.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/visuals/visual_queue.h"
#include "zolt/renderer/visuals/visual_world.h"

namespace zolt::renderer {
namespace {

using test_support::Pixel;
namespace p = visual_property;

class VisualServerTest : public test_support::VisualWorld {
protected:
    // A view from the eye along the yaw, walked and queued; the items.
    uint32_t queue_view(const geometry::Vector3& eye, float yaw, uint32_t view_mask = 0xFFFFFFFFu) {
        context_ = VisibilityContext{};
        context_.items = items_;
        context_.item_capacity = item_capacity;
        test::set_square_view(context_, 64, test::LevelWorld::find_render_at(eye), eye, yaw);
        context_.view_mask = view_mask;
        servers::traverse_visible_sectors(context_);
        queue_visible_sector_objects(context_);
        return context_.item_count;
    }
    bool is_queued(const Visual* visual) const {
        for (uint32_t index = 0; index < context_.item_count; ++index) {
            if (context_.items[index].object == &visual_server.get_render(*visual)) {
                return true;
            }
        }
        return false;
    }

    static constexpr uint32_t item_capacity = 64;
    RenderItem items_[item_capacity];
    VisibilityContext context_;
};

TEST_F(VisualServerTest, PropertySetsRefuseWhatTheVisualCannotHold) {
    Visual* const visual = make_visual({5, 5, 2});
    const uint32_t placement = get_word(visual, p::placement);
    struct Row {
        const char* what;
        uint32_t id;
        bool is_float;
        float value;
        bool accepted;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Row rows[] = {
        {"global 2", p::global, false, 2, false},
        {"global 1", p::global, false, 1, true},
        {"global 0", p::global, false, 0, true},
        {"uniform scale -1", p::uniform_scale, true, -1, false},
        {"uniform scale NaN", p::uniform_scale, true, nan, false},
        {"uniform scale 0", p::uniform_scale, true, 0, true},
        {"uniform scale 2", p::uniform_scale, true, 2, true},
        {"fixed sector not a sector", p::fixed_sector, false, static_cast<float>(placement), false},
        {"fixed sector none", p::fixed_sector, false, 0, true},
        {"mesh not a mesh", p::mesh, false, static_cast<float>(placement), false},
        {"material parameter 1 on a plain mesh", p::material_parameter_1, true, 0.5f, false},
        {"material parameter 2", p::material_parameter_2, true, 7, true},
        {"fake-shadow strength without a block", p::fake_shadow_strength, true, 0.5f, false},
        {"fake-shadow priority without a block", p::fake_shadow_priority, false, 1, false},
        {"distance bias NaN", p::distance_bias, true, nan, false},
        {"distance bias", p::distance_bias, true, 3, true},
    };
    for (const Row& row : rows) {
        const bool accepted = row.is_float ? set_float(visual, row.id, row.value)
                                           : set_word(visual, row.id, static_cast<uint32_t>(row.value));
        EXPECT_EQ(accepted, row.accepted) << row.what;
    }
    core::Property scale;
    ASSERT_TRUE(visual->get_property(0x54, scale));
    EXPECT_EQ(scale.get_float(), 2.0f);
    EXPECT_EQ(get_word(visual, p::global), 0u);
    // Defaults, asked by bare number.
    EXPECT_EQ(get_word(visual, 0x5B), 1u);
    EXPECT_EQ(get_word(visual, 0xBE), 0xFFFFFFFFu);
    EXPECT_EQ(get_word(visual, 0x13), ~0x2u);
    EXPECT_EQ(get_word(visual, 0xC8), 0u);
    // A sector is a fixed sector; the box grows with the scale.
    EXPECT_TRUE(set_word(visual, p::fixed_sector, rooms_[1]->get_handle()));
    core::Property maximum;
    ASSERT_TRUE(visual->get_property(p::box_maximum, maximum));
    EXPECT_EQ(maximum.get_float(0), 1.0f);
}

TEST_F(VisualServerTest, ThePendingPassFollowsThePlacementIntoItsSectorsWhileTheCountdownLasts) {
    Visual* const visual = make_visual({5, 5, 2});
    core::Placement* const placement = core::placement_server.get_typed_object(get_word(visual, p::placement));
    run_server_passes();
    EXPECT_EQ(get_word(visual, p::home_sector), rooms_[0]->get_handle());
    const VisualRender& record = visual_server.get_render(*visual);
    EXPECT_EQ(servers::sector_server.get_render_record(*rooms_[0]).first_visuals[0], &record);
    EXPECT_EQ(record.home_sector, &servers::sector_server.get_render_record(*rooms_[0]));
    EXPECT_FALSE(visual_server.is_pending(*visual));

    // Countdown 0: a move is not seen without a script change.
    placement->set_local_position({15, 5, 2});
    run_server_passes();
    EXPECT_EQ(record.position.x, 5.0f);

    // Countdown -1: followed every frame, into the other room.
    ASSERT_TRUE(set_word(visual, p::update_countdown, 0xFFFFFFFFu));
    run_server_passes();
    EXPECT_EQ(record.position.x, 15.0f);
    EXPECT_EQ(get_word(visual, p::home_sector), rooms_[1]->get_handle());
    EXPECT_EQ(servers::sector_server.get_render_record(*rooms_[0]).first_visuals[0], nullptr);
    EXPECT_EQ(servers::sector_server.get_render_record(*rooms_[1]).first_visuals[0], &record);
    placement->set_local_position({14, 5, 2});
    run_server_passes();
    EXPECT_EQ(record.position.x, 14.0f);
    EXPECT_TRUE(visual_server.is_pending(*visual));

    // Countdown 2 lasts two more frames.
    ASSERT_TRUE(set_word(visual, p::update_countdown, 2));
    run_server_passes();
    run_server_passes();
    EXPECT_FALSE(visual_server.is_pending(*visual));

    // A box reaching across the door wall finds the overlap sector; a
    // fixed sector wins over the position.
    placement->set_local_position({10.2f, 5, 2});
    ASSERT_TRUE(set_word(visual, p::track_overlap_sector, 1));
    run_server_passes();
    EXPECT_EQ(get_word(visual, p::home_sector), rooms_[1]->get_handle());
    EXPECT_EQ(get_word(visual, p::overlap_sector), rooms_[0]->get_handle());
    EXPECT_EQ(servers::sector_server.get_render_record(*rooms_[0]).first_visuals[1], &record);
    ASSERT_TRUE(set_word(visual, p::fixed_sector, rooms_[0]->get_handle()));
    run_server_passes();
    EXPECT_EQ(get_word(visual, p::home_sector), rooms_[0]->get_handle());

    // A destroyed sector lets its visuals go.
    servers::sector_server.destroy_object_internal(rooms_[0]);
    run_server_passes();
    EXPECT_EQ(get_word(visual, p::fixed_sector), 0u);
    EXPECT_EQ(get_word(visual, p::home_sector), rooms_[1]->get_handle());
}

TEST_F(VisualServerTest, ADestroyedSectorLetsEveryVisualOfItsRingsGoAndTheRestFindNewHomes) {
    // Three in room 0's home ring, one of them fixed there from room 1, and
    // one reaching into it from room 1.
    Visual* const in_room[] = {make_visual({3, 5, 2}), make_visual({5, 5, 2}), make_visual({7, 5, 2})};
    Visual* const fixed = make_visual({15, 5, 2});
    Visual* const reaching = make_visual({10.2f, 5, 2});
    ASSERT_TRUE(set_word(fixed, p::fixed_sector, rooms_[0]->get_handle()));
    ASSERT_TRUE(set_word(reaching, p::track_overlap_sector, 1));
    run_server_passes();
    const servers::SectorRender& room = servers::sector_server.get_render_record(*rooms_[0]);
    uint32_t listed = 0;
    for (const VisualRender* record = room.first_visuals[0]; record != nullptr && listed < 10;
         record = record->next_in_ring[0]) {
        ++listed;
    }
    ASSERT_EQ(listed, 4u);
    ASSERT_EQ(get_word(reaching, p::overlap_sector), rooms_[0]->get_handle());

    servers::sector_server.destroy_object_internal(rooms_[0]);
    run_server_passes();
    for (const Visual* visual : in_room) {
        EXPECT_EQ(get_word(visual, p::home_sector), 0u);
    }
    EXPECT_EQ(get_word(fixed, p::fixed_sector), 0u);
    EXPECT_EQ(get_word(fixed, p::home_sector), rooms_[1]->get_handle());
    EXPECT_EQ(get_word(reaching, p::home_sector), rooms_[1]->get_handle());
    EXPECT_EQ(get_word(reaching, p::overlap_sector), 0u);
    // Room 1's ring holds exactly the two that live there now.
    listed = 0;
    for (const VisualRender* record = servers::sector_server.get_render_record(*rooms_[1]).first_visuals[0];
         record != nullptr && listed < 10; record = record->next_in_ring[0]) {
        ++listed;
    }
    EXPECT_EQ(listed, 2u);
}

TEST_F(VisualServerTest, AViewQueuesTheVisualsItSeesAndEveryGlobalOne) {
    Visual* const ahead = make_visual({5, 6, 2});
    Visual* const behind = make_visual({5, 2, 2});
    Visual* const never_culled = make_visual({5, 1, 2});
    Visual* const hidden = make_visual({6, 6, 2});
    Visual* const masked = make_visual({4, 6, 2});
    Visual* const global = make_visual({50, 50, 50});
    ASSERT_TRUE(set_word(never_culled, p::never_culled, 1));
    ASSERT_TRUE(set_word(hidden, p::visible, 0));
    ASSERT_TRUE(set_word(masked, p::view_mask, 0x2));
    ASSERT_TRUE(set_word(global, p::global, 1));
    Visual* const meshless = visual_server.create_visual(0xFFFFFFFFu);
    run_server_passes();
    EXPECT_EQ(get_word(global, p::home_sector), 0u);
    EXPECT_EQ(visual_server.get_first_global_render(), &visual_server.get_render(*global));

    // From y 4 along +y: the visual behind the eye is culled unless it may
    // never be.
    EXPECT_EQ(queue_view({5, 4, 2}, 90, 0x1), 3u);
    EXPECT_TRUE(is_queued(ahead));
    EXPECT_FALSE(is_queued(behind));
    EXPECT_TRUE(is_queued(never_culled));
    EXPECT_FALSE(is_queued(hidden));
    EXPECT_FALSE(is_queued(masked));
    EXPECT_TRUE(is_queued(global));
    EXPECT_FALSE(is_queued(meshless));
    EXPECT_EQ(queue_view({5, 4, 2}, 90, 0x3), 4u);
    EXPECT_TRUE(is_queued(masked));

    // A global visual is drawn only where its view mask shares a bit, and
    // global 0 takes it off the list.
    ASSERT_TRUE(set_word(global, p::view_mask, 0x4));
    run_server_passes();
    EXPECT_EQ(queue_view({5, 4, 2}, 90, 0x1), 2u);
    ASSERT_TRUE(set_word(global, p::global, 0));
    run_server_passes();
    EXPECT_EQ(visual_server.get_first_global_render(), nullptr);

    // The light selection comes from the light code's selector.
    queue_view({5, 4, 2}, 90, 0x1);
    visual_light_selector = [](VisibilityContext&, const VisualRender&) -> uint64_t { return 0x0501; };
    select_visual_lights(context_, context_.items[0]);
    EXPECT_EQ(context_.items[0].light_selection, 0x0501u);
    visual_light_selector = nullptr;
    select_visual_lights(context_, context_.items[0]);
    EXPECT_EQ(context_.items[0].light_selection, 0u);

    // A full item array stops quietly.
    context_ = VisibilityContext{};
    context_.items = items_;
    context_.item_capacity = 1;
    test::set_square_view(context_, 64, test::LevelWorld::find_render_at({5, 4, 2}), {5, 4, 2}, 90);
    context_.view_mask = 0xFFFFFFFFu;
    servers::traverse_visible_sectors(context_);
    queue_visible_sector_objects(context_);
    EXPECT_EQ(context_.item_count, 1u);
}

// The requests a queued visual hands to the layers: one per sub-part, each
// carrying the visual's transform and scale. Drained after counting.
class VisualRequests : public VisualServerTest {
protected:
    void SetUp() override {
        VisualServerTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        set_active_render_layers(1u << depth_layer);
    }
    uint32_t count_requests(const geometry::Vector3& eye, float yaw) {
        queue_view(eye, yaw);
        const uint32_t before = get_free_render_request_count();
        context_.queue_requests();
        const uint32_t queued = before - get_free_render_request_count();
        RenderLayer* const depth = get_render_layer(depth_layer);
        depth->begin_frame(depth_layer);
        depth->render_request_pass(depth_layer, true);
        return queued;
    }
};

TEST_F(VisualRequests, AQueuedVisualCarriesItsTransformAndScaleIntoItsRequests) {
    const geometry::Vector3 position{5, 7, 2};
    const float half_angle = 0.35f;
    const geometry::Quaternion rotation{std::sin(half_angle) * 0.6f, 0, std::sin(half_angle) * 0.8f,
                                        std::cos(half_angle)};
    Visual* const visual = make_visual(position);
    core::placement_server.get_typed_object(get_word(visual, p::placement))->set_local_rotation(rotation);
    ASSERT_TRUE(set_float(visual, p::uniform_scale, 1.5f));
    run_server_passes();

    // The world sphere: the mesh's, scaled, about the placement.
    const VisualRender& record = visual_server.get_render(*visual);
    EXPECT_FLOAT_EQ(record.world_sphere.x, 5);
    EXPECT_FLOAT_EQ(record.world_sphere.w, 0.5f * std::sqrt(3.0f) * 1.5f);
    EXPECT_FLOAT_EQ(record.box_maximum.x, 0.75f);
    core::Property centre;
    ASSERT_TRUE(visual->get_property(p::world_centre, centre));
    EXPECT_FLOAT_EQ(centre.get_float(1), 7);

    EXPECT_EQ(count_requests({5, 4, 2}, 90), 1u);
    // The context holds the visual's transform: its eye in object space is
    // the world eye taken back through the rotation.
    EXPECT_FLOAT_EQ(context_.object_position.x, 5);
    const geometry::Vector3 expected_eye = geometry::rotate(
        geometry::Quaternion{-rotation.x, -rotation.y, -rotation.z, rotation.w}, geometry::Vector3{0, -3, 0});
    EXPECT_NEAR(context_.object_eye.x, expected_eye.x, 1e-4f);
    EXPECT_NEAR(context_.object_eye.y, expected_eye.y, 1e-4f);
    EXPECT_NEAR(context_.object_eye.z, expected_eye.z, 1e-4f);

    // Looking away, its sector's clip volume leaves it out.
    EXPECT_EQ(count_requests({5, 4, 2}, -90), 0u);
}

TEST_F(VisualRequests, DestroyingOneOfTwoVisualsOfASharedMeshKeepsTheOtherQueued) {
    Visual* const first = make_visual({5, 6, 2});
    Visual* const second = make_visual({5, 7, 2});
    ASSERT_EQ(first->get_mesh(), second->get_mesh());
    const core::ObjectHandle mesh = first->get_mesh();
    run_server_passes();
    EXPECT_EQ(count_requests({5, 4, 2}, 90), 2u);

    visual_server.destroy_object_internal(first);
    run_server_passes();
    visual_server.release_dead_objects(true);
    mesh_server.release_dead_objects(true);
    ASSERT_NE(mesh_server.find_mesh(mesh), nullptr);
    EXPECT_EQ(count_requests({5, 4, 2}, 90), 1u);
    EXPECT_TRUE(is_queued(second));

    // The last visual takes the mesh with it.
    visual_server.destroy_object_internal(second);
    run_server_passes();
    visual_server.release_dead_objects(true);
    mesh_server.release_dead_objects(true);
    EXPECT_EQ(mesh_server.find_mesh(mesh), nullptr);
    EXPECT_EQ(count_requests({5, 4, 2}, 90), 0u);
}

TEST_F(VisualServerTest, VisualsSurviveASavedAndLoadedWorld) {
    Visual* const standing = make_visual({5, 6, 2});
    Visual* const following = make_visual({15, 5, 2});
    Visual* const global = make_visual({0, 5, 0});
    ASSERT_TRUE(set_word(following, p::update_countdown, 0xFFFFFFFFu));
    ASSERT_TRUE(set_word(global, p::global, 1));
    ASSERT_TRUE(set_float(standing, p::uniform_scale, 0.5f));
    ASSERT_TRUE(set_word(standing, p::light_mask, 0x30));
    run_server_passes();
    const core::ObjectHandle handles[] = {standing->get_handle(), following->get_handle(), global->get_handle()};
    const core::ObjectHandle mesh = standing->get_mesh();

    ASSERT_TRUE(test::save_and_load_world(3));
    run_server_passes();

    Visual* const loaded[] = {visual_server.find_visual(handles[0]), visual_server.find_visual(handles[1]),
                              visual_server.find_visual(handles[2])};
    for (const Visual* visual : loaded) {
        ASSERT_NE(visual, nullptr);
        EXPECT_EQ(visual->get_mesh(), mesh);
    }
    EXPECT_EQ(mesh_server.find_mesh(mesh)->get_reference_count(), 3u);
    EXPECT_EQ(get_word(loaded[0], p::light_mask), 0x30u);
    EXPECT_EQ(visual_server.get_render(*loaded[0]).uniform_scale, 0.5f);
    EXPECT_EQ(get_word(loaded[0], p::home_sector), get_word(loaded[0], p::home_sector));
    EXPECT_NE(get_word(loaded[0], p::home_sector), 0u);
    EXPECT_NE(get_word(loaded[1], p::home_sector), 0u);
    EXPECT_NE(get_word(loaded[0], p::home_sector), get_word(loaded[1], p::home_sector));
    EXPECT_FALSE(visual_server.is_pending(*loaded[0]));
    EXPECT_TRUE(visual_server.is_pending(*loaded[1]));
    EXPECT_TRUE(visual_server.is_on_global_list(*loaded[2]));
    EXPECT_EQ(visual_server.get_first_global_render(), &visual_server.get_render(*loaded[2]));
    EXPECT_EQ(queue_view({5, 4, 2}, 90), 2u);
    EXPECT_TRUE(is_queued(loaded[0]));
}

}  // namespace
}  // namespace zolt::renderer

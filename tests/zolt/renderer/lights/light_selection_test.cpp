#include "zolt/renderer/lights/light_selection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "zolt/navigation/area_world.h"
#include "zolt/renderer/lights/light_instance.h"
#include "zolt/renderer/lights/light_server.h"
#include "zolt/renderer/view/view_hooks.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {
namespace {

namespace p = light_property;

core::Property make_word(uint32_t id, uint32_t value) {
    core::Property property;
    property.set_u32(id, value);
    return property;
}

core::Property make_float(uint32_t id, float value) {
    core::Property property;
    property.set_float(id, value);
    return property;
}

std::vector<uint32_t> indices_of(uint64_t selection) {
    std::vector<uint32_t> indices;
    for (uint32_t index = 0; index < (selection & light_selection_count_mask); ++index) {
        indices.push_back(static_cast<uint32_t>(selection >> (light_selection_first_index_bit + 8 * index) & 0xFF));
    }
    return indices;
}

// The two rooms, lights placed in them through instances, and a view that
// sees every light unless told otherwise.
class LightSelection : public test::AreaWorld {
protected:
    void SetUp() override {
        AreaWorld::SetUp();
        light_server.register_server();
        light_instance_server.register_server();
        servers::loadable_area_server.create_area(test::two_rooms_area);
        left_ = create_sector(test::two_rooms_area, 0);
        right_ = create_sector(test::two_rooms_area, 1);
        run_frame_updates();
        context_ = std::make_unique<VisibilityContext>();
    }

    uint32_t add_light(LightType type, geometry::Vector3 position, float range, servers::Sector* sector) {
        Light* const light = light_server.create_light();
        EXPECT_TRUE(light->set_property(p::type, make_word(p::type, static_cast<uint32_t>(type))));
        core::Property at;
        const float lanes[3] = {position.x, position.y, position.z};
        at.set_floats(p::position, lanes, 3);
        EXPECT_TRUE(light->set_property(p::position, at));
        EXPECT_TRUE(light->set_property(p::range, make_float(p::range, range)));
        EXPECT_TRUE(light->set_property(p::on, make_word(p::on, 1)));
        LightInstance* const instance = light_instance_server.create_instance(light->get_handle());
        EXPECT_TRUE(instance->set_property(light_instance_property::sector,
                                           make_word(light_instance_property::sector, sector->get_handle())));
        const uint32_t index = light_server.get_slot_index(*light);
        context_->add_visible_light(index);
        lights_.push_back(light);
        return index;
    }

    ObjectLightQuery query_at(geometry::Vector3 centre, float radius) {
        light_server.update();
        light_instance_server.update();
        ObjectLightQuery query;
        query.home_sector = &servers::sector_server.get_render_record(*left_);
        query.centre = centre;
        query.radius = radius;
        return query;
    }

    servers::Sector* left_ = nullptr;
    servers::Sector* right_ = nullptr;
    std::unique_ptr<VisibilityContext> context_;
    std::vector<Light*> lights_;
};

TEST_F(LightSelection, AnObjectGetsTheLightsThatReachItGroupedByType) {
    const uint32_t spot = add_light(LightType::spot, {1, 5, 2}, 20, left_);
    const uint32_t near = add_light(LightType::point, {5, 5, 2}, 5, left_);
    add_light(LightType::point, {1, 1, 1}, 2, left_);  // too far to reach
    const uint32_t through_door = add_light(LightType::point, {12, 5, 2}, 10, right_);
    ObjectLightQuery query = query_at({4, 5, 2}, 0.5f);
    uint64_t selection = select_object_lights(*context_, query);
    EXPECT_EQ(indices_of(selection), (std::vector<uint32_t>{spot, near}));
    EXPECT_NE(selection & light_selection_shadow_outside, 0u);
    EXPECT_EQ(context_->object_light_flag, 1u);
    EXPECT_TRUE(context_->object_lights.contains(near));

    // Reaching into the right room, the object gets its light too, once.
    query.overlap_sector = &servers::sector_server.get_render_record(*right_);
    selection = select_object_lights(*context_, query);
    // Within a group the smallest index takes the lowest byte.
    EXPECT_EQ(indices_of(selection), (std::vector<uint32_t>{spot, near, through_door}));
    std::swap(query.home_sector, query.overlap_sector);
    EXPECT_EQ(indices_of(select_object_lights(*context_, query)).size(), 3u);

    // In a neighbour sector of a view with shadow splits: the other mode.
    context_->shadow_split_count = 2;
    query.home_is_neighbour = true;
    selection = select_object_lights(*context_, query);
    EXPECT_NE(selection & light_selection_shadow_inside, 0u);
    EXPECT_EQ(selection & light_selection_shadow_outside, 0u);
}

TEST_F(LightSelection, MasksVisibilityAndTheOnFlagRuleLightsOut) {
    const uint32_t kept = add_light(LightType::point, {5, 5, 2}, 10, left_);
    const uint32_t masked = add_light(LightType::point, {5, 6, 2}, 10, left_);
    ASSERT_TRUE(lights_[1]->set_property(p::light_mask, make_word(p::light_mask, 0x2)));
    const uint32_t unseen = add_light(LightType::point, {5, 4, 2}, 10, left_);
    context_->visible_lights = LightSet{};
    context_->add_visible_light(kept);
    context_->add_visible_light(masked);
    add_light(LightType::point, {6, 5, 2}, 10, left_);
    ASSERT_TRUE(lights_[3]->set_property(p::on, make_word(p::on, 0)));
    ObjectLightQuery query = query_at({5, 5, 1}, 1);
    query.light_mask = 0x1;
    EXPECT_EQ(indices_of(select_object_lights(*context_, query)), std::vector<uint32_t>{kept});
    (void)unseen;
}

TEST_F(LightSelection, MoreLightsThanTheLimitKeepTheMostImportant) {
    std::vector<uint32_t> indices;
    // Ten point lights, further and further away; the last is the brightest
    // by priority, which outweighs any distance.
    for (uint32_t light = 0; light < 10; ++light) {
        indices.push_back(add_light(LightType::point, {1.0f + 0.5f * light, 5, 2}, 20, left_));
    }
    ASSERT_TRUE(lights_[9]->set_property(p::priority, make_word(p::priority, 1)));
    const uint64_t selection = select_object_lights(*context_, query_at({0.5f, 5, 2}, 0.1f));
    ASSERT_EQ(selection & light_selection_count_mask, object_light_limit);
    std::vector<uint32_t> expected = {indices[0], indices[1], indices[2], indices[3], indices[4], indices[5],
                                      indices[9]};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(indices_of(selection), expected);
    EXPECT_EQ(context_->object_light_count, object_light_limit);
}

uint64_t stored_selection = 0;

void select_for_item(VisibilityContext& context, RenderItem& item) {
    ObjectLightQuery query;
    query.home_sector = item.sector;
    query.centre = {5, 5, 2};
    query.radius = 1;
    stored_selection = item.light_selection = select_object_lights(context, query);
}

TEST_F(LightSelection, CollectingAViewMarksTheLightsItsSectorViewsMeet) {
    const uint32_t inside = add_light(LightType::point, {5, 5, 2}, 3, left_);
    const uint32_t beyond = add_light(LightType::point, {5, 5, 2}, 3, right_);
    context_->visible_lights = LightSet{};
    light_server.update();
    light_instance_server.update();
    // The left room as the one sector view, its clip volume the room's box.
    SectorView& view = context_->sector_views[0];
    view.sector = &servers::sector_server.get_render_record(*left_);
    view.clip_volume = geometry::build_box_frustum(geometry::ViewAxes{}, {5, 0, 2}, 0, 10, 10, 4);
    context_->sector_view_count = 1;
    RenderItem items[1];
    items[0].sector = view.sector;
    items[0].lights = &select_for_item;
    context_->items = items;
    context_->item_capacity = 1;
    context_->item_count = 1;
    ASSERT_NE(view_hooks.prepare_lights_and_shadows, nullptr);
    view_hooks.prepare_lights_and_shadows(*context_);
    EXPECT_TRUE(context_->is_light_visible(inside));
    EXPECT_FALSE(context_->is_light_visible(beyond));
    EXPECT_EQ(indices_of(items[0].light_selection), std::vector<uint32_t>{inside});
    context_->items = nullptr;
}

// Visuals in the camera's room and in the rooms its open doors lead to take
// the cascaded shadow; with no cascades every sector counts.
TEST_F(LightSelection, TheNeighbourSectorsAreTheCameraRoomAndThoseBehindItsOpenDoors) {
    servers::Portal* const door = create_portal(test::two_rooms_area, 0);
    run_frame_updates();
    const uint32_t left = servers::sector_server.get_slot_of(*left_);
    const uint32_t right = servers::sector_server.get_slot_of(*right_);
    context_->shadow_split_count = 2;
    fill_neighbour_sectors(*context_);
    EXPECT_FALSE(context_->is_in_neighbour_sectors(left)) << "no camera sector, no neighbours";

    context_->start_sector = &servers::sector_server.get_render_record(*right_);
    fill_neighbour_sectors(*context_);
    EXPECT_TRUE(context_->is_in_neighbour_sectors(left));
    EXPECT_TRUE(context_->is_in_neighbour_sectors(right));

    core::Property closed;
    closed.set_u32(servers::portal_property::enabled, 0);
    ASSERT_TRUE(door->set_property(servers::portal_property::enabled, closed));
    run_frame_updates();
    fill_neighbour_sectors(*context_);
    EXPECT_FALSE(context_->is_in_neighbour_sectors(left)) << "behind a closed door";
    EXPECT_TRUE(context_->is_in_neighbour_sectors(right));

    context_->shadow_split_count = 0;
    EXPECT_TRUE(context_->is_in_neighbour_sectors(left));
}

// A sector's geometry takes at most 7 lights, 4 of them spot lights; with
// the global light 6 and 3, best priority first within each kind.
TEST_F(LightSelection, ASectorViewKeysTheBestLightsOfItsListsByKind) {
    std::vector<uint32_t> spots;
    std::vector<uint32_t> points;
    for (uint32_t light = 0; light < 5; ++light) {
        spots.push_back(add_light(LightType::spot, {1.0f + light, 2, 3}, 5, left_));
        EXPECT_TRUE(lights_.back()->set_property(p::priority, make_word(p::priority, light)));
    }
    for (uint32_t light = 0; light < 4; ++light) {
        points.push_back(add_light(LightType::point, {1.0f + light, 8, 3}, 5, left_));
    }
    add_light(LightType::point, {15, 5, 2}, 5, right_);
    light_server.update();
    light_instance_server.update();
    servers::SectorRender& left = servers::sector_server.get_render_record(*left_);
    SectorView& view = *context_->add_sector_view(&left);

    left.record_flags = 0;
    select_sector_lights(*context_, view);
    EXPECT_EQ(view.light_key & light_selection_count_mask, object_light_limit);
    EXPECT_EQ(view.light_key & (light_selection_shadow_inside | light_selection_shadow_outside), 0u);
    std::vector<uint32_t> chosen = indices_of(view.light_key);
    // The four spot lights of highest priority, then three point lights.
    std::vector<uint32_t> best_spots(spots.begin() + 1, spots.end());
    std::sort(best_spots.begin(), best_spots.end());
    EXPECT_EQ(std::vector<uint32_t>(chosen.begin(), chosen.begin() + 4), best_spots);
    for (uint32_t index = 4; index < chosen.size(); ++index) {
        EXPECT_NE(std::find(points.begin(), points.end(), chosen[index]), points.end());
    }

    left.record_flags = servers::sector_flag::global_light;
    select_sector_lights(*context_, view);
    EXPECT_EQ(view.light_key & light_selection_count_mask, 6u);
    EXPECT_NE(view.light_key & light_selection_shadow_inside, 0u);
    chosen = indices_of(view.light_key);
    std::vector<uint32_t> three_spots(spots.begin() + 2, spots.end());
    std::sort(three_spots.begin(), three_spots.end());
    EXPECT_EQ(std::vector<uint32_t>(chosen.begin(), chosen.begin() + 3), three_spots);
    EXPECT_TRUE(context_->object_lights.contains(chosen[5]));
}

}  // namespace
}  // namespace zolt::renderer

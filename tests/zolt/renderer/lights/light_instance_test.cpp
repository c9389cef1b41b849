#include "zolt/renderer/lights/light_instance.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/world_round_trip.h"
#include "zolt/navigation/area_world.h"
#include "zolt/renderer/lights/light_server.h"

namespace zolt::renderer {
namespace {

namespace p = light_property;
namespace ip = light_instance_property;

core::Property make_word(uint32_t id, uint32_t value) {
    core::Property property;
    property.set_u32(id, value);
    return property;
}

std::vector<const LightInstanceRender*> list_of(const servers::SectorRender& sector, uint32_t set, uint32_t type) {
    std::vector<const LightInstanceRender*> records;
    const LightInstanceRender* const head = sector.lights[set][type];
    const LightInstanceRender* record = head;
    while (record != nullptr) {
        records.push_back(record);
        record = record->next != head ? record->next : nullptr;
    }
    return records;
}

uint32_t count_linked(const servers::SectorRender& sector) {
    uint32_t count = 0;
    for (uint32_t set = 0; set < servers::light_list_set_count; ++set) {
        for (uint32_t type = 0; type < servers::light_list_type_count; ++type) {
            count += static_cast<uint32_t>(list_of(sector, set, type).size());
        }
    }
    return count;
}

std::vector<core::ObjectHandle> relit_sectors;

void record_relight(core::ObjectHandle sector, const Light&) {
    relit_sectors.push_back(sector);
}

class LightInstances : public test::AreaWorld {
protected:
    void SetUp() override {
        AreaWorld::SetUp();
        light_server.register_server();
        light_instance_server.register_server();
        light_instance_server.relight_hook = &record_relight;
        relit_sectors.clear();
        servers::loadable_area_server.create_area(test::two_rooms_area);
        left_ = create_sector(test::two_rooms_area, 0);
        right_ = create_sector(test::two_rooms_area, 1);
        run_frame_updates();
    }

    static void update() {
        light_server.update();
        light_instance_server.update();
    }

    servers::SectorRender& left_render() { return servers::sector_server.get_render_record(*left_); }
    servers::SectorRender& right_render() { return servers::sector_server.get_render_record(*right_); }

    servers::Sector* left_ = nullptr;
    servers::Sector* right_ = nullptr;
};

TEST_F(LightInstances, OnlyALiveLightGetsInstances) {
    EXPECT_EQ(light_instance_server.create_instance(0), nullptr);
    Light* const light = light_server.create_light();
    const core::ObjectHandle handle = light->get_handle();
    core::destroy_object(light);
    EXPECT_EQ(light_instance_server.create_instance(handle), nullptr);
}

TEST_F(LightInstances, RecordsFollowOnDynamicTypeAndSector) {
    Light* const light = light_server.create_light();
    LightInstance* const instance = light_instance_server.create_instance(light->get_handle());
    ASSERT_NE(instance, nullptr);
    // Only a sector handle names a sector.
    EXPECT_FALSE(instance->set_property(ip::sector, make_word(ip::sector, light->get_handle())));
    ASSERT_TRUE(instance->set_property(ip::sector, make_word(ip::sector, left_->get_handle())));
    update();
    // Off: not linked anywhere.
    EXPECT_EQ(count_linked(left_render()), 0u);

    ASSERT_TRUE(light->set_property(p::on, make_word(p::on, 1)));
    update();
    ASSERT_EQ(list_of(left_render(), 0, 2).size(), 1u);
    EXPECT_EQ(list_of(left_render(), 0, 2)[0]->light, &light_server.get_render(*light));
    EXPECT_EQ(relit_sectors, std::vector<core::ObjectHandle>{left_->get_handle()});

    ASSERT_TRUE(light->set_property(p::dynamic, make_word(p::dynamic, 1)));
    update();
    EXPECT_EQ(list_of(left_render(), 1, 2).size(), 1u);
    EXPECT_EQ(count_linked(left_render()), 1u);

    ASSERT_TRUE(light->set_property(p::type, make_word(p::type, 0)));
    update();
    EXPECT_EQ(list_of(left_render(), 1, 0).size(), 1u);
    EXPECT_EQ(count_linked(left_render()), 1u);

    ASSERT_TRUE(instance->set_property(ip::sector, make_word(ip::sector, right_->get_handle())));
    update();
    EXPECT_EQ(count_linked(left_render()), 0u);
    EXPECT_EQ(list_of(right_render(), 1, 0).size(), 1u);
    // A dynamic light relights nothing, not even through its mask.
    relit_sectors.clear();
    ASSERT_TRUE(instance->set_property(ip::instance_mask, make_word(ip::instance_mask, 4)));
    EXPECT_TRUE(relit_sectors.empty());
    update();
    EXPECT_EQ(list_of(right_render(), 1, 0)[0]->instance_mask, 4u);

    ASSERT_TRUE(light->set_property(p::on, make_word(p::on, 0)));
    update();
    EXPECT_EQ(count_linked(right_render()), 0u);
}

TEST_F(LightInstances, DestroyingTheLightOrTheSectorUnlinksEverything) {
    Light* const light = light_server.create_light();
    ASSERT_TRUE(light->set_property(p::on, make_word(p::on, 1)));
    for (servers::Sector* sector : {left_, right_}) {
        LightInstance* const instance = light_instance_server.create_instance(light->get_handle());
        ASSERT_TRUE(instance->set_property(ip::sector, make_word(ip::sector, sector->get_handle())));
    }
    LightInstance* const third = light_instance_server.create_instance(light->get_handle());
    ASSERT_TRUE(third->set_property(ip::sector, make_word(ip::sector, left_->get_handle())));
    update();
    EXPECT_EQ(list_of(left_render(), 0, 2).size(), 2u);
    EXPECT_EQ(light_instance_server.get_live_count(), 3u);

    // The sector goes first: its records leave its lists before it is cleared.
    core::destroy_object(right_);
    core::release_all_dead_objects();
    EXPECT_EQ(count_linked(right_render()), 0u);

    core::destroy_object(light);
    EXPECT_EQ(light_instance_server.get_live_count(), 0u);
    update();
    EXPECT_EQ(count_linked(left_render()), 0u);
    core::release_all_dead_objects();
    EXPECT_EQ(light_instance_server.get_live_count(), 0u);
}

TEST_F(LightInstances, ASavedWorldRelinksInstances) {
    Light* const light = light_server.create_light();
    ASSERT_TRUE(light->set_property(p::on, make_word(p::on, 1)));
    LightInstance* const instance = light_instance_server.create_instance(light->get_handle());
    ASSERT_TRUE(instance->set_property(ip::sector, make_word(ip::sector, right_->get_handle())));
    ASSERT_TRUE(instance->set_property(ip::instance_mask, make_word(ip::instance_mask, 9)));
    const core::ObjectHandle handle = instance->get_handle();
    const core::ObjectHandle right = right_->get_handle();
    ASSERT_TRUE(test::save_and_load_world(3));
    LightInstance* const loaded = light_instance_server.find_instance(handle);
    ASSERT_NE(loaded, nullptr);
    core::Property read;
    ASSERT_TRUE(loaded->get_property(231, read));
    EXPECT_EQ(read.get_u32(), right);
    ASSERT_NE(loaded->light, nullptr);
    EXPECT_EQ(loaded->light->first_instance, loaded);
    run_frame_updates();
    update();
    servers::SectorRender* const record = servers::sector_server.find_render_record(right);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(list_of(*record, 0, 2).size(), 1u);
    EXPECT_EQ(list_of(*record, 0, 2)[0]->instance_mask, 9u);
}

}  // namespace
}  // namespace zolt::renderer

#include "zolt/renderer/lights/light_importance.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <limits>
#include <memory>
#include <vector>

#include "support/child_process.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {
namespace {

LightRender make_light(LightType type, geometry::Vector3 position = {}, float range = 10) {
    LightRender light;
    light.type = static_cast<uint8_t>(type);
    light.on = 1;
    light.position = position;
    light.direction = {0, 1, 0};
    light.colour = {1, 1, 1, 1};
    light.intensity = 1;
    light.range = range;
    light.light_fade_start = FLT_MAX;
    light.light_fade_length = 1;
    light.shadow_fade_start = FLT_MAX;
    light.shadow_fade_length = 1;
    return light;
}

TEST(LightImportance, DistanceFadesRunFromStartOverTheirLength) {
    LightRender light = make_light(LightType::point);
    light.light_fade_start = 10;
    light.light_fade_length = 4;
    light.shadow_fade_start = 5;
    light.shadow_fade_length = 0;
    struct Row {
        float distance, light, shadow;
    } const rows[] = {
        {0, 1, 1}, {5, 1, 1}, {5.5f, 1, 0}, {12, 0.5f, 0},
        // Exactly at start + length: faded out, not drawn.
        {14, 0, 0}, {100, 0, 0},
    };
    for (const Row& row : rows) {
        const LightFades fades = get_distance_fades(light, {0, row.distance, 0});
        EXPECT_FLOAT_EQ(fades.light, row.light) << row.distance;
        EXPECT_FLOAT_EQ(fades.shadow, row.shadow) << row.distance;
    }
    light.type = static_cast<uint8_t>(LightType::directional);
    EXPECT_EQ(get_distance_fades(light, {0, 100, 0}).light, 1);
}

TEST(LightImportance, VisualImportanceRanksPriorityThenNearness) {
    LightRender light = make_light(LightType::point, {0, 0, 0}, 10);
    light.priority = 3;
    struct Row {
        float distance, radius, key;
    } const rows[] = {
        // Inside the visual: full weight.
        {1, 2, 601}, {2, 2, 601},
        {7, 2, 600.5f},
        // Just reaching it, and just out of reach.
        {11.9f, 2, 600.01f}, {12, 2, 0}, {12.01f, 2, 0},
        {0, 0, 601},
    };
    for (const Row& row : rows) {
        EXPECT_NEAR(get_visual_importance(light, {row.distance, 0, 0}, row.radius), row.key, 1e-3f)
            << row.distance << " " << row.radius;
    }
    // The nearness term is dropped below 2^-16, before the priority adds in.
    EXPECT_EQ(get_visual_importance(light, {11.99999f, 0, 0}, 2), 0);
    // A zero range reaches only what the light is inside of.
    light.range = 0;
    EXPECT_EQ(get_visual_importance(light, {3, 0, 0}, 2), 0);
    EXPECT_EQ(get_visual_importance(light, {1, 0, 0}, 2), 601);
    light.type = static_cast<uint8_t>(LightType::directional);
    EXPECT_EQ(get_visual_importance(light, {1000, 0, 0}, 0), 601);
}

TEST(LightImportance, SectorKeysAndLuminance) {
    LightRender light = make_light(LightType::spot);
    struct Row {
        geometry::Vector4 colour;
        float intensity;
        uint32_t priority;
        float luminance, key;
    } const rows[] = {
        {{1, 1, 1, 1}, 1, 0, 1, 1},
        {{1, 0, 0, 1}, 2, 1, 0.6f, 200.6f},
        {{0, 0, 1, 1}, -1, 0, 0.1f, 0.1f},
        // Capped at 100, so priority still dominates.
        {{1, 1, 1, 1}, 1000, 2, 1000, 500},
        {{0, 0, 0, 1}, 1, 9, 0, 0},
        {{std::numeric_limits<float>::quiet_NaN(), 0, 0, 1}, 1, 1, -1, 0},
    };
    for (const Row& row : rows) {
        light.colour = row.colour;
        light.intensity = row.intensity;
        light.priority = row.priority;
        if (row.luminance >= 0) {
            EXPECT_NEAR(get_luminance(light), row.luminance, 1e-4f);
        }
        EXPECT_NEAR(get_sector_light_key(light), row.key, 1e-3f);
    }
}

TEST(LightImportance, FakeShadowWeightAndDirectionTowardsAPoint) {
    LightRender light = make_light(LightType::point, {0, 0, 0}, 10);
    light.intensity = 2;
    EXPECT_EQ(get_fake_shadow_weight(light, {11, 0, 0}), 0);
    EXPECT_FLOAT_EQ(get_fake_shadow_weight(light, {8, 0, 0}), 1);
    EXPECT_FLOAT_EQ(get_fake_shadow_weight(light, {1, 0, 0}), 2);
    const geometry::Vector3 towards = get_direction_towards_point(light, {0, 0, -5});
    EXPECT_FLOAT_EQ(towards.z, -1);
    // The light's own position has no direction of its own: no NaN.
    EXPECT_EQ(get_direction_towards_point(light, {0, 0, 0}).y, 1);
    light.type = static_cast<uint8_t>(LightType::directional);
    light.direction = {0, 0, -1};
    EXPECT_EQ(get_direction_towards_point(light, {5, 5, 5}).z, -1);
    EXPECT_EQ(get_fake_shadow_weight(light, {500, 0, 0}), 2);

    const test::ChildResult result = test::run_in_child([] {
        LightRender broken = make_light(LightType::point);
        broken.type = 7;
        get_direction_towards_point(broken, {1, 0, 0});
    });
    EXPECT_NE(result.exit_code, 0);
    EXPECT_NE(result.standard_error.find("Unsupported light type 7."), std::string::npos);
}

std::vector<float> keys_of(const LightPriorityList& list) {
    std::vector<float> keys;
    const LightPriorityList::Node* node = list.get_highest();
    for (uint32_t index = 0; index < list.get_count(); ++index, node = node->lower) {
        keys.push_back(node->key);
    }
    return keys;
}

TEST(LightPriorityList, KeepsTheBestAndLetsLaterEqualsWin) {
    LightRender lights[4];
    LightPriorityList list(2);
    EXPECT_NE(list.insert(5, &lights[0]), nullptr);
    EXPECT_NE(list.insert(3, &lights[1]), nullptr);
    EXPECT_NE(list.insert(3, &lights[2]), nullptr);
    EXPECT_EQ(keys_of(list), (std::vector<float>{5, 3}));
    EXPECT_EQ(list.get_lowest()->value, &lights[2]);
    EXPECT_EQ(list.insert(1, &lights[3]), nullptr);
    EXPECT_EQ(keys_of(list), (std::vector<float>{5, 3}));
    EXPECT_NE(list.insert(9, &lights[3]), nullptr);
    EXPECT_EQ(keys_of(list), (std::vector<float>{9, 5}));

    // Among equal keys the later one ranks above.
    LightPriorityList ties(3);
    ties.insert(2, &lights[0]);
    ties.insert(2, &lights[1]);
    ties.insert(4, &lights[2]);
    EXPECT_EQ(ties.get_highest()->lower->value, &lights[1]);
    ties.release();
    EXPECT_EQ(ties.get_count(), 0u);
    EXPECT_EQ(ties.get_highest(), nullptr);

    // Far more candidates than room: only the best stay, nothing overflows.
    LightPriorityList full(7);
    for (uint32_t round = 0; round < 100; ++round) {
        full.insert(static_cast<float>((round * 37) % 100), &lights[round % 4]);
    }
    EXPECT_EQ(keys_of(full), (std::vector<float>{99, 98, 97, 96, 95, 94, 93}));
    LightPriorityList oversized(1000);
    EXPECT_EQ(oversized.get_capacity(), LightPriorityList::pool_size);
    LightPriorityList empty(0);
    EXPECT_EQ(empty.insert(1, &lights[0]), nullptr);
}

TEST(LightIndexPacking, SortsDescendingIntoBytesAndKeepsTheVisible) {
    struct Row {
        std::vector<uint8_t> indices;
        uint64_t packed;
    } const rows[] = {
        {{}, 0},
        {{7}, 0x07},
        {{3, 9}, 0x0903},
        {{9, 3}, 0x0903},
        {{5, 200, 1, 17}, 0xC8110501},
        {{1, 2, 3, 4, 5, 6, 7, 8}, 0x0807060504030201},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(pack_light_indices(row.indices.data(), static_cast<uint32_t>(row.indices.size())), row.packed);
    }
    const PackedLights all = keep_visible_light_indices(3, 0x0C0502, nullptr);
    EXPECT_EQ(all.packed, 0x0C0502u);
    EXPECT_EQ(all.count, 3u);
    auto view = std::make_unique<VisibilityContext>();
    view->add_visible_light(2);
    view->add_visible_light(12);
    const PackedLights kept = keep_visible_light_indices(3, 0x0C0502, view.get());
    EXPECT_EQ(kept.packed, 0x0C02u);
    EXPECT_EQ(kept.count, 2u);
}

TEST(PowerOfTwo, ExponentsAndRoundingUp) {
    struct Row {
        uint32_t value, exponent, rounded;
    } const rows[] = {
        {0, 1, 0}, {1, 1, 1}, {2, 1, 2}, {3, 2, 4}, {4, 2, 4}, {5, 3, 8}, {1024, 10, 1024}, {1025, 11, 2048},
        {0x80000000u, 31, 0x80000000u},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(get_power_of_two_exponent(row.value), row.exponent) << row.value;
        EXPECT_EQ(round_up_to_power_of_two(row.value), row.rounded) << row.value;
    }
}

}  // namespace
}  // namespace zolt::renderer

#include "zolt/renderer/animation/animation_format.h"

#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "animation_fixtures.h"

namespace zolt::animation {
namespace {

template <typename T>
void put(std::vector<uint8_t>& bytes, uint32_t offset, T value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

TEST(AnimationFormatTest, ReadsWhatTheBuilderWrote) {
    const std::vector<uint8_t> bytes = test::build_walk_animation();
    std::string error;
    ASSERT_TRUE(check_animation_resource(test::walk_animation_id, bytes.data(), bytes.size(), &error)) << error;
    const AnimationView view = test::view_animation(bytes);
    EXPECT_EQ(view.header.duration, 1000u);
    EXPECT_EQ(view.header.reported_word, 0x1234u);
    EXPECT_EQ(view.header.key_count, 5u);
    EXPECT_EQ(view.header.frame_count, 5u);
    // Keys ascend; channels keep the order they were described in.
    const uint32_t keys[] = {10, 20, 40, 50, 60};
    const uint32_t channels[] = {1, 2, 3, 4, 0};
    for (uint32_t index = 0; index < 5; ++index) {
        EXPECT_EQ(read_animation_key(view, index), keys[index]);
        EXPECT_EQ(read_animation_key_channel(view, index), channels[index]);
    }
    const AnimationChannel root = read_animation_channel(view, 1);
    EXPECT_TRUE(root.is_bone());
    EXPECT_FALSE(root.has_constant_position() || root.has_constant_rotation());
    EXPECT_FLOAT_EQ(read_channel_position(view, root, 3).z, 3.0f);
    const geometry::Quaternion turn = read_channel_rotation(view, root, 2);
    EXPECT_NEAR(turn.z, test::make_turn(0, 0, 1, 0.25f).z, 1e-6f);
    EXPECT_NEAR(turn.w, test::make_turn(0, 0, 1, 0.25f).w, 1e-6f);

    const AnimationChannel middle = read_animation_channel(view, 2);
    EXPECT_TRUE(middle.has_constant_position());
    EXPECT_FALSE(middle.has_constant_rotation());
    EXPECT_FLOAT_EQ(read_channel_position(view, middle, 4).y, 1.0f);
    EXPECT_NEAR(read_channel_rotation(view, middle, 4).x, test::make_turn(1, 0, 0, 0.25f).x, 1e-6f);

    EXPECT_FLOAT_EQ(read_channel_scalar(view, read_animation_channel(view, 3), 2), 2.0f);
    EXPECT_FLOAT_EQ(read_channel_scalar(view, read_animation_channel(view, 4), 3), 2.0f);
    EXPECT_FLOAT_EQ(read_channel_position(view, read_animation_channel(view, 0), 0).x, 5.0f);

    ASSERT_EQ(view.header.event_count, 2u);
    const AnimationEvent first = read_animation_event(view, 0);
    EXPECT_EQ(first.time, 500u);
    EXPECT_EQ(first.id, 7u);
    EXPECT_EQ(first.data[1], 2u);
    EXPECT_EQ(read_animation_event(view, 1).id, 8u);
}

TEST(AnimationFormatTest, TheBuilderStoresRotationsWithAPositiveScalar) {
    AnimationDescription description;
    description.duration = 10;
    description.frame_count = 2;
    const geometry::Quaternion flipped = geometry::negate(test::make_turn(0, 1, 0, 0.2f));
    description.channels = {{1, true, {{0, 0, 0}}, {flipped, test::make_turn(0, 1, 0, 0.3f)}, {}}};
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(build_animation_resource(description, &bytes, &error)) << error;
    const AnimationView view = test::view_animation(bytes);
    const geometry::Quaternion read = read_channel_rotation(view, read_animation_channel(view, 0), 0);
    EXPECT_NEAR(read.y, -flipped.y, 1e-6f);
    EXPECT_NEAR(read.w, -flipped.w, 1e-6f);

    description.channels[0].rotations.push_back(flipped);
    EXPECT_FALSE(build_animation_resource(description, &bytes, &error));
    EXPECT_NE(error.find("key 1 needs one value or one per frame"), std::string::npos) << error;
}

TEST(AnimationFormatTest, BrokenResourcesAreRefusedWithTheirId) {
    const std::vector<uint8_t> good = test::build_walk_animation();
    const AnimationHeader header = read_animation_header(good.data());
    const uint32_t channels = header.channel_table_offset;
    struct Row {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> corrupt;
        const char* message;
    };
    const Row rows[] = {
        {"truncated header", [](auto& b) { b.resize(40); }, "shorter than its header"},
        {"key count beyond the table", [](auto& b) { put<uint32_t>(b, 8, 0x10000000); }, "key table runs past"},
        {"event count beyond the table", [](auto& b) { put<uint32_t>(b, 24, 1000); }, "event table runs past"},
        {"frames beyond the resource", [](auto& b) { put<uint32_t>(b, 12, 0x40000000); }, "frames run past"},
        {"stride times frames overflows 32 bits", [](auto& b) { put<uint32_t>(b, 16, 0x40000000); }, "frames run past"},
        {"constants past the end", [](auto& b) { put<uint32_t>(b, 36, static_cast<uint32_t>(b.size()) + 4); },
         "constants start past"},
        {"key names channel 5", [&](auto& b) { put<uint32_t>(b, header.key_table_offset + 4, 5); },
         "names a missing channel at entry 0"},
        {"keys out of order", [&](auto& b) { put<uint32_t>(b, header.key_table_offset + 8, 10); },
         "not in ascending key order at entry 1"},
        {"unknown channel kind", [&](auto& b) { put<uint16_t>(b, channels + 8, 2); }, "unknown kind of channel 1"},
        {"animated value past the stride", [&](auto& b) { put<uint16_t>(b, channels + 8 + 6, 60); },
         "values run past their table for channel 1"},
        {"constant past the constants", [&](auto& b) { put<uint16_t>(b, channels + 4, 0xFFF0); },
         "values run past their table for channel 0"},
        {"animated channel without frames", [](auto& b) { put<uint32_t>(b, 12, 0); }, "no frame for the animated"},
        {"event after the end", [&](auto& b) { put<uint32_t>(b, header.event_table_offset + 16, 1001); },
         "event after the end of the animation at entry 1"},
        {"events out of order", [&](auto& b) { put<uint32_t>(b, header.event_table_offset + 16, 400); },
         "events are not in time order at entry 1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> bytes = good;
        row.corrupt(bytes);
        std::string error;
        EXPECT_FALSE(check_animation_resource(test::walk_animation_id, bytes.data(), bytes.size(), &error));
        EXPECT_EQ(error.find("animation 0x5a200001: "), 0u) << error;
        EXPECT_NE(error.find(row.message), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace zolt::animation

#include "zolt/renderer/animation/skeleton_format.h"

#include <cstring>
#include <functional>

#include <gtest/gtest.h>

#include "animation_fixtures.h"

namespace zolt::animation {
namespace {

void put_word(std::vector<uint8_t>& bytes, uint32_t offset, uint32_t value) {
    std::memcpy(bytes.data() + offset, &value, 4);
}

TEST(SkeletonFormatTest, ReadsWhatTheBuilderWrote) {
    const std::vector<uint8_t> bytes = test::build_chain_skeleton();
    std::string error;
    ASSERT_TRUE(check_skeleton_resource(test::chain_skeleton_id, bytes.data(), bytes.size(), &error)) << error;
    const SkeletonView view = test::view_skeleton(bytes);
    EXPECT_EQ(view.header.bone_count, 3u);
    EXPECT_EQ(view.header.factor_count, 2u);
    for (uint32_t index = 0; index < 5; ++index) {
        const KeyEntry key = read_skeleton_key(view.data, view.header, index);
        EXPECT_EQ(key.key, 10 * (index + 1));
        EXPECT_EQ(key.channel, index);
    }
    EXPECT_EQ(read_channel_record(view.data, view.header, 0).parent, no_parent);
    EXPECT_EQ(read_channel_record(view.data, view.header, 2).parent, 1u);
    EXPECT_EQ(read_channel_record(view.data, view.header, 4).kind, 5u);
    EXPECT_FLOAT_EQ(read_rest_record(view.data, view.header, 1).position.y, 1.0f);
    EXPECT_FLOAT_EQ(read_rest_record(view.data, view.header, 2).rotation.w, test::make_turn(0, 0, 1, 0.125f).w);
    EXPECT_FLOAT_EQ(read_factor_default(view.data, view.header, 3), 0.25f);
    EXPECT_FLOAT_EQ(read_bind_matrix(view.data, view.header, 2).rows[3].y, -2.0f);
}

TEST(SkeletonFormatTest, BrokenResourcesAreRefusedWithTheirId) {
    const std::vector<uint8_t> good = test::build_chain_skeleton();
    const SkeletonHeader header = read_skeleton_header(good.data());
    const uint32_t channels = header.channel_table_offset;
    struct Row {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> corrupt;
        const char* message;
    };
    const Row rows[] = {
        {"truncated header", [](auto& b) { b.resize(20); }, "shorter than its header"},
        {"129 bones", [](auto& b) { put_word(b, 0, 129); }, "too many bones: 129"},
        {"129 channels", [](auto& b) { put_word(b, 4, 126); }, "too many channels: 129"},
        {"key table past the end", [](auto& b) { put_word(b, 8, static_cast<uint32_t>(b.size()) - 8); },
         "key table runs past"},
        {"bind matrices past the end", [](auto& b) { b.resize(b.size() - 1); }, "bind matrices run past"},
        {"key names channel 5", [&](auto& b) { put_word(b, header.key_table_offset + 4, 5); },
         "key table names a missing channel at entry 0"},
        {"keys out of order", [&](auto& b) { put_word(b, header.key_table_offset + 8, 10); },
         "not in ascending key order at entry 1"},
        {"a channel keyed twice", [&](auto& b) { put_word(b, header.key_table_offset + 12, 0); },
         "names a channel twice at entry 1"},
        {"parent is a factor", [&](auto& b) { put_word(b, channels + 12, 3); }, "parent is not a bone for bone 1"},
        {"bone is its own parent", [&](auto& b) { put_word(b, channels + 24, 2); }, "cycle through bone 2"},
        {"two-bone cycle", [&](auto& b) { put_word(b, channels, 2); }, "cycle through bone 0"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<uint8_t> bytes = good;
        row.corrupt(bytes);
        std::string error;
        EXPECT_FALSE(check_skeleton_resource(test::chain_skeleton_id, bytes.data(), bytes.size(), &error));
        EXPECT_EQ(error.find("skeleton 0x5a100001: "), 0u) << error;
        EXPECT_NE(error.find(row.message), std::string::npos) << error;
    }
}

TEST(SkeletonFormatTest, TheBuilderRefusesWhatCannotBeStored) {
    std::vector<uint8_t> bytes;
    std::string error;
    std::vector<SkeletonChannelDescription> bones(2);
    bones[0].key = bones[1].key = 7;
    EXPECT_FALSE(build_skeleton_resource(bones, {}, std::vector<geometry::Matrix4>(2), &bytes, &error));
    EXPECT_NE(error.find("share the key 7"), std::string::npos) << error;
    EXPECT_FALSE(build_skeleton_resource(std::vector<SkeletonChannelDescription>(129), {},
                                         std::vector<geometry::Matrix4>(129), &bytes, &error));
    bones[1].key = 8;
    bones[0].parent = 1;
    bones[1].parent = 0;
    EXPECT_FALSE(build_skeleton_resource(bones, {}, std::vector<geometry::Matrix4>(2), &bytes, &error));
    EXPECT_NE(error.find("cycle"), std::string::npos) << error;
}

}  // namespace
}  // namespace zolt::animation

#pragma once
// Resources built with the content builder's own writers: a three-bone
// chain with two factors, and a five-frame animation over it.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "zolt/renderer/animation/animation_format.h"
#include "zolt/renderer/animation/skeleton_format.h"

namespace zolt::animation::test {

constexpr uint32_t chain_skeleton_id = 0x5A100001;
constexpr uint32_t walk_animation_id = 0x5A200001;

// Turns of angle about an axis (unit).
inline geometry::Quaternion make_turn(float x, float y, float z, float turns) {
    const float half = static_cast<float>(M_PI) * turns;
    const float s = std::sin(half);
    return {x * s, y * s, z * s, std::cos(half)};
}

// Bones 0 <- 1 <- 2 (keys 10, 20, 30), each one unit above its parent;
// factors with keys 40 (slot 0) and 50 (slot 3). Bind matrices undo the rest
// pose: a translation down by the bone's height.
inline std::vector<uint8_t> build_chain_skeleton() {
    std::vector<SkeletonChannelDescription> bones(3);
    std::vector<geometry::Matrix4> binds(3);
    for (uint32_t bone = 0; bone < 3; ++bone) {
        bones[bone].key = 10 * (bone + 1);
        bones[bone].parent = bone == 0 ? no_parent : bone - 1;
        bones[bone].rest.position = {0, bone == 0 ? 0.0f : 1.0f, 0};
        binds[bone].rows[3] = {0, -static_cast<float>(bone), 0, 1};
    }
    bones[2].rest.rotation = make_turn(0, 0, 1, 0.125f);
    std::vector<SkeletonChannelDescription> factors(2);
    factors[0].key = 40;
    factors[0].kind = 2;
    factors[0].rest.position.x = 0.25f;
    factors[1].key = 50;
    factors[1].kind = 5;
    factors[1].rest.position.x = 0.5f;
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(build_skeleton_resource(bones, factors, binds, &bytes, &error)) << error;
    return bytes;
}

// Five frames over 1000 ticks. Key 10: position (0, 0, f) and a turn of
// f / 8 about Z in frame f. Key 20: constant position (0, 1, 0) and a turn
// of f / 16 about X. Key 40: the scalar f. Key 50: the constant 2. Key 60:
// a bone the chain does not have. Events at 500 (id 7) and at 1000 (id 8).
inline AnimationDescription describe_walk_animation() {
    AnimationDescription walk;
    walk.duration = 1000;
    walk.reported_word = 0x1234;
    walk.frame_count = 5;
    AnimationChannelDescription root{10, true, {}, {}, {}};
    AnimationChannelDescription middle{20, true, {{0, 1, 0}}, {}, {}};
    AnimationChannelDescription factor{40, false, {}, {}, {}};
    AnimationChannelDescription constant_factor{50, false, {}, {}, {2.0f}};
    AnimationChannelDescription stranger{60, true, {{5, 5, 5}}, {geometry::identity_quaternion()}, {}};
    for (int frame = 0; frame < 5; ++frame) {
        root.positions.push_back({0, 0, static_cast<float>(frame)});
        root.rotations.push_back(make_turn(0, 0, 1, frame / 8.0f));
        middle.rotations.push_back(make_turn(1, 0, 0, frame / 16.0f));
        factor.scalars.push_back(static_cast<float>(frame));
    }
    walk.channels = {stranger, root, middle, factor, constant_factor};
    walk.events = {{1000, 8, {3, 4}}, {500, 7, {1, 2}}};
    return walk;
}

inline std::vector<uint8_t> build_walk_animation() {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(build_animation_resource(describe_walk_animation(), &bytes, &error)) << error;
    return bytes;
}

inline SkeletonView view_skeleton(const std::vector<uint8_t>& bytes) {
    return {bytes.data(), read_skeleton_header(bytes.data())};
}

inline AnimationView view_animation(const std::vector<uint8_t>& bytes) {
    return {bytes.data(), read_animation_header(bytes.data())};
}

}  // namespace zolt::animation::test

// 100 skeletons of 64 bones, each blending a walk and an idle animation into
// its pose and writing its skinning palette once per frame: the engine's
// resource sampling, binding and mixing against a plain loop that does the
// same interpolation and matrix work on arrays it prepared itself. Both
// compose the bone chain the same way, so the ratio shows what reading
// resources in place and the general mixing rule cost. Items are skeletons.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "libs/geometry/matrix.h"
#include "zolt/renderer/animation/channel_binding.h"
#include "zolt/renderer/animation/keyframe_sampling.h"
#include "zolt/renderer/animation/pose_buffer.h"

namespace {

namespace animation = zolt::animation;
namespace geometry = zolt::geometry;

constexpr uint32_t skeleton_count = 100;
constexpr uint32_t bone_count = 64;
constexpr uint32_t frame_count = 31;
constexpr uint32_t duration = 100000;
constexpr float walk_weight = 0.7f;
constexpr float idle_weight = 0.3f;

geometry::Quaternion make_turn(float x, float y, float z, float turns) {
    const float length = std::sqrt(x * x + y * y + z * z);
    const float s = std::sin(static_cast<float>(M_PI) * turns) / length;
    return {x * s, y * s, z * s, std::cos(static_cast<float>(M_PI) * turns)};
}

struct Scene {
    std::vector<uint8_t> skeleton_bytes;
    std::vector<uint8_t> animation_bytes[2];
    animation::SkeletonView skeleton;
    animation::AnimationView animations[2];
    uint8_t maps[2][animation::maximum_skeleton_channels];
    bool identity[2];
    // The same keys as arrays, [animation][frame][bone], for the plain loop.
    std::vector<geometry::Vector3> positions[2];
    std::vector<geometry::Quaternion> rotations[2];
    std::vector<geometry::Matrix4> binds;

    Scene() {
        std::mt19937 random(5);
        std::uniform_real_distribution<float> unit(-1, 1);
        std::vector<animation::SkeletonChannelDescription> bones(bone_count);
        binds.resize(bone_count);
        for (uint32_t bone = 0; bone < bone_count; ++bone) {
            bones[bone].key = 100 + bone;
            bones[bone].parent = bone == 0 ? animation::no_parent : bone - 1;
            bones[bone].rest.position = {0, 0.1f, 0};
            binds[bone].rows[3] = {0, -0.1f * bone, 0, 1};
        }
        std::string error;
        animation::build_skeleton_resource(bones, {}, binds, &skeleton_bytes, &error);
        skeleton = {skeleton_bytes.data(), animation::read_skeleton_header(skeleton_bytes.data())};
        for (int which = 0; which < 2; ++which) {
            animation::AnimationDescription description;
            description.duration = duration;
            description.frame_count = frame_count;
            description.channels.resize(bone_count);
            positions[which].resize(frame_count * bone_count);
            rotations[which].resize(frame_count * bone_count);
            for (uint32_t bone = 0; bone < bone_count; ++bone) {
                animation::AnimationChannelDescription& channel = description.channels[bone];
                channel.key = 100 + bone;
                const geometry::Vector3 axis{unit(random), unit(random), unit(random)};
                for (uint32_t frame = 0; frame < frame_count; ++frame) {
                    const geometry::Vector3 position{0.01f * unit(random), 0.1f, 0.01f * unit(random)};
                    const geometry::Quaternion rotation = make_turn(axis.x, axis.y, axis.z, 0.05f * unit(random));
                    channel.positions.push_back(position);
                    channel.rotations.push_back(rotation);
                }
            }
            animation::build_animation_resource(description, &animation_bytes[which], &error);
            animations[which] = {animation_bytes[which].data(),
                                 animation::read_animation_header(animation_bytes[which].data())};
            // The plain loop reads back what the resource holds.
            for (uint32_t frame = 0; frame < frame_count; ++frame) {
                for (uint32_t bone = 0; bone < bone_count; ++bone) {
                    const animation::AnimationChannel channel =
                        animation::read_animation_channel(animations[which], bone);
                    positions[which][frame * bone_count + bone] =
                        animation::read_channel_position(animations[which], channel, frame);
                    rotations[which][frame * bone_count + bone] =
                        animation::read_channel_rotation(animations[which], channel, frame);
                }
            }
            animation::KeyEntry keys[animation::maximum_skeleton_channels];
            identity[which] = animation::bind_channels(keys, animation::read_skeleton_keys(skeleton, keys),
                                                       animations[which], bone_count, maps[which]);
        }
    }
};

const Scene& get_scene() {
    static const Scene scene;
    return scene;
}

uint32_t get_time(uint32_t skeleton, uint32_t frame) {
    return (skeleton * 7919u + frame * 1666u) % (duration + 1);
}

// Time per skeleton (printed as 12.3u: microseconds), beside the table's
// time per frame of all of them.
void report_per_skeleton(benchmark::State& state) {
    state.SetItemsProcessed(state.iterations() * skeleton_count);
    state.counters["seconds_per_skeleton"] =
        benchmark::Counter(static_cast<double>(state.iterations() * skeleton_count),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void compose_chain(const geometry::Vector3* positions, const geometry::Quaternion* rotations,
                   animation::BoneWorldTransform* world) {
    world[0] = {positions[0], geometry::normalize(rotations[0])};
    for (uint32_t bone = 1; bone < bone_count; ++bone) {
        world[bone].position = world[bone - 1].position + geometry::rotate(world[bone - 1].rotation, positions[bone]);
        world[bone].rotation = geometry::normalize(world[bone - 1].rotation * rotations[bone]);
    }
}

void animation_pose_zolt(benchmark::State& state) {
    const Scene& scene = get_scene();
    static animation::PoseBuffer buffers[skeleton_count];
    animation::MixedBone sampled[bone_count];
    animation::MixedBone pose[bone_count];
    geometry::Vector3 positions[bone_count];
    geometry::Quaternion rotations[bone_count];
    animation::BoneWorldTransform world[bone_count];
    uint32_t frame = 0;
    for (auto _ : state) {
        for (uint32_t skeleton = 0; skeleton < skeleton_count; ++skeleton) {
            animation::clear_pose(pose, bone_count);
            const float weights[2] = {walk_weight, idle_weight};
            for (int which = 0; which < 2; ++which) {
                animation::sample_pose(scene.animations[which], scene.identity[which] ? nullptr : scene.maps[which],
                                       get_time(skeleton, frame), 0, bone_count, sampled, scene.skeleton, bone_count,
                                       animation::sampling_mode::absolute);
                animation::mix_pose(sampled, 0, bone_count, pose, bone_count, animation::TrackMixingType::Blend,
                                    weights[which], nullptr);
            }
            for (uint32_t bone = 0; bone < bone_count; ++bone) {
                positions[bone] = pose[bone].position;
                rotations[bone] = pose[bone].rotation;
            }
            compose_chain(positions, rotations, world);
            animation::write_skinning_matrices(scene.skeleton, world, 1.0f, &buffers[skeleton]);
        }
        benchmark::DoNotOptimize(buffers[0].bone_rows[bone_count - 1][0][3]);
        ++frame;
    }
    report_per_skeleton(state);
}

void animation_pose_plain_loop(benchmark::State& state) {
    const Scene& scene = get_scene();
    static float palettes[skeleton_count][bone_count][3][4];
    geometry::Vector3 positions[bone_count];
    geometry::Quaternion rotations[bone_count];
    animation::BoneWorldTransform world[bone_count];
    uint32_t frame = 0;
    for (auto _ : state) {
        for (uint32_t skeleton = 0; skeleton < skeleton_count; ++skeleton) {
            const animation::FrameLookup lookup =
                animation::find_frames(duration, frame_count, get_time(skeleton, frame));
            const uint32_t a = lookup.frame * bone_count, b = lookup.next_frame * bone_count;
            for (uint32_t bone = 0; bone < bone_count; ++bone) {
                const geometry::Vector3 walk_position =
                    geometry::lerp(scene.positions[0][a + bone], scene.positions[0][b + bone], lookup.fraction);
                const geometry::Vector3 idle_position =
                    geometry::lerp(scene.positions[1][a + bone], scene.positions[1][b + bone], lookup.fraction);
                const geometry::Quaternion walk_rotation =
                    geometry::slerp(scene.rotations[0][a + bone], scene.rotations[0][b + bone], lookup.fraction);
                const geometry::Quaternion idle_rotation =
                    geometry::slerp(scene.rotations[1][a + bone], scene.rotations[1][b + bone], lookup.fraction);
                const float t = idle_weight / (walk_weight + idle_weight);
                positions[bone] = geometry::lerp(walk_position, idle_position, t);
                rotations[bone] = geometry::slerp(walk_rotation, idle_rotation, t);
            }
            compose_chain(positions, rotations, world);
            for (uint32_t bone = 0; bone < bone_count; ++bone) {
                geometry::Matrix4 transform =
                    geometry::make_transform_matrix(world[bone].rotation, world[bone].position);
                const geometry::Matrix4 skinning = geometry::multiply(scene.binds[bone], transform);
                for (int column = 0; column < 3; ++column) {
                    for (int row = 0; row < 4; ++row) {
                        const geometry::Vector4& r = skinning.rows[row];
                        palettes[skeleton][bone][column][row] = column == 0 ? r.x : column == 1 ? r.y : r.z;
                    }
                }
            }
        }
        benchmark::DoNotOptimize(palettes[0][bone_count - 1][0][3]);
        ++frame;
    }
    report_per_skeleton(state);
}

BENCHMARK(animation_pose_zolt)->Name("animation_pose/zolt")->Unit(benchmark::kMicrosecond);
BENCHMARK(animation_pose_plain_loop)->Name("animation_pose/plain_loop")->Unit(benchmark::kMicrosecond);

}  // namespace

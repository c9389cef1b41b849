#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>

#include "libs/io/temporary_folder.h"
#include "zcontent/lib/animation_description.h"
#include "zcontent/lib/gltf_animation_import.h"
#include "zcontent/lib/gltf_document.h"
#include "zcontent/lib/gltf_skin_import.h"
#include "zolt/renderer/animation/animation_playback.h"
#include "zolt/renderer/animation/channel_binding.h"
#include "zolt/renderer/animation/keyframe_sampling.h"
#include "zolt/renderer/animation/pose_buffer.h"

namespace zolt::tools {
namespace {

using Json = nlohmann::json;
using MatrixD = std::array<std::array<double, 4>, 4>;

std::string encode_base64(const std::vector<uint8_t>& bytes) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t at = 0; at < bytes.size(); at += 3) {
        const uint32_t word = (uint32_t{bytes[at]} << 16) | (at + 1 < bytes.size() ? bytes[at + 1] << 8 : 0) |
                              (at + 2 < bytes.size() ? bytes[at + 2] : 0);
        text += alphabet[(word >> 18) & 63];
        text += alphabet[(word >> 12) & 63];
        text += at + 1 < bytes.size() ? alphabet[(word >> 6) & 63] : '=';
        text += at + 2 < bytes.size() ? alphabet[word & 63] : '=';
    }
    return text;
}

std::array<double, 4> make_turn(double x, double y, double z, double turns) {
    const double length = std::sqrt(x * x + y * y + z * z);
    const double s = std::sin(M_PI * turns) / length;
    return {x * s, y * s, z * s, std::cos(M_PI * turns)};
}

// A figure node holding a chain hips <- spine <- head, the skin over the
// chain, and a one-second walk: hips translate, spine and head turn, and a
// scale track that stays at 1.
class GltfFigure {
public:
    GltfFigure() {
        times_ = {0.0f, 0.5f, 1.0f};
        head_times_ = {0.0f, 0.6f, 1.0f};
        hips_ = {0, 0, 1, 0, 0.2f, 1.1f, 0, 0, 1};
        for (const double turns : {0.0, 0.1, -0.05}) {
            const auto q = make_turn(1, 0.5, 0.25, turns);
            spine_.insert(spine_.end(), q.begin(), q.end());
        }
        for (const double turns : {0.02, -0.15, 0.02}) {
            const auto q = make_turn(0, 0, 1, turns);
            head_.insert(head_.end(), q.begin(), q.end());
        }
        for (int bone = 0; bone < 3; ++bone) {
            for (int i = 0; i < 16; ++i) {
                binds_.push_back(i % 5 == 0 ? 1.0f : 0.0f);
            }
            binds_[bone * 16 + 12] = 0.1f * bone;
            binds_[bone * 16 + 14] = -1.0f - 0.5f * bone;
        }
        std::vector<uint8_t> buffer;
        Json views = Json::array(), accessors = Json::array();
        auto add = [&](const std::vector<float>& values, const char* type, size_t count) {
            const size_t offset = buffer.size();
            buffer.resize(offset + values.size() * 4);
            std::memcpy(buffer.data() + offset, values.data(), values.size() * 4);
            views.push_back({{"buffer", 0}, {"byteOffset", offset}, {"byteLength", values.size() * 4}});
            accessors.push_back(
                {{"bufferView", views.size() - 1}, {"componentType", 5126}, {"count", count}, {"type", type}});
            return accessors.size() - 1;
        };
        const size_t bind_accessor = add(binds_, "MAT4", 3);
        const size_t times = add(times_, "SCALAR", 3);
        const size_t head_times = add(head_times_, "SCALAR", 3);
        const size_t hips = add(hips_, "VEC3", 3);
        const size_t spine = add(spine_, "VEC4", 3);
        const size_t head = add(head_, "VEC4", 3);
        const size_t scale = add({1, 1, 1, 1, 1, 1, 1, 1, 1}, "VEC3", 3);
        const auto rest = make_turn(0, 0, 1, 0.0625);
        document_ = {{"asset", {{"version", "2.0"}}},
                     {"nodes",
                      {{{"name", "hips"}, {"translation", {0, 0, 1}}, {"children", {1}}},
                       {{"name", "spine"}, {"translation", {0, 0.5, 0}}, {"rotation", rest}, {"children", {2}}},
                       {{"name", "head"}, {"translation", {0, 0.5, 0}}},
                       {{"name", "figure"}, {"translation", {5, 5, 5}}, {"children", {0}}}}},
                     {"skins", {{{"name", "body"}, {"joints", {0, 1, 2}}, {"inverseBindMatrices", bind_accessor}}}},
                     {"animations",
                      {{{"name", "walk"},
                        {"samplers",
                         {{{"input", times}, {"output", hips}},
                          {{"input", times}, {"output", spine}, {"interpolation", "LINEAR"}},
                          {{"input", head_times}, {"output", head}},
                          {{"input", times}, {"output", scale}}}},
                        {"channels",
                         {{{"sampler", 0}, {"target", {{"node", 0}, {"path", "translation"}}}},
                          {{"sampler", 1}, {"target", {{"node", 1}, {"path", "rotation"}}}},
                          {{"sampler", 2}, {"target", {{"node", 2}, {"path", "rotation"}}}},
                          {{"sampler", 3}, {"target", {{"node", 2}, {"path", "scale"}}}}}}}}},
                     {"accessors", accessors},
                     {"bufferViews", views},
                     {"buffers",
                      {{{"byteLength", buffer.size()},
                        {"uri", "data:application/octet-stream;base64," + encode_base64(buffer)}}}}};
    }

    Json document_;
    std::vector<float> times_, head_times_, hips_, spine_, head_, binds_;
};

bool load(const Json& document, GltfDocument* out, std::string* error) {
    return load_gltf_text(document.dump(), ".", "figure.gltf", out, error);
}

// Linear keys in double: positions lerp, rotations slerp the shorter way.
std::array<double, 4> sample_keys(const std::vector<float>& times, const std::vector<float>& values, int lanes,
                                  double t) {
    size_t key = 0;
    while (key + 2 < times.size() && t >= times[key + 1]) {
        ++key;
    }
    const double u = std::clamp((t - times[key]) / (times[key + 1] - times[key]), 0.0, 1.0);
    std::array<double, 4> a{}, b{}, out{};
    for (int lane = 0; lane < lanes; ++lane) {
        a[lane] = values[key * lanes + lane];
        b[lane] = values[(key + 1) * lanes + lane];
    }
    if (lanes == 3) {
        for (int lane = 0; lane < 3; ++lane) {
            out[lane] = a[lane] + (b[lane] - a[lane]) * u;
        }
        return out;
    }
    double cosine = a[0] * b[0] + a[1] * b[1] + a[2] * b[2] + a[3] * b[3];
    const double sign = cosine < 0 ? -1 : 1;
    const double angle = std::acos(std::min(1.0, std::fabs(cosine)));
    const double wa = angle > 1e-9 ? std::sin((1 - u) * angle) / std::sin(angle) : 1 - u;
    const double wb = angle > 1e-9 ? std::sin(u * angle) / std::sin(angle) : u;
    for (int lane = 0; lane < 4; ++lane) {
        out[lane] = wa * a[lane] + sign * wb * b[lane];
    }
    return out;
}

MatrixD make_local(const std::array<double, 4>& q, const std::array<double, 4>& t) {
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    const double x = q[0] / length, y = q[1] / length, z = q[2] / length, w = q[3] / length;
    MatrixD m{};
    m[0] = {1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y), 0};
    m[1] = {2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x), 0};
    m[2] = {2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y), 0};
    m[3] = {t[0], t[1], t[2], 1};
    return m;
}

MatrixD product(const MatrixD& a, const MatrixD& b) {
    MatrixD p{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                p[i][j] += a[i][k] * b[k][j];
            }
        }
    }
    return p;
}

TEST(GltfImportTest, ImportedPosesMatchTheFileThroughLoopsAndBackwardMoves) {
    GltfFigure figure;
    GltfDocument document;
    std::string error;
    ASSERT_TRUE(load(figure.document_, &document, &error)) << error;
    ImportedSkeleton skeleton;
    ASSERT_TRUE(import_gltf_skin(document, "body", &skeleton, &error)) << error;
    ASSERT_EQ(skeleton.bones.size(), 3u);
    EXPECT_EQ(skeleton.bones[0].parent, animation::no_parent);  // "figure" is no joint
    EXPECT_EQ(skeleton.bones[2].parent, 1u);
    EXPECT_EQ(skeleton.bones[1].key, get_joint_key("spine"));
    animation::AnimationDescription walk;
    ASSERT_TRUE(import_gltf_animation(document, skeleton, "walk", {}, &walk, &error)) << error;
    EXPECT_EQ(walk.duration, 100000u);
    EXPECT_EQ(walk.frame_count, 31u);
    ASSERT_EQ(walk.channels.size(), 3u);

    std::vector<uint8_t> skeleton_bytes, animation_bytes;
    ASSERT_TRUE(animation::build_skeleton_resource(skeleton.bones, {}, skeleton.bind_matrices, &skeleton_bytes, &error))
        << error;
    ASSERT_TRUE(animation::build_animation_resource(walk, &animation_bytes, &error)) << error;
    const animation::SkeletonView skeleton_view{skeleton_bytes.data(),
                                                animation::read_skeleton_header(skeleton_bytes.data())};
    const animation::AnimationView animation_view{animation_bytes.data(),
                                                  animation::read_animation_header(animation_bytes.data())};
    animation::KeyEntry keys[animation::maximum_skeleton_channels];
    uint8_t map[animation::maximum_skeleton_channels];
    animation::bind_channels(keys, animation::read_skeleton_keys(skeleton_view, keys), animation_view, 3, map);

    // Single precision against double, through resampling: a few units of
    // the last place on values of size 1.
    constexpr double tolerance = 5e-5;
    animation::PlaybackPosition playback;
    const int64_t moves[] = {0, 25000, 50000, 40000, -30000, -50000, 100000, -1, 1, 99999, -123456};
    for (const int64_t move : moves) {
        animation::move_position(playback, walk.duration, true, move);
        SCOPED_TRACE(testing::Message() << "at tick " << playback.position);
        animation::MixedBone pose[3];
        animation::clear_pose(pose, 3);
        animation::sample_pose(animation_view, map, playback.position, 0, 3, pose, skeleton_view, 3,
                               animation::sampling_mode::absolute);
        animation::BoneWorldTransform world[3];
        for (int bone = 0; bone < 3; ++bone) {
            if (bone == 0) {
                world[0] = {pose[0].position, geometry::normalize(pose[0].rotation)};
            } else {
                world[bone] = {
                    world[bone - 1].position + geometry::rotate(world[bone - 1].rotation, pose[bone].position),
                    geometry::normalize(world[bone - 1].rotation * pose[bone].rotation)};
            }
        }
        animation::PoseBuffer buffer;
        animation::write_skinning_matrices(skeleton_view, world, 1.0f, &buffer);

        const double t = playback.position / 100000.0;
        const auto hips = sample_keys(figure.times_, figure.hips_, 3, t);
        const std::array<double, 4> identity{0, 0, 0, 1};
        MatrixD reference_world[3];
        reference_world[0] = make_local(identity, hips);
        reference_world[1] =
            product(make_local(sample_keys(figure.times_, figure.spine_, 4, t), {0, 0.5, 0, 1}), reference_world[0]);
        reference_world[2] = product(make_local(sample_keys(figure.head_times_, figure.head_, 4, t), {0, 0.5, 0, 1}),
                                     reference_world[1]);
        for (int bone = 0; bone < 3; ++bone) {
            MatrixD bind{};
            for (int i = 0; i < 16; ++i) {
                bind[i / 4][i % 4] = figure.binds_[bone * 16 + i];
            }
            const MatrixD skinning = product(bind, reference_world[bone]);
            for (int row = 0; row < 3; ++row) {
                for (int column = 0; column < 4; ++column) {
                    EXPECT_NEAR(buffer.bone_rows[bone][row][column], skinning[column][row], tolerance)
                        << "bone " << bone << " row " << row << " column " << column;
                }
            }
        }
    }
}

TEST(GltfImportTest, UnimportableAssetsAreRefusedByName) {
    struct Row {
        const char* name;
        std::function<void(Json&)> change;
        const char* message;
    };
    const Row rows[] = {
        {"no such skin", [](Json&) {}, "figure.gltf: no skin named \"arms\""},
        {"a scaled joint",
         [](Json& d) {
             d["nodes"][1]["scale"] = {2, 1, 1};
         },
         "joint \"spine\" is scaled"},
        {"a joint with a matrix",
         [](Json& d) {
             d["nodes"][2]["matrix"] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
             d["nodes"][2].erase("translation");
         },
         "joint \"head\" is placed by a matrix"},
        {"two joints of one name", [](Json& d) { d["nodes"][2]["name"] = "spine"; },
         "joint \"spine\" has the same key as joint \"spine\""},
        {"bind matrices too few", [](Json& d) { d["accessors"][0]["count"] = 2; },
         "fewer inverse bind matrices than joints"},
        {"bind matrices past the buffer", [](Json& d) { d["accessors"][0]["byteOffset"] = 64; },
         "inverse bind matrices: figure.gltf: accessor 0: runs past its buffer"},
        {"a plain node between joints",
         [](Json& d) {
             d["nodes"][1]["children"] = {4};
             d["nodes"].push_back({{"name", "neck"}, {"children", {2}}});
         },
         "joint \"head\" hangs from joint \"spine\" through node \"neck\", which is no joint"},
        {"a repeated joint",
         [](Json& d) {
             d["skins"][0]["joints"] = {0, 1, 1};
         },
         "names a missing or repeated node"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GltfFigure figure;
        row.change(figure.document_);
        GltfDocument document;
        std::string error;
        ImportedSkeleton skeleton;
        const bool loaded = load(figure.document_, &document, &error);
        EXPECT_FALSE(loaded && import_gltf_skin(document, row.name == std::string("no such skin") ? "arms" : "",
                                                &skeleton, &error));
        EXPECT_NE(error.find(row.message), std::string::npos) << error;
    }
}

TEST(GltfImportTest, UnimportableAnimationsAreRefusedByName) {
    struct Row {
        const char* name;
        std::function<void(Json&)> change;
        const char* message;
    };
    const Row rows[] = {
        {"no such animation", [](Json& d) { d["animations"][0]["name"] = "run"; }, "no animation named \"walk\""},
        {"times that go back",
         [](Json& d) {
             d["accessors"][1]["byteOffset"] = 4;
             d["accessors"][1]["count"] = 2;
         },
         "channel 0 (hips translation): the values do not match the key times"},
        {"a scale animated away from 1", [](Json& d) { d["animations"][0]["samplers"][3]["output"] = 3; },
         "channel 3 (head scale): bones carry no scale"},
        {"a missing sampler", [](Json& d) { d["animations"][0]["channels"][1]["sampler"] = 9; },
         "channel 1 (spine rotation): names a missing sampler"},
        {"rotations read as positions", [](Json& d) { d["animations"][0]["samplers"][1]["output"] = 3; },
         "channel 1 (spine rotation): figure.gltf: accessor 3: holds 3 components, not 4"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        GltfFigure figure;
        row.change(figure.document_);
        GltfDocument document;
        std::string error;
        ImportedSkeleton skeleton;
        animation::AnimationDescription walk;
        ASSERT_TRUE(load(figure.document_, &document, &error)) << error;
        ASSERT_TRUE(import_gltf_skin(document, "", &skeleton, &error)) << error;
        EXPECT_FALSE(import_gltf_animation(document, skeleton, "walk", {}, &walk, &error));
        EXPECT_NE(error.find(row.message), std::string::npos) << error;
    }
}

TEST(GltfImportTest, JointInfluencesAreLimitedAndRenormalised) {
    const JointInfluence five[] = {{3, 0.1f}, {7, 0.4f}, {1, 0.1f}, {2, 0.3f}, {9, 0.1f}};
    JointInfluence out[5];
    ASSERT_EQ(limit_joint_influences(five, 5, 4, out), 4u);
    const uint16_t joints[] = {7, 2, 1, 3};
    for (int index = 0; index < 4; ++index) {
        EXPECT_EQ(out[index].joint, joints[index]);
    }
    EXPECT_FLOAT_EQ(out[0].weight, 0.4f / 0.9f);
    EXPECT_FLOAT_EQ(out[3].weight, 0.1f / 0.9f);

    const JointInfluence sparse[] = {{4, 0.0f}, {5, 0.25f}, {6, -1.0f}, {8, std::nanf("")}};
    ASSERT_EQ(limit_joint_influences(sparse, 4, 4, out), 1u);
    EXPECT_EQ(out[0].joint, 5);
    EXPECT_FLOAT_EQ(out[0].weight, 1.0f);
}

class AnimationDescriptionTest : public ::testing::Test {
protected:
    void SetUp() override { std::ofstream(folder_.get_path("figure.gltf")) << GltfFigure().document_.dump(); }
    bool compile(const Json& description, std::vector<AnimationResource>* out, std::string* error) {
        return compile_animation_description(description.dump(), folder_.get_path("animations.json"), out, error);
    }

    test::TemporaryFolder folder_;
};

TEST_F(AnimationDescriptionTest, BuildsCheckedSkeletonAndAnimationResources) {
    const Json description = {
        {"skeletons", {{{"id", "0x5A100001"}, {"gltf", "figure.gltf"}, {"skin", "body"}}}},
        {"animations",
         {{{"id", "0x5A200001"},
           {"gltf", "figure.gltf"},
           {"animation", "walk"},
           {"frames_per_second", 10},
           {"events", {{{"time", 1.0}, {"id", 8}}, {{"time", 0.5}, {"id", 7}, {"data", {1, "0xFFFFFFFF"}}}}}}}}};
    std::vector<AnimationResource> resources;
    std::string error;
    ASSERT_TRUE(compile(description, &resources, &error)) << error;
    ASSERT_EQ(resources.size(), 2u);
    EXPECT_EQ(resources[0].id, 0x5A100001u);
    EXPECT_TRUE(
        animation::check_skeleton_resource(resources[0].id, resources[0].data.data(), resources[0].data.size(), &error))
        << error;
    const std::vector<uint8_t>& walk = resources[1].data;
    ASSERT_TRUE(animation::check_animation_resource(resources[1].id, walk.data(), walk.size(), &error)) << error;
    const animation::AnimationView view{walk.data(), animation::read_animation_header(walk.data())};
    EXPECT_EQ(view.header.frame_count, 11u);
    ASSERT_EQ(view.header.event_count, 2u);
    const animation::AnimationEvent first = animation::read_animation_event(view, 0);
    EXPECT_EQ(first.time, 50000u);
    EXPECT_EQ(first.id, 7u);
    EXPECT_EQ(first.data[1], 0xFFFFFFFFu);
    EXPECT_EQ(animation::read_animation_event(view, 1).time, 100000u);
}

TEST_F(AnimationDescriptionTest, BrokenEntriesAreRefusedByName) {
    const Json skeleton = {{"id", 1}, {"gltf", "figure.gltf"}};
    const Json walk = {{"id", 2}, {"gltf", "figure.gltf"}, {"animation", "walk"}};
    struct Row {
        const char* name;
        Json description;
        const char* message;
    };
    Json late_event = walk;
    late_event["events"] = {{{"time", 1.5}, {"id", 3}}};
    Json bad_rate = walk;
    bad_rate["frames_per_second"] = 0;
    Json missing_file = skeleton;
    missing_file["gltf"] = "nobody.gltf";
    Json bad_key = skeleton;
    bad_key["scale"] = 2;
    Json big_event = walk;
    big_event["events"] = {{{"time", 0}, {"id", "0x4000000"}}};
    const Row rows[] = {
        {"an unknown key", {{"skeletons", {bad_key}}}, "animations.json: skeletons 0: \"scale\": unknown key"},
        {"an id used twice",
         {{"skeletons", {skeleton}}, {"animations", {walk, walk}}},
         "animations 1: \"id\": the resource id is used twice"},
        {"a missing glTF file", {{"skeletons", {missing_file}}}, "nobody.gltf: not a glTF asset"},
        {"an event after the end", {{"animations", {late_event}}}, "animations 0: event after the end"},
        {"a rate of 0", {{"animations", {bad_rate}}}, "\"frames_per_second\": expected a number above 0"},
        {"an event id too large", {{"animations", {big_event}}}, "event 0: \"id\": expected an event id"},
        {"no animation name", {{"animations", {skeleton}}}, "animations 0: \"animation\": missing"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<AnimationResource> resources;
        std::string error;
        EXPECT_FALSE(compile(row.description, &resources, &error));
        EXPECT_NE(error.find(row.message), std::string::npos) << error;
    }
}

// The sample's figure: every joint the walk moves binds to the skeleton, and
// the footstep events lie inside the cycle.
TEST(SampleFigureTest, TheFigureBuildsASkeletonItsCyclesBindTo) {
    std::vector<AnimationResource> resources;
    std::string error;
    ASSERT_TRUE(compile_animation_description_file(std::string(ZOLT_CONTENT_SOURCE_PATH) + "/figure/animations.json",
                                                   &resources, &error))
        << error;
    ASSERT_EQ(resources.size(), 3u);
    const animation::SkeletonView skeleton{resources[0].data.data(),
                                           animation::read_skeleton_header(resources[0].data.data())};
    EXPECT_EQ(skeleton.header.bone_count, 12u);
    animation::KeyEntry keys[animation::maximum_skeleton_channels];
    const uint32_t key_count = animation::read_skeleton_keys(skeleton, keys);
    const uint32_t durations[] = {200000, 100000};
    const uint32_t channel_counts[] = {5, 10};
    for (int cycle = 0; cycle < 2; ++cycle) {
        const std::vector<uint8_t>& bytes = resources[1 + cycle].data;
        ASSERT_TRUE(animation::check_animation_resource(resources[1 + cycle].id, bytes.data(), bytes.size(), &error))
            << error;
        const animation::AnimationView view{bytes.data(), animation::read_animation_header(bytes.data())};
        EXPECT_EQ(view.header.duration, durations[cycle]);
        EXPECT_EQ(view.header.key_count, channel_counts[cycle]);
        uint8_t map[animation::maximum_skeleton_channels];
        animation::bind_channels(keys, key_count, view, key_count, map);
        uint32_t bound = 0;
        for (uint32_t channel = 0; channel < key_count; ++channel) {
            bound += map[channel] != animation::unbound_channel ? 1 : 0;
        }
        EXPECT_EQ(bound, channel_counts[cycle]);
    }
    const animation::AnimationView walk{resources[2].data.data(),
                                        animation::read_animation_header(resources[2].data.data())};
    ASSERT_EQ(walk.header.event_count, 2u);
    EXPECT_EQ(animation::read_animation_event(walk, 0).time, 25000u);
    EXPECT_EQ(animation::read_animation_event(walk, 1).time, 75000u);
}

}  // namespace
}  // namespace zolt::tools

#include "zolt/core/script_objects/motion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/builtin_call.h"
#include "support/byte_streams.h"
#include "support/child_process.h"
#include "zolt/core/resources/resource_fixture.h"
#include "zolt/core/script/interpreter_vector.h"
#include "zolt/core/script_objects/motion_server.h"

namespace zolt::core {
namespace {

using test::ResourceBytes;

constexpr uint32_t motion_id = motion_resource_base + 1;
constexpr uint32_t broken_id = motion_resource_base + 2;

struct Key {
    float time;
    uint32_t flags;
    float a[4];
    float d[4];
};

// Curves: 0 the constant 7.5; 1 polynomial, 1 + 2t on [0, 1) and
// 3 + (t - 1)² on [1, 2), -1 before and 99 after; 2 parametric with the
// normalised time as parameter, (t / 2)³; 3 parametric, time s² and value s,
// so sqrt(t / 4); 4 parametric, time 3s² - 2s³ and value s on [0, 4];
// 5 polynomial with keys out of order (for the broken resource only).
test::Bytes build_motion(bool broken) {
    ResourceBytes motion;
    motion.add_u32(0);
    uint32_t entries[6];
    for (uint32_t& entry : entries) {
        entry = motion.add_u32(0);
    }
    const auto add_header = [&](uint32_t entry, uint32_t kind, uint32_t count, float start, float end, float before,
                                float after) {
        motion.set_u32(entry, motion.size());
        motion.add_u32(kind);
        motion.add_u32(count);
        motion.add_f32(start);
        motion.add_f32(end);
        motion.add_f32(before);
        motion.add_f32(after);
    };
    motion.set_u32(entries[0], motion.size());
    motion.add_u32(motion_curve_kind::constant);
    motion.add_f32(7.5f);
    for (int word = 0; word < 4; ++word) {
        motion.add_f32(0);
    }
    add_header(entries[1], motion_curve_kind::polynomial, 3, 0, 2, -1, 99);
    for (const auto& key : {std::array<float, 5>{0, 1, 2, 0, 0}, {1, 3, 0, 1, 0}, {2, 4, 0, 0, 0}}) {
        for (const float word : key) {
            motion.add_f32(word);
        }
    }
    const auto add_parametric = [&](uint32_t entry, float end, std::initializer_list<Key> keys) {
        add_header(entry, 2, static_cast<uint32_t>(keys.size()), 0, end, 0, 1);
        for (const Key& key : keys) {
            motion.add_f32(key.time);
            motion.add_u32(key.flags);
            for (const float word : key.a) {
                motion.add_f32(word);
            }
            for (const float word : key.d) {
                motion.add_f32(word);
            }
        }
    };
    add_parametric(entries[2], 2, {{0, 1, {0, 1, 0, 0}, {0, 0, 0, 1}}, {2, 1, {}, {}}});
    add_parametric(entries[3], 4, {{0, 0, {0, 0, 1, 0}, {0, 1, 0, 0}}, {4, 0, {}, {}}});
    add_parametric(entries[4], 4, {{0, 0, {0, 0, 3, -2}, {0, 1, 0, 0}}, {4, 0, {}, {}}});
    if (broken) {
        add_header(entries[5], motion_curve_kind::polynomial, 3, 0, 0.5f, 0, 0);
        for (const float time : {0.0f, 1.0f, 0.5f}) {
            motion.add_f32(time);
            for (int word = 0; word < 4; ++word) {
                motion.add_f32(0);
            }
        }
    }
    return motion.get_bytes();
}

uint32_t make_argument(uint32_t resource, uint32_t first_curve, uint32_t channels, bool looping) {
    return (resource - motion_resource_base) << 16 | first_curve | (channels - 1) << 12 | (looping ? 1u : 0u) << 14;
}

class Motions : public ::testing::Test {
protected:
    Motions() : resources_({{motion_id, build_motion(false)}, {broken_id, build_motion(true)}}) {
        motion_server.register_server();
    }
    ~Motions() override { motion_server.unregister_server(); }

    Motion* create(uint32_t first_curve, uint32_t channels, bool looping) {
        return static_cast<Motion*>(
            motion_server.create_object_internal(make_argument(motion_id, first_curve, channels, looping)));
    }

    test::RegisteredResources resources_;
};

TEST(MotionCreation, TheArgumentNamesResourceCurvesAndLooping) {
    const struct {
        uint32_t argument;
        MotionCreation expected;
    } cases[] = {{0x00021003, {0x60000002, 3, 2, false}},
                 {0x00025003, {0x60000002, 3, 2, true}},
                 {0x00004000, {0x60000000, 0, 1, true}},
                 {0xFFFFFFFF, {0x6000FFFF, 0xFFF, 4, true}}};
    for (const auto& row : cases) {
        const MotionCreation creation = decode_motion_creation(row.argument);
        EXPECT_EQ(creation.resource_id, row.expected.resource_id) << row.argument;
        EXPECT_EQ(creation.first_curve, row.expected.first_curve) << row.argument;
        EXPECT_EQ(creation.channel_count, row.expected.channel_count) << row.argument;
        EXPECT_EQ(creation.is_looping, row.expected.is_looping) << row.argument;
    }
}

TEST_F(Motions, EveryCurveKindAgreesWithItsClosedForm) {
    Motion* const motion = create(1, 4, false);
    EXPECT_EQ(motion->get_duration(), 4.0f);
    for (float t = 0.0f; t <= 4.0f; t += 1.0f / 32.0f) {
        motion->set_time(t);
        const float polynomial = t <= 0 ? -1.0f : t >= 2 ? 99.0f : t < 1 ? 1 + 2 * t : 3 + (t - 1) * (t - 1);
        EXPECT_NEAR(motion->get_value(0), polynomial, 1e-5f) << t;
        const float cubed = t <= 0 ? 0.0f : t >= 2 ? 1.0f : std::pow(t / 2, 3.0f);
        EXPECT_NEAR(motion->get_value(1), cubed, 1e-5f) << t;
        if (t > 0.01f && t < 4.0f) {
            EXPECT_NEAR(motion->get_value(2), std::sqrt(t / 4), 1e-4f) << t;
            // The parameter found for the smooth step gives back the time.
            const float s = motion->get_value(3);
            EXPECT_NEAR(3 * s * s - 2 * s * s * s, t / 4, 1e-4f) << t;
        }
    }
    // Backwards through the keys too, as the cursor searches below itself.
    for (float t = 1.9f; t > 0.0f; t -= 0.3f) {
        motion->set_time(t);
        EXPECT_NEAR(motion->get_value(0), t < 1 ? 1 + 2 * t : 3 + (t - 1) * (t - 1), 1e-5f) << t;
    }
}

TEST_F(Motions, TimesLoopOrClampByTheDuration) {
    const struct {
        bool looping;
        float given, expected;
    } cases[] = {{true, 5, 1}, {true, -0.5f, 1.5f}, {true, 2, 0}, {false, 5, 2}, {false, -1, 0}, {false, 1.25f, 1.25f}};
    for (const auto& row : cases) {
        Motion* const motion = create(1, 1, row.looping);
        motion->set_time(row.given);
        EXPECT_EQ(motion->get_time(), row.expected) << row.looping << " " << row.given;
        motion->set_time(std::nanf(""));
        EXPECT_EQ(motion->get_time(), row.expected);
        motion_server.destroy_object_internal(motion);
    }
    Motion* const constant = create(0, 1, true);
    constant->set_time(3);
    EXPECT_EQ(constant->get_time(), 0.0f);
    EXPECT_EQ(constant->get_value(0), 7.5f);
}

TEST_F(Motions, AdvancingMovesByTicksTimesRateAndReadsEvaluateLazily) {
    Motion* const motion = create(1, 2, false);
    motion->set_rate(0.5f);
    motion->set_time(0.25f);
    const float first = motion->get_value(0);
    EXPECT_EQ(motion->get_value(0), first);
    const uint32_t evaluations = motion->get_evaluation_count();
    EXPECT_EQ(evaluations, 1u);
    test::BuiltinCall().call(664, {100000});
    EXPECT_NEAR(motion->get_time(), 0.75f, 1e-6f);
    EXPECT_EQ(motion->get_evaluation_count(), evaluations);
    EXPECT_NEAR(motion->get_value(0), 2.5f, 1e-5f);
    motion->set_rate(0);
    test::BuiltinCall().call(664, {100000});
    test::BuiltinCall().call(664, {0});
    EXPECT_NEAR(motion->get_time(), 0.75f, 1e-6f);
    EXPECT_EQ(motion->get_evaluation_count(), evaluations + 1);
}

TEST_F(Motions, PropertiesReadTheChannelsAsScalarsVectorsColourAndRotation) {
    EXPECT_EQ(pack_motion_colour({1.5f, 0.5f, 0.0f, -1.0f}), 0x00FF7F00u);
    EXPECT_EQ(pack_motion_colour({std::nanf(""), 1.0f, 0.25f, 1.0f}), 0xFF00FF3Fu);

    Motion* const motion = create(1, 3, false);
    Property time;
    time.set_float(0x05000000, 1.5f);
    EXPECT_TRUE(motion->set_property(motion_property::time, time));
    const float values[] = {3.25f, std::pow(0.75f, 3.0f), std::sqrt(1.5f / 4.0f)};
    Property out;
    for (const uint32_t id : {0x050000A5u, 0x050000A6u, 0xA6u, 0x050000ABu}) {
        ASSERT_TRUE(motion->get_property(id, out)) << id;
        EXPECT_NEAR(out.get_float(), values[0], 1e-5f) << id;
    }
    ASSERT_TRUE(motion->get_property(0xAD, out));
    EXPECT_NEAR(out.get_float(), values[2], 1e-4f);
    ASSERT_TRUE(motion->get_property(0xAE, out));
    EXPECT_EQ(out.get_float(), 0.0f);
    ASSERT_TRUE(motion->get_property(0x300000A8, out));
    EXPECT_EQ(out.id, 0x30000000u);
    EXPECT_NEAR(out.get_float(1), values[1], 1e-5f);
    ASSERT_TRUE(motion->get_property(0xAA, out));
    const vector::Lanes rotation =
        vector::angles_to_quaternion(motion->get_value(0), motion->get_value(1), motion->get_value(2));
    for (int lane = 0; lane < 4; ++lane) {
        EXPECT_EQ(out.get_float(lane), rotation.value[lane]) << lane;
    }
    ASSERT_TRUE(motion->get_property(0x030000A5, out));
    EXPECT_EQ(out.get_u32(), pack_motion_colour({values[0], motion->get_value(1), motion->get_value(2), 0}));
    ASSERT_TRUE(motion->get_property(0xA4, out));
    EXPECT_EQ(out.get_float(), 4.0f);
    // The bare key 165 is the base's, which does not know it.
    EXPECT_FALSE(motion->get_property(0xA5, out));
}

TEST_F(Motions, BrokenCurvesAndASecondMotionAreFatal) {
    const struct {
        const char* name;
        uint32_t argument;
        const char* message;
    } cases[] = {
        {"keys out of order", make_argument(broken_id, 5, 1, false),
         "motion resource 0x60000002 is broken: curve 5 has keys out of time order"},
        {"a curve past the offsets", make_argument(broken_id, 0xFFF, 1, false),
         "motion resource 0x60000002 is broken: curve 4095 has no offset for the curve"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const test::ChildResult result =
            test::run_in_child([&] { motion_server.create_object_internal(row.argument); });
        EXPECT_EQ(result.exit_code, ExitCode::crash);
        EXPECT_NE(result.standard_error.find(row.message), std::string::npos) << result.standard_error;
    }
    const test::ChildResult second = test::run_in_child([this] {
        create(1, 4, false);
        create(1, 1, false);
    });
    EXPECT_NE(second.standard_error.find("can't allocate more objects in MotionServer"), std::string::npos);
}

TEST(MotionCurves, TheCubicSolveFindsTheRootInTheUnitInterval) {
    // Polynomials with known roots; only one lies in [0, 1] unless noted.
    const struct {
        float b0, b1, b2, b3;
        std::optional<float> root;
    } cases[] = {
        {-0.5f, 1, 0, 0, 0.5f},                                                  // linear
        {-2, 1, 0, 0, std::nullopt},                                             // linear, root 2
        {-0.25f, 0, 1, 0, 0.5f},                                                 // s² = 1/4, the other root -1/2
        {0.09f, -1, 1, 0, std::nullopt},                                         // roots 0.1 and 0.9 disagree
        {-0.3f, -0.7f, 1, 0, 1.0f},                                              // roots 1 and -0.3
        {0.3f * 2 * 3, -(0.3f * 2 + 0.3f * 3 + 2 * 3), 0.3f + 2 + 3, -1, 0.3f},  // roots 0.3, 2, 3
        {-0.7f, 0, 0, 1, std::cbrt(0.7f)},                                       // one real root
        {0, 0, 3, -2, 0.0f},                                                     // double root 0 and 1.5
        {-0.5f, 0, 3, -2, 0.5f},                                                 // smooth step 1/2
        {0.001f, 0, 0, 0, std::nullopt},                                         // no degree
        {1, 1, 1, 0, std::nullopt},                                              // no real root
    };
    for (const auto& row : cases) {
        const std::optional<float> root = solve_cubic_in_unit_interval(row.b0, row.b1, row.b2, row.b3);
        ASSERT_EQ(root.has_value(), row.root.has_value()) << row.b0 << " " << row.b1 << " " << row.b2 << " " << row.b3;
        if (root) {
            EXPECT_NEAR(*root, *row.root, 2e-4f) << row.b0 << " " << row.b1 << " " << row.b2 << " " << row.b3;
        }
    }
}

}  // namespace
}  // namespace zolt::core

namespace zolt::core {
namespace {

TEST_F(Motions, ASavedMotionLoadsBackAndABrokenRecordIsRefused) {
    Motion* const motion = create(1, 2, true);
    motion->set_time(1.5f);
    motion->set_rate(0.25f);
    test::ByteSaveStream saved;
    motion->save(saved);
    const test::Bytes bytes = saved.get_bytes();
    ASSERT_EQ(bytes.size(), 4u * 8 + 1);
    EXPECT_EQ(bytes[20], 1);  // looping
    const float value = motion->get_value(0);

    motion->set_time(0.25f);
    motion->set_rate(0);
    test::ByteLoadStream loaded(test::Bytes(bytes.begin() + 4, bytes.end()));
    ASSERT_TRUE(motion->load(loaded));
    EXPECT_EQ(motion->get_time(), 1.5f);
    EXPECT_EQ(motion->get_rate(), 0.25f);
    EXPECT_EQ(motion->get_value(0), value);

    for (const uint32_t offset : {16u, 21u}) {  // the channel count, then the resource object
        test::Bytes broken(bytes.begin() + 4, bytes.end());
        broken[offset - 4] = 9;
        test::ByteLoadStream stream(broken);
        EXPECT_FALSE(motion->load(stream)) << offset;
    }
}

}  // namespace
}  // namespace zolt::core

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "libs/geometry/turn_trigonometry.h"
#include "support/byte_streams.h"
#include "support/child_process.h"
#include "support/fake_clock.h"
#include "support/server_ring.h"
#include "zolt/builtins/builtin_dispatch.h"
#include "zolt/core/script_objects/random_generator.h"
#include "zolt/core/script_objects/random_generator_server.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {
namespace {

using geometry::Vector3;
using State = std::array<uint32_t, 4>;

State state_of(const RandomGenerator& generator) {
    return {generator.x, generator.y, generator.z, generator.w};
}

RandomGenerator make_generator(const State& state) {
    RandomGenerator generator;
    generator.x = state[0];
    generator.y = state[1];
    generator.z = state[2];
    generator.w = state[3];
    return generator;
}

// Solved so that the next draw is exactly this value: with x = 0 the draw is
// w ^ (w >> 19), whose inverse for a shift of 19 is the same expression.
RandomGenerator generator_about_to_draw(uint32_t value) {
    return make_generator({0, 1, 1, value ^ (value >> 19)});
}

constexpr State default_state = {0x12B9B0A1, 0x1033C4D6, 0x0EFF5AE1, 0x23F4085C};

TEST(RandomGenerator, ReproducesThePublishedXorshift128Sequence) {
    RandomGenerator generator = make_generator({123456789, 362436069, 521288629, 88675123});
    const std::vector<uint32_t> expected = {3701687786u, 458299110u,  2500872618u, 3633119408u, 516391518u,
                                            2377269574u, 2599949379u, 717229868u,  137866584u,  395339113u};
    for (uint32_t value : expected) {
        EXPECT_EQ(generator.next(), value);
    }
}

// Marsaglia's xor128 as published: four static words and one expression.
struct Xor128 {
    uint32_t x = 123456789, y = 362436069, z = 521288629, w = 88675123;
    uint32_t operator()() {
        uint32_t t = x ^ (x << 11);
        x = y;
        y = z;
        z = w;
        return w = (w ^ (w >> 19)) ^ (t ^ (t >> 8));
    }
};

TEST(RandomGenerator, FollowsTheReferenceRecurrenceFromThePublishedSeed) {
    Xor128 reference;
    RandomGenerator generator = make_generator({reference.x, reference.y, reference.z, reference.w});
    for (int i = 0; i < 100000; ++i) {
        ASSERT_EQ(generator.next(), reference()) << "draw " << i;
    }
    EXPECT_EQ(state_of(generator), (State{reference.x, reference.y, reference.z, reference.w}));
}

TEST(RandomGenerator, SeedingRuleReplacesOnlyTheWordsThatCameOutZero) {
    struct Case {
        uint32_t seed;
        State state;
    };
    const Case cases[] = {
        {0, default_state},
        {1, {1, 1, 1, 129}},
        {100000, {0x186A0, 0x1B774, 0x192D5, 0xC4D6A0}},
        {0xFFFFFFFF, {0xFFFFFFFF, 0x1FFFFFFE, 0x07FFFFFE, 0xFFFFFF7F}},
        // v + (v >> 3) wraps to 0: only y takes its default word.
        {0xE38E38E4, {0xE38E38E4, default_state[1], 0xEAAAAAAB, 0xAAAAAAE4}},
        // v + (v >> 5) wraps to 0: only z does.
        {0xF83E0F84, {0xF83E0F84, 0x1745D174, default_state[2], 0x1745D184}},
    };
    for (const Case& c : cases) {
        RandomGenerator generator = make_generator({7, 7, 7, 7});
        generator.seed(c.seed);
        EXPECT_EQ(state_of(generator), c.state) << c.seed;
    }
    EXPECT_EQ(state_of(RandomGenerator{}), default_state);
}

TEST(RandomGenerator, IntegerDrawsCoverTheSpanAndWrap) {
    RandomGenerator generator;
    RandomGenerator reference;
    // The full range is the draw itself.
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(generator.next_integer(0, 0xFFFFFFFF), reference.next());
    }
    // A one-value span still costs one draw.
    EXPECT_EQ(generator.next_integer(5, 5), 5u);
    reference.next();
    EXPECT_EQ(state_of(generator), state_of(reference));

    bool seen_low = false, seen_high = false;
    for (int i = 0; i < 2000; ++i) {
        const uint32_t value = generator.next_integer(10, 13);
        EXPECT_GE(value, 10u);
        EXPECT_LE(value, 13u);
        seen_low |= value == 10;
        seen_high |= value == 13;
        // High below low: the way up from low through 0 to high.
        const uint32_t wrapped = generator.next_integer(0xFFFFFFFE, 1);
        EXPECT_TRUE(wrapped >= 0xFFFFFFFE || wrapped <= 1) << wrapped;
    }
    EXPECT_TRUE(seen_low);
    EXPECT_TRUE(seen_high);

    // The extreme draws land on the ends of the span.
    RandomGenerator top = generator_about_to_draw(0xFFFFFFFF);
    EXPECT_EQ(top.next_integer(0xFFFFFFFE, 1), 1u);
    RandomGenerator bottom = generator_about_to_draw(0);
    EXPECT_EQ(bottom.next_integer(0xFFFFFFFE, 1), 0xFFFFFFFEu);
}

TEST(RandomGenerator, FloatDrawsReachTheirEnds) {
    struct Case {
        uint32_t draw;
        float inclusive;
        float exclusive;
        bool truth;
    };
    const Case cases[] = {
        {0, 0.0f, 0.0f, true},
        {0xFFFFFFFF, 1.0f, 1.0f - 0x1p-23f, false},
        {0x80000000, 0.5f, 0.5f, false},
        {0x7FFFFFFF, 0.5f, 0.5f - 0x1p-23f, true},
    };
    for (const Case& c : cases) {
        RandomGenerator generator = generator_about_to_draw(c.draw);
        ASSERT_EQ(RandomGenerator(generator).next(), c.draw);
        EXPECT_EQ(RandomGenerator(generator).next_float_inclusive(), c.inclusive) << c.draw;
        EXPECT_EQ(RandomGenerator(generator).next_float(), c.exclusive) << c.draw;
        EXPECT_EQ(RandomGenerator(generator).next_bool(), c.truth) << c.draw;
    }
}

bool is_unit(const Vector3& v) {
    return std::fabs(std::sqrt(geometry::length_squared(v)) - 1.0f) < 1e-5f;
}

TEST(RandomGenerator, SamplersStayInTheirShapes) {
    RandomGenerator generator;
    generator.seed(12345);
    for (int i = 0; i < 3000; ++i) {
        const Vector3 cube = generator.next_vector3_in_cube();
        EXPECT_TRUE(std::fabs(cube.x) <= 1 && std::fabs(cube.y) <= 1 && std::fabs(cube.z) <= 1);
        const Vector3 square = generator.next_vector2_in_square();
        EXPECT_TRUE(std::fabs(square.x) <= 1 && std::fabs(square.y) <= 1 && square.z == 0);

        EXPECT_TRUE(is_unit(random_unit_vector3(generator)));
        const Vector3 flat = random_unit_vector2(generator);
        EXPECT_TRUE(is_unit(flat) && flat.z == 0);

        const Vector3 ellipsoid = random_vector3_in_ellipsoid({0.5f, 1.0f, 0.25f}, generator);
        EXPECT_LE(ellipsoid.x * ellipsoid.x / 0.25f + ellipsoid.y * ellipsoid.y + ellipsoid.z * ellipsoid.z / 0.0625f,
                  1.0f + 1e-5f);
        const Vector3 ellipse = random_vector2_in_ellipse(0.5f, 0.25f, generator);
        EXPECT_LE(ellipse.x * ellipse.x / 0.25f + ellipse.y * ellipse.y / 0.0625f, 1.0f + 1e-5f);
    }
}

TEST(RandomGenerator, EllipsoidWiderThanTheCubeTakesTheFirstCubePointUnscaled) {
    RandomGenerator generator;
    generator.seed(99);
    RandomGenerator reference = generator;
    const Vector3 point = random_vector3_in_ellipsoid({2, 2, 2}, generator);
    const Vector3 cube = reference.next_vector3_in_cube();
    EXPECT_EQ(point.x, cube.x);
    EXPECT_EQ(point.y, cube.y);
    EXPECT_EQ(point.z, cube.z);
    EXPECT_EQ(state_of(generator), state_of(reference));
}

TEST(RandomGenerator, ConeDirectionsStayWithinTheAngleOfTheDirection) {
    RandomGenerator generator;
    generator.seed(777);
    struct Case {
        Vector3 direction;
        float angle;
    };
    const Case cases[] = {
        {{0, 0, 1}, 0.05f}, {{3, 0, 0}, 0.125f}, {{0, -2, 0}, 0.25f}, {{1, 2, -3}, 0.01f}, {{1, 1, 0}, 0.5f},
    };
    for (const Case& c : cases) {
        const Vector3 axis = c.direction * (1.0f / std::sqrt(geometry::length_squared(c.direction)));
        const float cos_limit = geometry::cos_turns(c.angle);
        float largest_tilt_cos = 1;
        for (int i = 0; i < 500; ++i) {
            const Vector3 v = random_direction_in_cone(c.angle, generator, c.direction);
            ASSERT_TRUE(is_unit(v));
            const float tilt_cos = geometry::dot(v, axis);
            EXPECT_GE(tilt_cos, cos_limit - 1e-4f);
            largest_tilt_cos = std::fmin(largest_tilt_cos, tilt_cos);
        }
        // The tilt reaches out towards the edge of the cone.
        EXPECT_LT(largest_tilt_cos, geometry::cos_turns(c.angle * 0.8f));
    }
    // A zero direction has no cone: a neutral zero, not a NaN.
    const Vector3 zero = random_direction_in_cone(0.1f, generator, {0, 0, 0});
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);
}

struct Double3 {
    double x, y, z;
};

Double3 add(const Double3& a, const Double3& b, double s) {
    return {a.x + b.x * s, a.y + b.y * s, a.z + b.z * s};
}

double dot3(const Double3& a, const Double3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Double3 unit(const Double3& v) {
    const double size = std::sqrt(dot3(v, v));
    return {v.x / size, v.y / size, v.z / size};
}

// Rodrigues: p turned by angle radians about the unit axis k.
Double3 turned(const Double3& p, const Double3& k, double angle) {
    const Double3 k_cross_p = {k.y * p.z - k.z * p.y, k.z * p.x - k.x * p.z, k.x * p.y - k.y * p.x};
    Double3 result = {p.x * std::cos(angle), p.y * std::cos(angle), p.z * std::cos(angle)};
    result = add(result, k_cross_p, std::sin(angle));
    return add(result, k, dot3(k, p) * (1 - std::cos(angle)));
}

// The cone direction in double from the two draws it takes: a tilt of b x
// angle turns about an axis across e chosen by e's smallest component, then
// a spin about e. The spin quaternion (e sin(d/2), cos(d/2)) is not of unit
// length when e is not, and turns by 2 atan2(|e| sin(d/2), cos(d/2)).
Double3 cone_reference(double angle, double b, double d, const Double3& e) {
    const double ax = std::fabs(e.x), ay = std::fabs(e.y), az = std::fabs(e.z);
    const Double3 h = ay < ax && ay < az    ? Double3{-e.z, 0, e.x}
                      : ax <= ay && ax < az ? Double3{0, e.z, -e.y}
                                            : Double3{-e.y, e.x, 0};
    const double turn = 2 * geometry::pi;
    const Double3 e1 = turned(e, unit(h), turn * b * angle);
    const double half_spin = turn * d / 2;
    const double spin = 2 * std::atan2(std::sqrt(dot3(e, e)) * std::sin(half_spin), std::cos(half_spin));
    return unit(turned(e1, unit(e), spin));
}

TEST(RandomGenerator, ConeDirectionsFollowTheTiltAndSpinOfTheirDraws) {
    struct Case {
        Vector3 direction;
        float angle;
    };
    const Case cases[] = {
        {{0, 0, 1}, 0.1f}, {{3, 0, 0}, 0.3f}, {{1, 2, -3}, 0.05f}, {{2, 0.5f, 1}, 0.5f}, {{0.6f, 0, -0.8f}, 0.2f},
    };
    RandomGenerator generator;
    generator.seed(4242);
    for (const Case& c : cases) {
        const Double3 e = {c.direction.x, c.direction.y, c.direction.z};
        for (int i = 0; i < 50; ++i) {
            RandomGenerator draws = generator;
            const double b = draws.next_float_inclusive();
            const double d = draws.next_float();
            const Vector3 v = random_direction_in_cone(c.angle, generator, c.direction);
            ASSERT_EQ(state_of(generator), state_of(draws));
            const Double3 expected = cone_reference(c.angle, b, d, e);
            EXPECT_NEAR(v.x, expected.x, 2e-6) << c.angle;
            EXPECT_NEAR(v.y, expected.y, 2e-6) << c.angle;
            EXPECT_NEAR(v.z, expected.z, 2e-6) << c.angle;
        }
    }
}

// The server is global; each test registers it and leaves the ring empty.
class RandomGeneratorServerTest : public ::testing::Test {
protected:
    RandomGeneratorServerTest() {
        saved_global_ = state_of(global_random_generator);
        random_generator_server.register_server();
    }
    ~RandomGeneratorServerTest() override {
        test::unregister_all_servers();
        global_random_generator = make_generator(saved_global_);
    }

    State saved_global_;
};

TEST_F(RandomGeneratorServerTest, EngineStartSeedsTheGlobalGeneratorFromTheTimeBase) {
    test::FakeClock clock(54321);
    random_generator_server.seed_global_generator();
    RandomGenerator expected;
    expected.seed(5432100);
    EXPECT_EQ(state_of(global_random_generator), state_of(expected));
}

TEST_F(RandomGeneratorServerTest, OneObjectSeededByItsCreationArgument) {
    ServerObject* const object = random_generator_server.create_object_internal(0);
    EXPECT_EQ(object->get_handle(), 0x04900000u);
    auto* generator_object = static_cast<RandomGeneratorObject*>(object);
    EXPECT_EQ(state_of(generator_object->get_generator()), default_state);
    ServerStatistics statistics{};
    ASSERT_TRUE(random_generator_server.get_statistics(statistics));
    EXPECT_EQ(statistics.live_count, 1u);
    EXPECT_EQ(statistics.capacity, 1u);
    EXPECT_EQ(random_generator_server.get_capacity(), 1u);

    random_generator_server.destroy_object_internal(object);
    ServerObject* const seeded = random_generator_server.create_object_internal(1);
    EXPECT_EQ(state_of(static_cast<RandomGeneratorObject*>(seeded)->get_generator()), (State{1, 1, 1, 129}));
}

TEST_F(RandomGeneratorServerTest, SecondObjectIsTheFullPoolFailure) {
    random_generator_server.create_object_internal(0);
    const test::ChildResult result = test::run_in_child([] { random_generator_server.create_object_internal(0); });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("zolt: fatal error: can't allocate more objects in RandomGeneratorServer"),
              std::string::npos)
        << result.standard_error;
}

TEST_F(RandomGeneratorServerTest, PropertiesDrawAndSeed) {
    ServerObject* const object = random_generator_server.create_object_internal(42);
    RandomGenerator reference;
    reference.seed(42);
    Property out;
    ASSERT_TRUE(object->get_property(49, out));
    EXPECT_EQ(out.id, 0x03000000u);
    EXPECT_EQ(out.get_u32(), reference.next());
    ASSERT_TRUE(object->get_property(random_generator_property::draw, out));
    EXPECT_EQ(out.get_u32(), reference.next());
    ASSERT_TRUE(object->get_property(50, out));
    EXPECT_EQ(out.id, 0x05000000u);
    EXPECT_EQ(out.get_float(), reference.next_float_inclusive());
    ASSERT_TRUE(object->get_property(random_generator_property::float_exclusive, out));
    EXPECT_EQ(out.get_float(), reference.next_float());
    // Base properties still answer.
    ASSERT_TRUE(object->get_property(base_property::handle, out));
    EXPECT_EQ(out.get_u32(), object->get_handle());

    Property seed;
    seed.set_u32(random_generator_property::seed, 1);
    EXPECT_TRUE(object->set_property(random_generator_property::seed, seed));
    EXPECT_EQ(state_of(static_cast<RandomGeneratorObject*>(object)->get_generator()), (State{1, 1, 1, 129}));
    seed.set_u32(48, 0);
    EXPECT_TRUE(object->set_property(48, seed));
    EXPECT_EQ(state_of(static_cast<RandomGeneratorObject*>(object)->get_generator()), default_state);
}

void save_world() {
    storage::MemorySaveStream stream;
    ASSERT_TRUE(stream.open(0));
    save_all_servers(stream);
    ASSERT_TRUE(stream.finish());
}

TEST_F(RandomGeneratorServerTest, LoadedGameContinuesBothSequences) {
    global_random_generator.seed(2024);
    auto* object = static_cast<RandomGeneratorObject*>(random_generator_server.create_object_internal(7));
    object->get_generator().next();
    const ObjectHandle handle = object->get_handle();
    save_world();

    std::vector<uint32_t> global_draws, object_draws;
    for (int i = 0; i < 5; ++i) {
        global_draws.push_back(global_random_generator.next());
        object_draws.push_back(random_integer_from_generator(handle, 0, 0xFFFFFFFF));
    }
    storage::MemoryLoadStream stream;
    ASSERT_TRUE(stream.open(0));
    ASSERT_TRUE(load_all_servers(stream));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(global_random_generator.next(), global_draws[i]);
        EXPECT_EQ(random_integer_from_generator(handle, 0, 0xFFFFFFFF), object_draws[i]);
    }
}

TEST_F(RandomGeneratorServerTest, CraftedSavedDataIsRefused) {
    constexpr uint32_t handle = 0x04900000;
    const std::vector<uint32_t> object_state = {9, 0, handle, handle, 1, 2, 3, 4, 0};
    auto world = [&](std::vector<uint32_t> object_part, std::vector<uint32_t> global_part) {
        object_part.insert(object_part.end(), global_part.begin(), global_part.end());
        return object_part;
    };
    struct Case {
        const char* fault;
        std::vector<uint32_t> words;
        bool accepted;
    };
    const Case cases[] = {
        {"none: a sound world", world(object_state, {5, 6, 7, 8, 0}), true},
        {"global generator all zero", world(object_state, {0, 0, 0, 0, 0}), false},
        {"object generator all zero", world({9, 0, handle, handle, 0, 0, 0, 0, 0}, {5, 6, 7, 8, 0}), false},
        {"global state cut short", world(object_state, {5, 6, 7}), false},
        {"object state cut short", {9, 0, handle, handle, 1, 2}, false},
    };
    for (const Case& c : cases) {
        global_random_generator.seed(3);
        const State before = state_of(global_random_generator);
        test::WordLoadStream stream(c.words);
        EXPECT_EQ(load_all_servers(stream), c.accepted) << c.fault;
        if (c.accepted) {
            EXPECT_EQ(state_of(global_random_generator), (State{5, 6, 7, 8}));
            EXPECT_EQ(random_integer_from_generator(handle, 0, 0xFFFFFFFF), make_generator({1, 2, 3, 4}).next());
        } else {
            EXPECT_EQ(state_of(global_random_generator), before) << c.fault;
            EXPECT_EQ(random_generator_server.get_live_count(), 0u) << c.fault;
        }
    }
}

struct Builtin {
    ScriptContext context;

    // Arguments listed top of the stack first.
    Builtin& call(uint32_t id, std::vector<uint32_t> arguments_top_first = {}) {
        context.stack_index = 0;
        for (auto word = arguments_top_first.rbegin(); word != arguments_top_first.rend(); ++word) {
            context.stack[context.stack_index++] = *word;
        }
        for (uint32_t& r : context.registers) {
            r = 0xDEADBEEF;
        }
        call_builtin(context, id);
        return *this;
    }
    float lane(int r) const { return word_to_float(context.registers[r]); }
    uint32_t word(int r) const { return context.registers[r]; }
};

TEST_F(RandomGeneratorServerTest, BuiltinsDrawFromTheGlobalGenerator) {
    Builtin builtin;
    auto reseeded = [] {
        global_random_generator.seed(31337);
        RandomGenerator reference;
        reference.seed(31337);
        return reference;
    };
    {
        RandomGenerator reference = reseeded();
        for (uint32_t id : {12u, 13u}) {
            EXPECT_EQ(builtin.call(id, {100, 200}).word(0), reference.next_integer(100, 200)) << id;
        }
        EXPECT_EQ(builtin.call(10).lane(0), reference.next_float_inclusive());
        EXPECT_EQ(builtin.call(11).lane(0), reference.next_float());
        const Vector3 unit = random_unit_vector3(reference);
        builtin.call(1);
        EXPECT_EQ(builtin.lane(0), unit.x);
        EXPECT_EQ(builtin.lane(2), unit.y);
        EXPECT_EQ(builtin.lane(4), unit.z);
        const Vector3 flat = random_unit_vector2(reference);
        builtin.call(6);
        EXPECT_EQ(builtin.lane(0), flat.x);
        EXPECT_EQ(builtin.lane(2), flat.y);
        EXPECT_EQ(builtin.word(4), 0xDEADBEEFu);
        EXPECT_EQ(state_of(global_random_generator), state_of(reference));
    }
    {
        // Radii top of the stack first: a wide a, b and a thin c keeps z small.
        reseeded();
        for (int i = 0; i < 200; ++i) {
            builtin.call(3, {float_to_word(1), float_to_word(1), float_to_word(0.01f)});
            EXPECT_LE(std::fabs(builtin.lane(4)), 0.01f + 1e-6f);
            builtin.call(4, {float_to_word(10), float_to_word(20), float_to_word(0.5f)});
            EXPECT_LE(std::fabs(builtin.lane(0)), 10.0f);
            EXPECT_LE(std::fabs(builtin.lane(2)), 20.0f);
            EXPECT_LE(std::fabs(builtin.lane(4)), 0.5f);
            builtin.call(7, {float_to_word(1), float_to_word(0.01f)});
            EXPECT_LE(std::fabs(builtin.lane(2)), 0.01f + 1e-6f);
            builtin.call(8, {float_to_word(3), float_to_word(0.25f)});
            EXPECT_LE(std::fabs(builtin.lane(0)), 3.0f);
            EXPECT_LE(std::fabs(builtin.lane(2)), 0.25f);
            builtin.call(2);
            EXPECT_LE(builtin.lane(0) * builtin.lane(0) + builtin.lane(2) * builtin.lane(2) +
                          builtin.lane(4) * builtin.lane(4),
                      1.0f);
            builtin.call(5, {float_to_word(0), float_to_word(0), float_to_word(2), float_to_word(0.02f)});
            EXPECT_GE(builtin.lane(4), geometry::cos_turns(0.02f) - 1e-4f);
        }
    }
    {
        // Angle 0: the direction comes back as given and nothing is drawn.
        const State before = state_of(reseeded());
        builtin.call(5, {float_to_word(3), float_to_word(-4), float_to_word(12), float_to_word(0)});
        EXPECT_EQ(builtin.lane(0), 3.0f);
        EXPECT_EQ(builtin.lane(2), -4.0f);
        EXPECT_EQ(builtin.lane(4), 12.0f);
        EXPECT_EQ(state_of(global_random_generator), before);
    }
}

TEST_F(RandomGeneratorServerTest, GeneratorObjectBuiltinsAnswerZeroForAnythingElse) {
    Builtin builtin;
    const ObjectHandle handle = random_generator_server.create_object_internal(5)->get_handle();
    RandomGenerator reference;
    reference.seed(5);
    const State global_before = state_of(global_random_generator);
    for (uint32_t id : {195u, 196u}) {
        EXPECT_EQ(builtin.call(id, {handle, 1000, 2000}).word(0), reference.next_integer(1000, 2000)) << id;
    }
    EXPECT_EQ(state_of(global_random_generator), global_before);
    for (ObjectHandle stale : {0u, handle + 1, handle - handle_creation_step, 0x00800000u}) {
        EXPECT_EQ(builtin.call(195, {stale, 1000, 2000}).word(0), 0u) << stale;
    }
}

}  // namespace
}  // namespace zolt::core

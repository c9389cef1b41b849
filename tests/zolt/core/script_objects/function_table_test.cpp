#include "zolt/core/script_objects/function_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "support/builtin_call.h"
#include "support/byte_streams.h"
#include "support/child_process.h"
#include "zolt/core/resources/resource_fixture.h"
#include "zolt/core/script_objects/function_table_server.h"

namespace zolt::core {
namespace {

using test::ResourceBytes;

constexpr uint32_t ramp_id = 0x10000060;     // 0, 10, 20 from x0 0, step 1
constexpr uint32_t single_id = 0x10000061;   // one sample, 4
constexpr uint32_t squares_id = 0x10000062;  // i² from x0 -1, step 0.5, 9 samples
constexpr uint32_t broken_id = 0x10000063;   // count 5, three samples

test::Bytes build_table(float x0, float step, uint32_t interpolate, const std::vector<float>& samples,
                        uint32_t count = 0) {
    ResourceBytes table;
    table.add_f32(x0);
    table.add_f32(step);
    table.add_u32(count != 0 ? count : static_cast<uint32_t>(samples.size()));
    table.add_u32(interpolate);
    table.add_u32(function_table_mode::zero);
    table.add_u32(function_table_mode::zero);
    for (const float sample : samples) {
        table.add_f32(sample);
    }
    return table.get_bytes();
}

std::vector<float> squares() {
    std::vector<float> samples;
    for (int index = 0; index < 9; ++index) {
        samples.push_back(static_cast<float>(index * index));
    }
    return samples;
}

class FunctionTables : public ::testing::Test {
protected:
    FunctionTables()
        : resources_({{ramp_id, build_table(0, 1, 1, {0, 10, 20})},
                      {single_id, build_table(0, 1, 1, {4})},
                      {squares_id, build_table(-1, 0.5f, 1, squares())},
                      {broken_id, build_table(0, 1, 1, {1, 2, 3}, 5)}}) {
        function_table_server.register_server();
    }
    ~FunctionTables() override { function_table_server.unregister_server(); }

    // The table with its modes and interpolation changed in the resource's
    // memory, as another resource would have them.
    FunctionTable* open(uint32_t id, uint32_t before, uint32_t after, uint32_t interpolate = 1) {
        auto* const table = static_cast<FunctionTable*>(function_table_server.create_object_internal(id));
        auto* const resource = static_cast<ResourceObject*>(get_object(table->get_resource_handle()));
        auto* const words = static_cast<uint8_t*>(resource->get_data());
        for (const auto& [offset, value] : {std::pair{12u, interpolate}, {16u, before}, {20u, after}}) {
            std::memcpy(words + offset, &value, 4);
        }
        table->resources_moved();
        return table;
    }

    test::RegisteredResources resources_;
};

TEST_F(FunctionTables, SamplesInsideAndOutsideFollowTheModes) {
    const struct {
        uint32_t before, after, interpolate;
        float x, expected;
    } cases[] = {
        {0, 0, 1, 0.5f, 5},  {0, 0, 1, 2, 20},    {0, 0, 0, 1.9f, 10},   {0, 0, 1, 1.75f, 17.5f}, {0, 3, 1, 3, 30},
        {0, 2, 1, 3, 10},    {0, 4, 1, 3, 30},    {0, 1, 1, 3, 20},      {0, 0, 1, 3, 0},         {0, 3, 1, 4.5f, 45},
        {0, 2, 1, 4.5f, 5},  {0, 7, 1, 4.5f, 5},  {3, 0, 1, -0.5f, -5},  {2, 0, 1, -0.5f, 15},    {4, 0, 1, -0.5f, -5},
        {1, 0, 1, -0.5f, 0}, {0, 0, 1, -0.5f, 0}, {3, 0, 1, -4.5f, -45}, {3, 3, 0, 3.5f, 30},     {3, 3, 1, 2.0f, 20},
    };
    for (const auto& row : cases) {
        const FunctionTable* const table = open(ramp_id, row.before, row.after, row.interpolate);
        EXPECT_FLOAT_EQ(table->evaluate(row.x), row.expected)
            << "before " << row.before << " after " << row.after << " x " << row.x;
        function_table_server.destroy_object_internal(const_cast<FunctionTable*>(table));
    }
}

TEST_F(FunctionTables, InterpolationAgreesWithTheChordsOfTheSampledCurve) {
    const FunctionTable* const table = open(squares_id, function_table_mode::extend, function_table_mode::extend);
    for (float x = -1.0f; x <= 3.0f; x += 0.0625f) {
        // Samples of (2 (x + 1))² at every half; between them the chord.
        const float position = (x + 1.0f) * 2.0f;
        const float low = std::floor(position);
        const float expected = low >= 8 ? 64.0f : low * low + ((low + 1) * (low + 1) - low * low) * (position - low);
        EXPECT_NEAR(table->evaluate(x), expected, 1e-4f) << x;
    }
    // The slopes of the first and last steps continue outside.
    EXPECT_FLOAT_EQ(table->evaluate(-2.0f), 0.0f - 2.0f * 1.0f);
    EXPECT_FLOAT_EQ(table->evaluate(4.0f), 64.0f + 30.0f * 1.0f);
}

TEST_F(FunctionTables, OneSampleAnswersItselfOutsideUnlessTheModeIsZero) {
    for (uint32_t mode = 0; mode <= 5; ++mode) {
        const FunctionTable* const table = open(single_id, mode, mode);
        const float expected = mode == 0 ? 0.0f : 4.0f;
        EXPECT_EQ(table->evaluate(-3.0f), expected) << mode;
        EXPECT_EQ(table->evaluate(3.0f), expected) << mode;
        EXPECT_EQ(table->evaluate(0.0f), 4.0f);
        function_table_server.destroy_object_internal(const_cast<FunctionTable*>(table));
    }
}

TEST_F(FunctionTables, InputsThatAreNotNumbersNeverReadOutsideTheSamples) {
    const float infinity = std::numeric_limits<float>::infinity();
    for (uint32_t mode = 0; mode <= 4; ++mode) {
        const FunctionTable* const table = open(ramp_id, mode, mode);
        EXPECT_EQ(table->evaluate(std::nanf("")), 0.0f);
        const float after = table->evaluate(infinity);
        const float before = table->evaluate(-infinity);
        EXPECT_EQ(after, mode == 0 ? 0.0f : mode == 4 ? infinity : 20.0f) << mode;
        EXPECT_EQ(before, mode == 0 ? 0.0f : mode == 4 ? -infinity : 0.0f) << mode;
        function_table_server.destroy_object_internal(const_cast<FunctionTable*>(table));
    }
}

TEST_F(FunctionTables, ATableIsSharedByItsResourceAndCountsItsReferences) {
    FunctionTable* const first = open(ramp_id, 0, 0);
    FunctionTable* const second = static_cast<FunctionTable*>(function_table_server.create_object_internal(ramp_id));
    ASSERT_EQ(first, second);
    EXPECT_EQ(first->get_reference_count(), 2u);
    EXPECT_TRUE(first->owns_itself());
    const ObjectHandle handle = first->get_handle();
    const ObjectHandle resource = first->get_resource_handle();
    EXPECT_EQ(get_object(resource)->get_context_handle(), handle);

    function_table_server.destroy_object_internal(first);
    EXPECT_EQ(get_object(handle), first);
    EXPECT_EQ(test::BuiltinCall().call(663, {handle, test::float_word(0.5f)}).lane(), 5.0f);
    function_table_server.destroy_object_internal(first);
    EXPECT_EQ(get_object(handle), nullptr);
    EXPECT_EQ(get_object(resource), nullptr);
    EXPECT_EQ(test::BuiltinCall().call(663, {handle, test::float_word(0.5f)}).lane(), 0.0f);
    EXPECT_EQ(test::BuiltinCall().call(663, {resource, test::float_word(0.5f)}).lane(), 0.0f);
}

TEST_F(FunctionTables, PropertiesDescribeTheTable) {
    const FunctionTable* const table = open(squares_id, 3, 4);
    const struct {
        uint32_t id;
        uint32_t type;
        float number;
        uint32_t word;
    } properties[] = {
        {0x05000205, 0x05, -1.0f, 0}, {0x206, 0x05, 3.0f, 0},   {0x03000207, 0x03, 0, 3},
        {0x03000208, 0x03, 0, 4},     {0x03000209, 0x05, 0, 0}, {0x0300020A, 0x05, 64.0f, 0},
    };
    for (const auto& row : properties) {
        Property property;
        ASSERT_TRUE(table->get_property(row.id, property)) << row.id;
        EXPECT_EQ(get_property_value_type(property.id), row.type) << row.id;
        if (row.type == 0x05) {
            EXPECT_EQ(property.get_float(), row.number) << row.id;
        } else {
            EXPECT_EQ(property.get_u32(), row.word) << row.id;
        }
    }
}

TEST_F(FunctionTables, ABrokenResourceIsRefusedWithItsId) {
    const test::ChildResult result =
        test::run_in_child([] { function_table_server.create_object_internal(broken_id); });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("function table resource 0x10000063 is broken: fewer samples than its count"),
              std::string::npos)
        << result.standard_error;

    const struct {
        test::Bytes bytes;
        bool sound;
    } checks[] = {
        {build_table(0, 1, 1, {1, 2}), true},
        {build_table(0, 1, 1, {}), false},
        {build_table(0, 0, 1, {1, 2}), false},
        {build_table(0, -1, 1, {1, 2}), false},
        {build_table(0, 0, 1, {1}), true},
        {build_table(std::nanf(""), 1, 1, {1, 2}), false},
        {build_table(0, 1e38f, 1, {1, 2, 3, 4, 5}), false},
        {test::Bytes(20, 0), false},
    };
    for (const auto& row : checks) {
        const char* error = nullptr;
        EXPECT_EQ(check_function_table_resource(row.bytes.data(), static_cast<uint32_t>(row.bytes.size()), &error),
                  row.sound);
    }
}

}  // namespace
}  // namespace zolt::core

namespace zolt::core {
namespace {

TEST_F(FunctionTables, ASavedTableKeepsItsReferencesAndRebinds) {
    FunctionTable* const table = open(ramp_id, 0, 4);
    function_table_server.create_object_internal(ramp_id);
    test::ByteSaveStream saved;
    table->save(saved);
    const std::vector<uint32_t> words = saved.get_words();
    ASSERT_EQ(words.size(), 5u);
    EXPECT_EQ(words[2], 2u);
    EXPECT_EQ(words[3], ramp_id);
    EXPECT_EQ(words[4], table->get_resource_handle());

    test::WordLoadStream loaded({words[1], 2, ramp_id, words[4]});
    ASSERT_TRUE(table->load(loaded));
    EXPECT_EQ(table->get_reference_count(), 2u);
    EXPECT_EQ(table->evaluate(3), 30.0f);
    // Another resource's id, or no references, are refused.
    test::WordLoadStream other({words[1], 2, single_id, words[4]});
    EXPECT_FALSE(table->load(other));
    test::WordLoadStream unreferenced({words[1], 0, ramp_id, words[4]});
    EXPECT_FALSE(table->load(unreferenced));
}

}  // namespace
}  // namespace zolt::core

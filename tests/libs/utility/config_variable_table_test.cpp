#include "libs/utility/config_variable_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "libs/utility/config_test_table.h"
#include "support/child_process.h"

namespace zolt {
namespace {

using test::TestConfig;

TEST(ConfigVariableTable, OutOfRangeValuesAreIgnoredNeverClamped) {
    auto config = TestConfig::make();
    ConfigVariableTable& table = config->table;
    const uint32_t counts[] = {7, 0, 11, 10, 1, 0xFFFFFFFFu};
    const uint32_t expected_counts[] = {7, 7, 7, 10, 1, 1};
    for (size_t index = 0; index < std::size(counts); ++index) {
        table.set_variable(2, &counts[index]);
        EXPECT_EQ(config->count, expected_counts[index]) << counts[index];
    }
    const int32_t offsets[] = {-100, -101, 100, 101, -5};
    const int32_t expected_offsets[] = {-100, -100, 100, 100, -5};
    for (size_t index = 0; index < std::size(offsets); ++index) {
        table.set_variable(3, &offsets[index]);
        EXPECT_EQ(config->offset, expected_offsets[index]) << offsets[index];
    }
    const float scales[] = {1.5f, -0.1f, 2.5f, NAN, INFINITY, 2.0f};
    const float expected_scales[] = {1.5f, 1.5f, 1.5f, 1.5f, 1.5f, 2.0f};
    for (size_t index = 0; index < std::size(scales); ++index) {
        table.set_variable(4, &scales[index]);
        EXPECT_EQ(config->scale, expected_scales[index]) << scales[index];
    }
    // Equal bounds mean no range.
    const uint32_t large = 123456789;
    table.set_variable(6, &large);
    EXPECT_EQ(config->any_number, large);
    const float huge = -1e30f;
    table.set_variable(10, &huge);
    EXPECT_EQ(config->ratio, huge);
    const uint8_t bool_byte = 2;
    table.set_variable(1, &bool_byte);
    EXPECT_TRUE(config->flag);
}

TEST(ConfigVariableTable, RowsPutTheirDefaultsInPlace) {
    auto config = TestConfig::make();
    EXPECT_FALSE(config->flag);
    EXPECT_EQ(config->count, 5u);
    EXPECT_EQ(config->offset, -3);
    EXPECT_EQ(config->scale, 0.5f);
    EXPECT_STREQ(config->label, ".");
    EXPECT_EQ(config->hidden, nullptr);
    EXPECT_EQ(config->ratio, 1.0f);
    EXPECT_EQ(config->table.get_variable(8), nullptr);
    EXPECT_EQ(config->table.get_variable(0), nullptr);
    EXPECT_EQ(config->table.get_variable(129), nullptr);
}

TEST(ConfigVariableTable, FindIgnoresLetterCase) {
    auto config = TestConfig::make();
    EXPECT_EQ(config->table.find_variable("COUNT"), 2u);
    EXPECT_EQ(config->table.find_variable("Any_Number"), 6u);
    EXPECT_EQ(config->table.find_variable("coun"), 0u);
    EXPECT_EQ(config->table.find_variable(""), 0u);
}

TEST(ConfigVariableTable, SetFromTextParsesByType) {
    auto config = TestConfig::make();
    ConfigVariableTable& table = config->table;
    struct Case {
        const char* name;
        const char* value;
    };
    const Case cases[] = {
        {"flag", "YES"},  {"flag", "maybe"},    {"count", "0x9"},   {"count", "0b11"}, {"count", "12"},
        {"count", "4a"},  {"offset", "-42"},    {"offset", "0x10"}, {"scale", "1.25"}, {"scale", "1e39"},
        {"label", "a b"}, {"any_number", "-1"}, {"nobody", "5"},
    };
    for (const Case& c : cases) {
        table.set_variable_from_text(c.name, c.value, false);
    }
    EXPECT_TRUE(config->flag);
    EXPECT_EQ(config->count, 3u);
    EXPECT_EQ(config->offset, -42);
    EXPECT_EQ(config->scale, 1.25f);
    EXPECT_STREQ(config->label, "a b");
    EXPECT_EQ(config->any_number, 0xFFFFFFFFu);
    EXPECT_EQ(table.get_unknown_keys().get_count(), 0u);
}

TEST(ConfigVariableTable, DefaultValueComparison) {
    auto config = TestConfig::make();
    ConfigVariableTable& table = config->table;
    for (uint32_t number : {1u, 2u, 3u, 4u, 5u, 7u, 10u}) {
        EXPECT_TRUE(table.has_default_value(number)) << number;
    }
    config->count = 6;
    config->scale = 0.5000001f;
    EXPECT_FALSE(table.has_default_value(2));
    EXPECT_FALSE(table.has_default_value(4));
    // Strings: the same pointer, or equal texts; a missing default or a
    // missing value differs from any text.
    const std::string same_text = ".";
    config->label = same_text.c_str();
    EXPECT_TRUE(table.has_default_value(5));
    config->label = "./";
    EXPECT_FALSE(table.has_default_value(5));
    config->label = nullptr;
    EXPECT_FALSE(table.has_default_value(5));
    config->hidden = "";
    EXPECT_FALSE(table.has_default_value(7));
}

TEST(ConfigVariableTable, UnknownNamesAreKeptOnlyWhenAsked) {
    auto config = TestConfig::make();
    ConfigVariableTable& table = config->table;
    table.set_variable_from_text("window_width", "800", false);
    EXPECT_EQ(table.get_unknown_keys().get_count(), 0u);
    table.set_variable_from_text("window_width", "800", true);
    table.set_variable_from_text("KEY_A", "jump", true);
    table.set_variable_from_text("Window_Width", "1024", true);
    EXPECT_EQ(table.get_unknown_keys().get_count(), 2u);
    EXPECT_STREQ(table.get_unknown_keys().find("window_width"), "1024");
    EXPECT_STREQ(table.get_unknown_keys().find("key_a"), "jump");
}

uint32_t hook_calls = 0;
uint32_t take_key_names(const char* name, const char* value) {
    ++hook_calls;
    return std::strncmp(name, "KEY_", 4) == 0 ? config_hook_handled_too : config_hook_not_handled;
}
uint32_t count_calls(const char*, const char*) {
    ++hook_calls;
    return config_hook_not_handled;
}

TEST(ConfigVariableTable, HooksHearSettingsFirstInRingOrder) {
    auto config = TestConfig::make();
    ConfigVariableTable& table = config->table;
    ConfigHook keys;
    keys.set = take_key_names;
    ConfigHook counter;
    counter.set = count_calls;
    table.register_hook(&keys);
    table.register_hook(&counter);
    hook_calls = 0;
    table.set_variable_from_text("KEY_A", "jump", true);
    EXPECT_EQ(hook_calls, 1u);
    EXPECT_EQ(table.get_unknown_keys().get_count(), 0u);
    table.set_variable_from_text("count", "9", true);
    EXPECT_EQ(hook_calls, 3u);
    EXPECT_EQ(config->count, 9u);
    table.unregister_hook(&keys);
    table.set_variable_from_text("KEY_B", "fire", true);
    EXPECT_EQ(hook_calls, 4u);
    EXPECT_EQ(table.get_unknown_keys().get_count(), 1u);
    table.unregister_hook(&counter);
    table.set_variable_from_text("count", "8", true);
    EXPECT_EQ(hook_calls, 4u);
}

TEST(ConfigVariableTable, StringPoolHoldsLongPathsAndWarnsWhenFull) {
    auto config = TestConfig::make();
    test::WarningRecorder recorder;
    const std::string long_path = "/home/" + std::string(4000, 'p') + "/Config.txt";
    for (int round = 0; round < 3; ++round) {
        config->table.set_variable_from_text("label", long_path.c_str(), false);
        EXPECT_EQ(config->label, long_path) << round;
    }
    EXPECT_TRUE(recorder.warnings.empty());
    // Strings are never given back, so the pool runs out.
    const std::string other_path = "/srv/" + std::string(4400, 'q');
    config->table.set_variable_from_text("label", other_path.c_str(), false);
    EXPECT_EQ(config->label, long_path);
    ASSERT_EQ(recorder.warnings.size(), 1u);
    EXPECT_NE(recorder.warnings[0].find("label"), std::string::npos);
    config->table.set_variable_from_text("label", "short", false);
    EXPECT_STREQ(config->label, "short");
}

TEST(ConfigVariableTable, FatalMisuse) {
    struct Case {
        void (*body)();
        const char* message;
    };
    const Case cases[] = {
        {[] {
             auto config = TestConfig::make();
             const uint32_t value = 1;
             config->table.set_variable(8, &value);
         },
         "Attempting to set config variable 8 which does not exist in current build"},
        {[] {
             auto config = TestConfig::make();
             const uint32_t value = 1;
             config->table.set_variable(500, &value);
         },
         "Attempting to set config variable 500 which does not exist in current build"},
        {[] {
             auto config = TestConfig::make();
             ConfigHook hook;
             hook.set = [](const char*, const char*) -> uint32_t { return 5; };
             config->table.register_hook(&hook);
             config->table.set_variable_from_text("count", "1", false);
         },
         "unknown config result 5"},
        {[] {
             auto config = TestConfig::make();
             uint32_t storage = 0;
             ConfigVariableRow<uint32_t> twice(config->table, 2, "twice", &storage, 0, config_written_when_changed);
         },
         "config variable 2 of twice declared twice"},
    };
    for (const Case& c : cases) {
        const test::ChildResult result = test::run_in_child(c.body);
        EXPECT_EQ(result.exit_code, ExitCode::crash) << c.message;
        EXPECT_NE(result.standard_error.find(c.message), std::string::npos) << result.standard_error;
    }
}

}  // namespace
}  // namespace zolt

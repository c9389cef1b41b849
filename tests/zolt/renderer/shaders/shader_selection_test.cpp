// Conditions, selection with fallbacks and the hardware check on libraries
// compiled from descriptions, with the machine's limits stood in.
#include <gtest/gtest.h>

#include <string>

#include "libs/opengl/opengl_capabilities.h"
#include "shader_library_test_support.h"
#include "support/child_process.h"
#include "support/gl_context.h"
#include "zolt/renderer/shaders/shader_tags.h"

namespace zolt::renderer::shader_library {
namespace {

using test_support::get_first_variant;
using test_support::InstalledLibrary;

const std::string passes = R"("passes": [{"slot": "direct", "setups": [[{"vertex": "fixed_function"}]]}])";

std::string make_selection_library() {
    return R"({"global_conditions": [{"type": "global_flags", "parameter": 4}],
      "entries": [)" +
           test_support::get_default_entry() + R"(,
      {"index": 1, "conditions": [{"type": "global_flags", "parameter": 1}], "fallback": [2, 3],
       "variants": [{)" +
           passes + R"(}]},
      {"index": 2, "conditions": [{"type": "never"}], "variants": [{)" +
           passes + R"(}]},
      {"index": 3, "variants": [{"conditions": [{"type": "glsl"}], )" +
           passes + R"(}, {)" + passes + R"(}]},
      {"index": 4, "conditions": [{"type": "never"}], "fallback": [2], "variants": [{)" +
           passes + R"(}]},
      {"index": 5, "variants": [{"runtime_conditions": [{"type": "constant_tag", "parameter": 0},
                                                         {"type": "never", "negate": true}],
                                 "conditions": [{"type": "glsl"}], )" +
           passes + R"(}]},
      {"index": 6, "variants": [{"conditions": [{"type": "never", "negate": true}],
                                 "texture_tags": [3, 5], "constant_tags": [7], )" +
           passes + R"(}]},
      {"index": 7, "must_be_usable": true, "conditions": [{"type": "global_flags", "parameter": 8}],
       "variants": [{)" +
           passes + R"(}]}
    ]})";
}

class ShaderSelectionTest : public ::testing::Test {
protected:
    void SetUp() override { set_shader_limits(test_support::make_capable_limits()); }

    InstalledLibrary library_{test_support::compile_library(make_selection_library())};
    ShaderLibraryContext context_;
    // The hardware check also asks the GL layer whether vertex programs are usable.
    test::ScopedValue<bool> vertex_programs_{test::extension_flag(opengl::Extension::ARB_vertex_program), true};
};

TEST_F(ShaderSelectionTest, EachConditionTypeTestsItsCapabilityFlagOrLimit) {
    struct Row {
        const char* fault;
        uint32_t type;
        uint32_t parameter;
        void (*change)(ShaderLimits&);
        bool passes;
    };
    const auto keep = [](ShaderLimits&) {};
    const Row rows[] = {
        {"global flags subset", 1, 0x6, keep, true},
        {"global flags missing a bit", 1, 0xE, keep, false},
        {"glsl", 2, 0, keep, true},
        {"glsl off", 2, 0, [](ShaderLimits& l) { l.glsl_usable = false; }, false},
        {"arb vertex", 3, 0, keep, true},
        {"arb vertex off", 3, 0, [](ShaderLimits& l) { l.arb_vertex_programs = false; }, false},
        {"arb pair without fragment", 4, 0, [](ShaderLimits& l) { l.arb_fragment_programs = false; }, false},
        {"arb pair", 4, 0, keep, true},
        {"limit equal", 5, 64, keep, true},
        {"limit above", 9, 65, keep, false},
        {"limit compared unsigned", 12, 0x80000000, keep, false},
        {"unreported limit", 11, 0xFFFFFFFF, [](ShaderLimits& l) { l.limits[11] = unreported_limit; }, true},
        {"limit 13", 13, 64, keep, true},
        {"shadow maps", 14, 0, keep, true},
        {"no shadow maps", 14, 0, [](ShaderLimits& l) { l.shadow_maps = false; }, false},
        {"never", 16, 0, keep, false},
        {"never too", 32, 0, keep, false},
    };
    get_library_state().global_condition_flags = 0x6;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        ShaderLimits limits = test_support::make_capable_limits();
        row.change(limits);
        set_shader_limits(limits);
        EXPECT_EQ(evaluate_condition_type(row.type, row.parameter, context_), row.passes);
    }
}

TEST_F(ShaderSelectionTest, ConstantTagConditionsNeedAComponentAboveZero) {
    const uint32_t tags[] = {make_tag_word(6, 0), make_tag_word(6, 1), make_tag_word(6, 2)};
    context_.constant_tags = {tags, 3};
    ConstantValue positive;
    positive.set_floats(0.0f, 0.0f, 0.5f, 0.0f);
    ConstantValue negative;
    negative.set_floats(-1.0f, 0.0f, -0.5f, 0.0f);
    set_user_vector(0, positive);
    set_user_vector(1, negative);
    EXPECT_TRUE(evaluate_condition_type(0, 0, context_));
    EXPECT_FALSE(evaluate_condition_type(0, 1, context_));
    EXPECT_FALSE(evaluate_condition_type(0, 2, context_));  // all zero
    EXPECT_FALSE(evaluate_condition_type(0, 3, context_));  // no such tag
    ShaderLibraryContext empty;
    EXPECT_FALSE(evaluate_condition_type(0, 0, empty));
}

TEST_F(ShaderSelectionTest, AnEntryFallsBackAlongItsListAndADeadEndIsNotFound) {
    get_library_state().global_condition_flags = 1;
    EXPECT_EQ(select_variant(1, ConditionMode::runtime, context_), get_first_variant(1));
    const ShaderSelection own = find_fallback(1, ConditionMode::runtime, context_);
    EXPECT_EQ(own.entry, 1u);
    EXPECT_EQ(own.variant, get_first_variant(1));

    get_library_state().global_condition_flags = 0;
    EXPECT_EQ(select_variant(1, ConditionMode::runtime, context_), no_variant);
    // Entry 2 never passes; entry 3's first variant wants GLSL.
    ShaderSelection fallback = find_fallback(1, ConditionMode::runtime, context_);
    EXPECT_EQ(fallback.entry, 3u);
    EXPECT_EQ(fallback.variant, get_first_variant(3));
    ShaderLimits no_glsl = test_support::make_capable_limits();
    no_glsl.glsl_usable = false;
    set_shader_limits(no_glsl);
    fallback = find_fallback(1, ConditionMode::runtime, context_);
    EXPECT_EQ(fallback.entry, 3u);
    EXPECT_EQ(fallback.variant, get_first_variant(3) + 1);

    for (const uint32_t dead_end : {4u, 2u, 1000u}) {
        SCOPED_TRACE(dead_end);
        const ShaderSelection none = find_fallback(dead_end, ConditionMode::runtime, context_);
        EXPECT_EQ(none.entry, no_entry);
        EXPECT_EQ(none.variant, no_variant);
    }
}

TEST_F(ShaderSelectionTest, RuntimeModeTestsEveryConditionAndHardwareModeOnlyTheCommonOnes) {
    EXPECT_EQ(select_variant(5, ConditionMode::runtime, context_), no_variant);
    EXPECT_EQ(select_variant(5, ConditionMode::hardware, context_), get_first_variant(5));
    const uint32_t tags[] = {make_tag_word(6, 0)};
    context_.constant_tags = {tags, 1};
    ConstantValue positive;
    positive.set_floats(1.0f, 0.0f, 0.0f, 0.0f);
    set_user_vector(0, positive);
    EXPECT_EQ(select_variant(5, ConditionMode::runtime, context_), get_first_variant(5));
    ShaderLimits no_glsl = test_support::make_capable_limits();
    no_glsl.glsl_usable = false;
    set_shader_limits(no_glsl);
    EXPECT_EQ(select_variant(5, ConditionMode::runtime, context_), no_variant);
    EXPECT_EQ(select_variant(5, ConditionMode::hardware, context_), no_variant);
    // A negated "never" always passes.
    EXPECT_EQ(select_variant(6, ConditionMode::hardware, context_), get_first_variant(6));
}

TEST_F(ShaderSelectionTest, TheHardwareCheckWantsProgramsShadowMapsUnitsGlobalConditionsAndUsableEntries) {
    struct Row {
        const char* fault;
        uint32_t flags;
        void (*change)(ShaderLimits&);
        bool supported;
    };
    const auto keep = [](ShaderLimits&) {};
    const Row rows[] = {
        {"all there", 0xC, keep, true},
        {"ARB programs in place of GLSL", 0xC, [](ShaderLimits& l) { l.glsl_usable = false; }, true},
        {"neither GLSL nor both ARB kinds", 0xC,
         [](ShaderLimits& l) { l.glsl_usable = l.arb_fragment_programs = false; }, false},
        {"no shadow maps", 0xC, [](ShaderLimits& l) { l.shadow_maps = false; }, false},
        {"three texture image units", 0xC, [](ShaderLimits& l) { l.limits[5] = 3; }, false},
        {"global condition fails", 0x8, keep, false},
        {"an entry that must be usable is not", 0x4, keep, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        ShaderLimits limits = test_support::make_capable_limits();
        row.change(limits);
        set_shader_limits(limits);
        get_library_state().global_condition_flags = row.flags;
        EXPECT_EQ(check_hardware_support(), row.supported);
    }
    set_shader_limits(test_support::make_capable_limits());
    get_library_state().global_condition_flags = 0xC;
    test::ScopedValue<bool> no_vertex_programs(test::extension_flag(opengl::Extension::ARB_vertex_program), false);
    EXPECT_FALSE(check_hardware_support());
}

TEST_F(ShaderSelectionTest, TheDefaultPassAndTheVariantTagListsComeFromTheLibrary) {
    const uint32_t pass = get_default_shader_pass();
    ASSERT_NE(pass, no_shader_pass);
    const ShaderPass record = read_record<ShaderPass>(get_library_header().shader_passes, pass);
    EXPECT_EQ(get_vertex_setup_kind(record.setup_kinds), VertexSetupKind::fixed_function);
    const TagNumberList textures = get_variant_texture_tags(get_first_variant(6));
    ASSERT_EQ(textures.length, 2u);
    EXPECT_EQ(textures.numbers[0], 3);
    EXPECT_EQ(textures.numbers[1], 5);
    const TagNumberList constants = get_variant_constant_tags(get_first_variant(6));
    ASSERT_EQ(constants.length, 1u);
    EXPECT_EQ(constants.numbers[0], 7);
    EXPECT_EQ(get_variant_constant_tags(get_first_variant(5)).length, 0u);
}

TEST_F(ShaderSelectionTest, AnUnknownConditionTypeIsAPanic) {
    const test::ChildResult result = test::run_in_child([this] { evaluate_condition_type(15, 0, context_); });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("Unsupported condition type 15"), std::string::npos) << result.standard_error;
}

TEST(ShaderLibraryLoading, ARefusedLibraryEndsWithTheVersionErrorNamingTheFault) {
    std::vector<uint8_t> resource = test_support::compile_sample_library();
    ShaderLibraryHeader header;
    std::memcpy(&header, resource.data(), sizeof header);
    // A program index past the program cache would write out of bounds later.
    const uint32_t program_index_offset = header.shader_passes.offset + offsetof(ShaderPass, program_index);
    const uint32_t bad_index = program_index_limit;
    std::memcpy(resource.data() + program_index_offset, &bad_index, sizeof bad_index);
    const test::ChildResult result =
        test::run_in_child([&resource] { install_library(resource.data(), static_cast<uint32_t>(resource.size())); });
    EXPECT_NE(result.exit_code, 0);
    EXPECT_NE(result.standard_error.find("Invalid version of shader library resource.\n"
                                         "shader pass 0, program index: the program index is not below 30000"),
              std::string::npos)
        << result.standard_error;

    std::vector<uint8_t> old_version = test_support::compile_sample_library();
    old_version[4] = 2;
    const test::ChildResult version = test::run_in_child(
        [&old_version] { install_library(old_version.data(), static_cast<uint32_t>(old_version.size())); });
    EXPECT_NE(version.standard_error.find("Invalid version of shader library resource.\nheader, version"),
              std::string::npos)
        << version.standard_error;
}

}  // namespace
}  // namespace zolt::renderer::shader_library

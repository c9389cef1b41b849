#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "platform/display/egl_test_context.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/shaders/shader_draw.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_gl_test_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_pass_setup.h"
#include "zolt/renderer/shaders/shader_program_arb.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"
#include "zolt/renderer/shaders/shader_program_setup.h"
#include "zolt/renderer/shaders/shader_program_warm_up.h"

namespace zolt::renderer::shader_library::test {
namespace {

using opengl::gl;

const uint8_t* halves(uint32_t x, uint32_t) {
    return x < picture_width / 2 ? red : green;
}

const uint8_t* right_half_only(uint32_t x, uint32_t) {
    return x < picture_width / 2 ? black : green;
}

const uint8_t* texture_quadrants(uint32_t x, uint32_t y) {
    const uint32_t column = x < picture_width / 2 ? 0 : 1;
    const uint32_t row = y < picture_height / 2 ? 0 : 1;
    return texels[row * 2 + column];
}

bool is_gl_program(uint32_t program) {
    using IsProgram = PFNGLISPROGRAMPROC;
    static const IsProgram is_program =
        reinterpret_cast<IsProgram>(platform::EglTestContext::get_proc_address("glIsProgram"));
    return is_program(program) == GL_TRUE;
}

// The counts the draws asked GL for, beside the real draw.
std::vector<GLsizei> drawn_counts;
decltype(&::glDrawElements) real_draw_elements = nullptr;

void record_draw_elements(GLenum mode, GLsizei count, GLenum type, const void* indices) {
    drawn_counts.push_back(count);
    real_draw_elements(mode, count, type, indices);
}

using ShaderGlDraw = ShaderGlTest;

TEST_F(ShaderGlDraw, GlslAndArbPassesDrawTheSamePictures) {
    bind_test_texture();
    struct Row {
        const char* name;
        ShaderPass pass;
        const uint8_t* (*expected)(uint32_t x, uint32_t y);
    };
    const Row rows[] = {
        {"GLSL colour", find_glsl_pass(colour_program), &halves},
        {"ARB colour", find_arb_pass(false), &halves},
        {"GLSL textured, #version first", find_glsl_pass(textured_program), &texture_quadrants},
        {"ARB textured", find_arb_pass(true), &texture_quadrants},
        // Back to GLSL after ARB: the ARB programs must be off again.
        {"GLSL colour again", find_glsl_pass(colour_program), &halves},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        clear_to_black();
        set_up_pass(row.pass);
        draw_indexed(0, 0);
        std::string first;
        EXPECT_EQ(count_mismatches(row.expected, &first), 0u) << first;
        EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
    EXPECT_EQ(get_current_arb_vertex_program(), 0u);
    EXPECT_EQ(get_current_glsl_program_index(), static_cast<int32_t>(colour_program));
    EXPECT_TRUE(get_glsl_program_entry(colour_program).drawn_since_built);
}

TEST_F(ShaderGlDraw, CountZeroDrawsOnlyTheIndicesThatExist) {
    const ShaderPass pass = find_glsl_pass(colour_program);
    struct Row {
        const char* name;
        uint32_t index_offset;
        uint32_t count;
        uint32_t first;
        std::vector<GLsizei> drawn;
        const uint8_t* (*expected)(uint32_t x, uint32_t y);
    };
    const Row rows[] = {
        {"whole stream", 0, 0, 0, {12}, &halves},
        {"from the fibre offset to the end", 6, 0, 0, {6}, &right_half_only},
        {"from first to the end", 0, 0, 6, {6}, &right_half_only},
        {"offset and first at the end draw nothing", 6, 0, 6, {}, [](uint32_t, uint32_t) { return black; }},
        {"offset and first past the end draw nothing", 6, 0, 12, {}, [](uint32_t, uint32_t) { return black; }},
        {"an explicit count", 0, 6, 6, {6}, &right_half_only},
    };
    real_draw_elements = gl.glDrawElements;
    zolt::test::ScopedValue<decltype(&::glDrawElements)> recorded(gl.glDrawElements, &record_draw_elements);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        clear_to_black();
        set_up_pass(pass, row.index_offset);
        drawn_counts.clear();
        draw_indexed(row.count, row.first);
        EXPECT_EQ(drawn_counts, row.drawn);
        std::string first;
        EXPECT_EQ(count_mismatches(row.expected, &first), 0u) << first;
        EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
}

TEST_F(ShaderGlDraw, CommandTwelveDeletesEveryProgramAndUseBuildsThemAgain) {
    bind_test_texture();
    const ShaderPass glsl_pass = find_glsl_pass(textured_program);
    const ShaderPass arb_pass = find_arb_pass(true);
    set_up_pass(arb_pass);
    set_up_pass(glsl_pass);
    const uint32_t old_program = get_glsl_program_entry(textured_program).program;
    ASSERT_NE(old_program, 0u);
    ASSERT_TRUE(is_arb_program_created(ArbProgramKind::vertex, 5));
    ASSERT_TRUE(is_arb_program_created(ArbProgramKind::fragment, 1));

    install_shader_gl_hooks();
    ASSERT_NE(rendering_command_hooks.reset_shader_programs, nullptr);
    rendering_command_hooks.reset_shader_programs();
    remove_shader_gl_hooks();

    EXPECT_FALSE(is_gl_program(old_program));
    EXPECT_EQ(get_glsl_program_entry(textured_program).program, 0u);
    EXPECT_FALSE(is_arb_program_created(ArbProgramKind::vertex, 5));
    EXPECT_FALSE(is_arb_program_created(ArbProgramKind::fragment, 1));
    EXPECT_EQ(get_current_glsl_program_index(), no_glsl_program);
    EXPECT_EQ(get_current_arb_fragment_program(), 0u);

    for (const ShaderPass& pass : {glsl_pass, arb_pass}) {
        clear_to_black();
        set_up_pass(pass);
        draw_indexed(0, 0);
        std::string first;
        EXPECT_EQ(count_mismatches(&texture_quadrants, &first), 0u) << first;
    }
    EXPECT_NE(get_glsl_program_entry(textured_program).program, 0u);
    EXPECT_TRUE(is_arb_program_created(ArbProgramKind::fragment, 1));
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShaderGlDraw, WarmUpBuildsEveryGlslProgramOfASetupWithoutDrawing) {
    ShaderLibraryHeader header;
    std::memcpy(&header, library_.data(), sizeof header);
    // The test library's setups: entry 0's, then entry 1's with every pass.
    const uint32_t setup_index = header.setups.count - 1;
    real_draw_elements = gl.glDrawElements;
    zolt::test::ScopedValue<decltype(&::glDrawElements)> recorded(gl.glDrawElements, &record_draw_elements);
    drawn_counts.clear();
    zolt::test::GlCallRecorder recorder;
    // Colour, textured and the two constants programs; the broken one fails
    // and is not counted.
    EXPECT_EQ(warm_up_setup(setup_index), 4u);
    EXPECT_TRUE(drawn_counts.empty());
    EXPECT_EQ(recorder.count("glDrawArrays"), 0u);
    EXPECT_NE(get_glsl_program_entry(colour_program).program, 0u);
    EXPECT_NE(get_glsl_program_entry(textured_program).program, 0u);
    EXPECT_TRUE(get_glsl_program_entry(broken_program).build_failed);
    EXPECT_FALSE(get_glsl_program_entry(colour_program).drawn_since_built);
    // The default pass is fixed function.
    EXPECT_EQ(get_current_glsl_program_index(), no_glsl_program);
    recorder.clear();
    EXPECT_EQ(warm_up_setup(setup_index), 0u);
    EXPECT_EQ(recorder.count("glCreateProgram"), 0u);
}

TEST_F(ShaderGlDraw, WarmUpDrawsOnePrimitivePerPassItWarms) {
    ShaderLibraryHeader header;
    std::memcpy(&header, library_.data(), sizeof header);
    const uint32_t slot_pass = header.slot_passes.count - 1;
    const ShaderSetup setup = read_record<ShaderSetup>(header.setups, header.setups.count - 1);
    get_fibre_sources();
    ShaderLibraryContext context;
    context.fibre_tags = {fibre_tags_, 4};
    const ShaderPassInput input{nullptr, nullptr, streams_, 2};
    real_draw_elements = gl.glDrawElements;
    zolt::test::ScopedValue<decltype(&::glDrawElements)> recorded(gl.glDrawElements, &record_draw_elements);
    uint32_t keep_alive_calls = 0;
    static uint32_t* keep_alive_counter = nullptr;
    keep_alive_counter = &keep_alive_calls;
    set_warm_up_hooks({[] { ++*keep_alive_counter; }, nullptr});
    struct Row {
        const char* name;
        bool warm_up;
        bool per_constant;
        uint32_t setup_number;
        uint32_t drawn;
    };
    const Row rows[] = {
        {"warm-up off", false, true, 0, 0},
        {"a setup the slot pass does not have", true, true, 1, 0},
        // The broken one is tried too, and fails for good.
        {"GLSL passes whose program has not drawn yet", true, false, 0, 5},
        {"none of them again", true, false, 0, 0},
        {"every pass with per-constant warm-up", true, true, 0, setup.shader_pass_count},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        zolt::test::ScopedValue<bool> warm_up(opengl::compatibility_fix_warmup, row.warm_up);
        zolt::test::ScopedValue<bool> per_constant(opengl::compatibility_fix_per_constant_warmup, row.per_constant);
        drawn_counts.clear();
        keep_alive_calls = 0;
        EXPECT_EQ(warm_up_draw(slot_pass, row.setup_number, input, context), row.drawn);
        EXPECT_EQ(drawn_counts, std::vector<GLsizei>(row.drawn, 3)) << "one triangle each";
        EXPECT_EQ(keep_alive_calls, row.drawn);
    }
    set_warm_up_hooks({});
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(ShaderSetupPairs, SetupNumbersDoubleOnlyForEntriesWithPairs) {
    EXPECT_EQ(apply_setup_pairs(0, 3, true), 3u);
    EXPECT_EQ(apply_setup_pairs(entry_flag_setup_pairs, 3, false), 6u);
    EXPECT_EQ(apply_setup_pairs(entry_flag_setup_pairs | entry_flag_must_be_usable, 3, true), 7u);
}

}  // namespace
}  // namespace zolt::renderer::shader_library::test

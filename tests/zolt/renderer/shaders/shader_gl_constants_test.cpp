#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "libs/opengl/opengl_capabilities.h"
#include "platform/display/egl_test_context.h"
#include "zolt/renderer/shaders/shader_constants.h"
#include "zolt/renderer/shaders/shader_draw.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_gl_test_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_pass_setup.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"
#include "zolt/renderer/shaders/shader_program_setup.h"

namespace zolt::renderer::shader_library::test {
namespace {

using geometry::Vector4;
using opengl::gl;

struct Floats {
    float values[4];
};

Floats read_uniform(uint32_t program, const char* name) {
    static const auto get_uniform =
        reinterpret_cast<PFNGLGETUNIFORMFVPROC>(platform::EglTestContext::get_proc_address("glGetUniformfv"));
    Floats floats{};
    get_uniform(program, gl.glGetUniformLocation(program, name), floats.values);
    return floats;
}

void expect_floats(const Floats& found, float x, float y, float z, float w) {
    EXPECT_FLOAT_EQ(found.values[0], x);
    EXPECT_FLOAT_EQ(found.values[1], y);
    EXPECT_FLOAT_EQ(found.values[2], z);
    EXPECT_FLOAT_EQ(found.values[3], w);
}

ConstantValue make_value(float x, float y, float z, float w) {
    ConstantValue value;
    value.set_floats(x, y, z, w);
    return value;
}

TEST(ShaderConstantNudging, ExactValuesDriversFoldMoveAside) {
    struct Row {
        float value;
        float constant;
        float scalar;
        float scalar_above_zero;
    };
    const Row rows[] = {
        {2.0f, 1.9999f, 0.9999f, 0.9999f},      {-2.0f, -1.9999f, -2.0f, 0.0001f},
        {1.0f, 0.9999f, 0.9999f, 0.9999f},      {-1.0f, -0.9999f, -1.0f, 0.0001f},
        {0.5f, 0.5001f, 0.5001f, 0.5001f},      {-0.5f, -0.5001f, -0.5001f, 0.0001f},
        {0.25f, 0.2501f, 0.2501f, 0.2501f},     {-0.25f, -0.2501f, -0.2501f, 0.0001f},
        {0.125f, 0.1251f, 0.1251f, 0.1251f},    {-0.125f, -0.1251f, -0.1251f, 0.0001f},
        {0.0f, 0.0001f, 0.0f, 0.0001f},         {0.3f, 0.3f, 0.3f, 0.3f},
        {1.5f, 1.5f, 0.9999f, 0.9999f},         {0.00005f, 0.00005f, 0.00005f, 0.0001f},
        {0.99995f, 0.99995f, 0.9999f, 0.9999f}, {-3.0f, -3.0f, -3.0f, 0.0001f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.value));
        EXPECT_EQ(nudge_constant(row.value), row.constant);
        EXPECT_EQ(nudge_scalar(row.value), row.scalar);
        EXPECT_EQ(nudge_scalar_above_zero(row.value), row.scalar_above_zero);
    }
}

class ShaderGlConstants : public ShaderGlTest {
protected:
    // Tag n of the constants holds values_[n].
    ResolvedConstantTags make_constants(uint32_t tag_count) {
        ResolvedConstantTags constants;
        for (uint32_t tag = 0; tag < tag_count; ++tag) {
            constants.resolved[tag] = {&values_[tag], ConstantKind::floats};
            constants.resolved_mask |= uint64_t{1} << tag;
        }
        return constants;
    }

    ShaderPass find_local_parameter_pass() const {
        return find_pass([](const ShaderPass& pass) {
            return get_pixel_setup_kind(pass.setup_kinds) == PixelSetupKind::arb_program &&
                   read_record<ArbProgramRecord>(TableLocation{pass.pixel_record, 1}, 0).program_number == 2;
        });
    }

    ConstantValue values_[8];
};

TEST_F(ShaderGlConstants, UniformsGetNudgedValuesAndArbLocalParametersExactOnes) {
    values_[0] = make_value(1.0f, -0.5f, 0.3f, 0.0f);
    const ResolvedConstantTags constants = make_constants(1);
    set_up_pass(find_glsl_pass(constants_program), 0, &constants);
    const uint32_t program = get_glsl_program_entry(constants_program).program;
    ASSERT_NE(program, 0u);
    expect_floats(read_uniform(program, "tint"), 0.9999f, -0.5001f, 0.3f, 0.0001f);

    values_[0] = make_value(1.0f, 0.5f, 0.25f, 1.0f);
    clear_to_black();
    set_up_pass(find_local_parameter_pass(), 0, &constants);
    static const auto get_local = reinterpret_cast<PFNGLGETPROGRAMLOCALPARAMETERFVARBPROC>(
        platform::EglTestContext::get_proc_address("glGetProgramLocalParameterfvARB"));
    Floats local{};
    get_local(GL_FRAGMENT_PROGRAM_ARB, 0, local.values);
    expect_floats(local, 1.0f, 0.5f, 0.25f, 1.0f);
    draw_indexed(0, 0);
    const uint8_t expected[4] = {255, 128, 64, 255};
    std::string first;
    EXPECT_EQ(count_mismatches([&expected](uint32_t, uint32_t) { return expected; }, &first), 0u) << first;
}

TEST_F(ShaderGlConstants, FixedLocationsReachTheProgramsCachedVectorsAndTheCommonPixelBlock) {
    values_[1] = make_value(0.2f, 0.3f, 0.4f, 1.0f);  // ambient colour
    values_[2] = make_value(0.6f, 0.7f, 0.8f, 0.9f);  // user vector 0
    values_[3] = make_value(5.0f, 5.0f, 5.0f, 5.0f);  // user vector 1: the program has none
    values_[4] = make_value(0.75f, 0, 0, 0);          // user floats 1, component 2
    values_[5] = make_value(0.5f, 3.0f, 4.0f, 6.0f);  // common pixel vector 1
    const ResolvedConstantTags constants = make_constants(6);
    const uint32_t pixel_version = get_common_pixel_parameters().version;
    set_up_pass(find_glsl_pass(constants_program), 0, &constants);
    const GlslProgram& entry = get_glsl_program_entry(constants_program);
    ASSERT_NE(entry.program, 0u);

    EXPECT_EQ(entry.highest_user_vector, 0);
    EXPECT_EQ(entry.highest_user_floats, 1);
    EXPECT_EQ(entry.light_kind, static_cast<uint32_t>(GlslLightKind::spot));
    EXPECT_FALSE(entry.user_vectors_dirty[1]) << "user vector 1 is ignored without its uniform";
    expect_floats(read_uniform(entry.program, "ambient_color"), 0.2f, 0.3f, 0.4f, 0.9999f);
    expect_floats(read_uniform(entry.program, "user_vector_0"), 0.6f, 0.7f, 0.8f, 0.9f);
    expect_floats(read_uniform(entry.program, "user_floats_1"), 0.0f, 0.0f, 0.75f, 0.0f);
    EXPECT_NE(get_common_pixel_parameters().version, pixel_version);
    const Vector4 vector_1 = get_common_pixel_parameters().vectors[1];
    EXPECT_EQ(vector_1.x, 0.5001f);
    EXPECT_EQ(vector_1.w, 6.0f);
    Floats uploaded[3];
    static const auto get_uniform =
        reinterpret_cast<PFNGLGETUNIFORMFVPROC>(platform::EglTestContext::get_proc_address("glGetUniformfv"));
    get_uniform(entry.program, gl.glGetUniformLocation(entry.program, "common_pixel_parameters[1]"),
                uploaded[1].values);
    expect_floats(uploaded[1], 0.5001f, 3.0f, 4.0f, 6.0f);

    // The same values again change nothing and upload nothing.
    const uint32_t version = get_common_pixel_parameters().version;
    zolt::test::GlCallRecorder recorder;
    set_up_pass(find_glsl_pass(constants_program), 0, &constants);
    EXPECT_EQ(get_common_pixel_parameters().version, version);
    EXPECT_EQ(recorder.count("glUniform4fv"), 1u) << "only the tint, which has no cache";
}

TEST_F(ShaderGlConstants, ABlockIsUploadedOncePerVersionPerProgram) {
    const ShaderPass first = find_glsl_pass(constants_program);
    const ShaderPass second = find_glsl_pass(second_constants_program);
    set_up_pass(first);
    set_up_pass(second);
    zolt::test::GlCallRecorder recorder;
    const auto uploads = [&recorder] {
        const uint32_t count = recorder.count("glUniform4fv");
        recorder.clear();
        return count;
    };
    set_up_pass(first);
    set_up_pass(second);
    EXPECT_EQ(uploads(), 0u) << "both programs have every block already";

    set_eye_position({1.0f, 2.0f, 3.0f});  // the vertex and the pixel block
    set_up_pass(first);
    EXPECT_EQ(uploads(), 2u);
    set_up_pass(first);
    EXPECT_EQ(uploads(), 0u);
    set_up_pass(second);
    EXPECT_EQ(uploads(), 2u);
    set_up_pass(first);
    set_up_pass(second);
    EXPECT_EQ(uploads(), 0u);

    const Vector4 pixel[3] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0.3f, 0.3f, 0.3f, 0}};
    const Vector4 vertex[5] = {};
    set_spot_light_constants(pixel, vertex);  // only the pixel block changes
    set_up_pass(first);
    EXPECT_EQ(uploads(), 1u);
    const uint32_t program = get_glsl_program_entry(constants_program).program;
    static const auto get_uniform =
        reinterpret_cast<PFNGLGETUNIFORMFVPROC>(platform::EglTestContext::get_proc_address("glGetUniformfv"));
    Floats found{};
    get_uniform(program, gl.glGetUniformLocation(program, "spot_light_parameters_pixel[2]"), found.values);
    expect_floats(found, 0.3f, 0.3f, 0.3f, 0.0f);
    get_uniform(program, gl.glGetUniformLocation(program, "common_pixel_parameters[0]"), found.values);
    expect_floats(found, 0.9999f, 1.9999f, 3.0f, 0.001f);

    // Changes below the tolerance are no change.
    set_eye_position({1.0f, 2.0f, 3.0f + 1.0f / 200000.0f});
    set_up_pass(first);
    EXPECT_EQ(uploads(), 0u);
}

TEST_F(ShaderGlConstants, BlockVersionsWrapPastZero) {
    EXPECT_EQ(next_block_version(1), 2u);
    EXPECT_EQ(next_block_version(0xFFFFFFFFu), 1u);
}

TEST_F(ShaderGlConstants, AttributeAndTextureCoordinateConstantsReachGlOncePerValue) {
    const uint32_t attribute_target = make_constant_target(ConstantTargetClass::vertex_attribute_constant, 6, 3);
    const uint32_t coordinate_target = make_constant_target(ConstantTargetClass::texture_coordinate_constant, 3, 2);
    const ConstantValue value = make_value(0.25f, 0.5f, 0.75f, 9.0f);
    zolt::test::GlCallRecorder recorder;
    for (int repeat = 0; repeat < 3; ++repeat) {
        setup_constant(value, false, attribute_target);
        setup_constant(value, false, coordinate_target);
    }
    EXPECT_EQ(recorder.count("glVertexAttrib3fv") + recorder.count("glVertexAttrib3fvARB"), 1u);
    EXPECT_EQ(recorder.count("glMultiTexCoord2fv"), 1u);
    float current[4] = {};
    gl.glActiveTexture(GL_TEXTURE3);
    gl.glGetFloatv(GL_CURRENT_TEXTURE_COORDS, current);
    gl.glActiveTexture(GL_TEXTURE0);
    expect_floats(Floats{{current[0], current[1], current[2], current[3]}}, 0.25f, 0.5f, 0.0f, 1.0f);

    // Drawing outside the library may have set texture coordinates itself.
    invalidate_texture_cache();
    setup_constant(value, false, coordinate_target);
    EXPECT_EQ(recorder.count("glMultiTexCoord2fv"), 2u);
}

}  // namespace
}  // namespace zolt::renderer::shader_library::test

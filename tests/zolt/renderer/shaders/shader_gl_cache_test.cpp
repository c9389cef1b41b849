#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/shader_objects.h"
#include "libs/utility/message_handler.h"
#include "platform/display/egl_test_context.h"
#include "support/child_process.h"
#include "zolt/renderer/shaders/shader_constants.h"
#include "zolt/renderer/shaders/shader_draw.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_gl_test_library.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"
#include "zolt/renderer/shaders/shader_program_setup.h"
#include "zolt/renderer/shaders/shader_program_warm_up.h"
#include "zolt/renderer/shaders/shader_target_setup.h"

namespace zolt::renderer::shader_library::test {
namespace {

using opengl::gl;
using zolt::test::GlCallRecorder;
using zolt::test::ScopedValue;

class WarningCollector final : public MessageHandler {
public:
    void handle_message(MessageKind kind, const char*, const char*, const char*, uint32_t, const char* format,
                        va_list arguments) override {
        if (kind == MessageKind::Warning) {
            char text[4096];
            std::vsnprintf(text, sizeof text, format, arguments);
            warnings.emplace_back(text);
        }
    }
    std::vector<std::string> warnings;
};

bool is_enabled(GLenum capability) {
    static const auto is_enabled_function =
        reinterpret_cast<decltype(&glIsEnabled)>(platform::EglTestContext::get_proc_address("glIsEnabled"));
    return is_enabled_function(capability) == GL_TRUE;
}

GLint get_integer(GLenum name) {
    GLint value = 0;
    gl.glGetIntegerv(name, &value);
    return value;
}

GLint get_texture_environment_mode() {
    static const auto get_tex_env =
        reinterpret_cast<decltype(&glGetTexEnviv)>(platform::EglTestContext::get_proc_address("glGetTexEnviv"));
    GLint mode = 0;
    get_tex_env(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    return mode;
}

using ShaderGlCache = ShaderGlTest;

TEST_F(ShaderGlCache, ARepeatedTargetSetupMakesNoGlCall) {
    const TargetSetup setups[] = {
        {2, 6 | depth_mode_no_writes, 2, 2, 2},
        {3, 8, 5, 3, 3},
        {1, 1, 7, 4, 1},
        {0, 0, 0, 0, 0},
    };
    for (const TargetSetup& setup : setups) {
        apply_target_setup(setup);
        GlCallRecorder recorder;
        apply_target_setup(setup);
        EXPECT_TRUE(recorder.calls().empty()) << recorder.calls().front();
    }
    // A 0 byte means the default, which is what {1, 1, 7, 4, 1} left for all
    // but blend and alpha test.
    apply_target_setup({1, 1, 7, 4, 1});
    GlCallRecorder recorder;
    apply_target_setup({0, 0, 0, 0, 0});
    EXPECT_EQ(recorder.count("glDisable"), 2u);
    EXPECT_EQ(recorder.calls().size(), 2u);
}

TEST_F(ShaderGlCache, TargetSetupValuesReachGl) {
    apply_target_setup({3, 7 | depth_mode_no_writes, 6, 2, 3});
    EXPECT_TRUE(is_enabled(GL_CULL_FACE));
    EXPECT_EQ(get_integer(GL_CULL_FACE_MODE), GL_BACK);
    EXPECT_TRUE(is_enabled(GL_DEPTH_TEST));
    EXPECT_EQ(get_integer(GL_DEPTH_FUNC), GL_GREATER);
    EXPECT_EQ(get_integer(GL_DEPTH_WRITEMASK), GL_FALSE);
    EXPECT_TRUE(is_enabled(GL_BLEND));
    EXPECT_EQ(get_integer(GL_BLEND_EQUATION_RGB), GL_FUNC_REVERSE_SUBTRACT);
    EXPECT_EQ(get_integer(GL_BLEND_SRC_RGB), GL_SRC_ALPHA);
    EXPECT_EQ(get_integer(GL_BLEND_DST_RGB), GL_ONE);
    EXPECT_TRUE(is_enabled(GL_ALPHA_TEST));
    EXPECT_EQ(get_integer(GL_ALPHA_TEST_FUNC), GL_GREATER);
    EXPECT_TRUE(is_enabled(GL_STENCIL_TEST));
    EXPECT_EQ(get_integer(GL_STENCIL_FUNC), GL_NOTEQUAL);
    EXPECT_EQ(get_integer(GL_STENCIL_PASS_DEPTH_PASS), GL_KEEP);

    // Depth writes come back with a value without the bit; stencil 4 keeps
    // the stencil state.
    apply_target_setup({1, 8, 1, 1, 4});
    EXPECT_FALSE(is_enabled(GL_CULL_FACE));
    EXPECT_EQ(get_integer(GL_DEPTH_WRITEMASK), GL_TRUE);
    EXPECT_EQ(get_integer(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_FALSE(is_enabled(GL_BLEND));
    EXPECT_FALSE(is_enabled(GL_ALPHA_TEST));
    EXPECT_TRUE(is_enabled(GL_STENCIL_TEST));
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShaderGlCache, ConsecutiveIdenticalPassesBindTheirProgramsOnce) {
    bind_test_texture();
    for (const ShaderPass& pass : {find_glsl_pass(colour_program), find_arb_pass(true)}) {
        set_up_pass(pass);
        GlCallRecorder recorder;
        set_up_pass(pass);
        EXPECT_EQ(recorder.count("glUseProgram"), 0u);
        EXPECT_EQ(recorder.count("glBindProgramARB"), 0u);
        EXPECT_EQ(recorder.count("glVertexPointer"), 0u);
        EXPECT_EQ(recorder.count("glEnable"), 0u);
        EXPECT_EQ(recorder.count("glDisable"), 0u);
    }
    // A fibre the next pass does not bind is released.
    set_up_pass(find_glsl_pass(colour_program));
    EXPECT_FALSE(is_enabled(GL_TEXTURE_COORD_ARRAY));
    EXPECT_TRUE(is_enabled(GL_COLOR_ARRAY));
}

TEST_F(ShaderGlCache, AGlslCompileErrorIsReportedAndBindsNoBrokenProgram) {
    WarningCollector collector;
    collector.register_handler();
    set_up_pass(find_glsl_pass(colour_program));
    const GLint good_program = get_integer(GL_CURRENT_PROGRAM);
    {
        GlCallRecorder recorder;
        set_up_pass(find_glsl_pass(broken_program));
        EXPECT_EQ(recorder.count("glUseProgram"), 0u);
    }
    EXPECT_EQ(get_integer(GL_CURRENT_PROGRAM), good_program);
    EXPECT_EQ(get_current_glsl_program_index(), static_cast<int32_t>(colour_program));
    EXPECT_TRUE(get_glsl_program_entry(broken_program).build_failed);
    EXPECT_EQ(get_glsl_program_entry(broken_program).program, 0u);
    bool program_named = false;
    bool driver_log_seen = false;
    for (const std::string& warning : collector.warnings) {
        program_named |= warning.find("GLSL program 9 failed to compile its fragment shader") != std::string::npos;
        driver_log_seen |= warning.find("undefined_value") != std::string::npos;
    }
    EXPECT_TRUE(program_named);
    EXPECT_TRUE(driver_log_seen);

    // Not built again: no new program object.
    GlCallRecorder recorder;
    set_up_pass(find_glsl_pass(broken_program));
    EXPECT_EQ(recorder.count("glCreateProgram"), 0u);
    collector.unregister_handler();
}

TEST_F(ShaderGlCache, ThePrefixGoesAfterALeadingVersionLine) {
    struct Row {
        const char* name;
        std::vector<const char*> texts;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"no version", {"a\n", "b\n"}, {"#define IGNORE_NV_DATA_TYPES\n", "a\n", "b\n"}},
        {"version line",
         {"#version 120\nbody\n", "b\n"},
         {"#version 120\n", "#define IGNORE_NV_DATA_TYPES\n", "body\n", "b\n"}},
        {"version alone", {"#version 120", "b\n"}, {"#version 120\n", "#define IGNORE_NV_DATA_TYPES\n", "b\n"}},
        {"version not first", {"// x\n#version 120\n"}, {"#define IGNORE_NV_DATA_TYPES\n", "// x\n#version 120\n"}},
    };
    ScopedValue<bool> no_nv_types(support_nv_data_types, false);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(build_glsl_sources(row.texts.data(), static_cast<uint32_t>(row.texts.size())), row.expected);
    }
    // What Mesa accepts: the define after #version.
    const char* const text =
        "#version 120\n#ifdef IGNORE_NV_DATA_TYPES\nvoid main() { gl_FragColor = vec4(1.0); }\n#endif\n";
    const std::vector<std::string> sources = build_glsl_sources(&text, 1);
    std::vector<const char*> pointers;
    for (const std::string& source : sources) {
        pointers.push_back(source.c_str());
    }
    const uint32_t program = gl.glCreateProgram();
    EXPECT_TRUE(
        opengl::add_shader(program, static_cast<uint32_t>(pointers.size()), 0, pointers.data(), GL_FRAGMENT_SHADER));
    EXPECT_TRUE(opengl::link_program(program));
    opengl::delete_program(program);
}

TEST_F(ShaderGlCache, PredefinedPixelSetupsSetTextureUnitZero) {
    struct Row {
        uint32_t setup;
        GLint mode;
        bool texture_2d;
        bool colour_sum;
    };
    const Row rows[] = {
        {1, GL_REPLACE, false, false},
        {2, GL_REPLACE, false, false},
        {3, GL_REPLACE, true, false},
        {4, GL_MODULATE, true, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.setup);
        setup_pass_program(find_predefined_pass(row.setup));
        EXPECT_EQ(get_current_predefined_pixel_setup(), row.setup);
        EXPECT_EQ(get_texture_environment_mode(), row.mode);
        EXPECT_EQ(is_enabled(GL_TEXTURE_2D), row.texture_2d);
        EXPECT_EQ(is_enabled(GL_COLOR_SUM), row.colour_sum);
        end_predefined_pixel_setup();
        EXPECT_EQ(get_texture_environment_mode(), GL_REPLACE);
        EXPECT_FALSE(is_enabled(GL_TEXTURE_2D));
        EXPECT_FALSE(is_enabled(GL_COLOR_SUM));
    }
    // Setup 3 draws the texture through fixed function.
    bind_test_texture();
    clear_to_black();
    set_up_pass(find_predefined_pass(3));
    draw_indexed(0, 0);
    const std::vector<uint8_t> colors = read_colors();
    const uint32_t top_right = 4 * ((picture_height - 1) * picture_width + picture_width - 1);
    EXPECT_EQ(std::vector<uint8_t>(colors.begin(), colors.begin() + 4), std::vector<uint8_t>(texels[0], texels[0] + 4));
    EXPECT_EQ(std::vector<uint8_t>(colors.begin() + top_right, colors.begin() + top_right + 4),
              std::vector<uint8_t>(texels[3], texels[3] + 4));
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ShaderGlCache, ResetStateRestoresTheDefaultPass) {
    bind_test_texture();
    set_up_pass(find_glsl_pass(textured_program));
    apply_target_setup({3, 6, 2, 2, 2});
    reset_state();
    EXPECT_EQ(get_current_glsl_program_index(), no_glsl_program);
    EXPECT_EQ(get_integer(GL_CURRENT_PROGRAM), 0);
    EXPECT_FALSE(is_enabled(GL_CULL_FACE));
    EXPECT_FALSE(is_enabled(GL_DEPTH_TEST));
    EXPECT_FALSE(is_enabled(GL_BLEND));
    EXPECT_FALSE(is_enabled(GL_STENCIL_TEST));
    EXPECT_FALSE(is_enabled(GL_VERTEX_ARRAY));
    EXPECT_FALSE(is_enabled(GL_TEXTURE_COORD_ARRAY));
    EXPECT_EQ(get_index_stream().stream, nullptr);
}

TEST_F(ShaderGlCache, UnsupportedKindsArePanics) {
    struct Row {
        const char* message;
        void (*body)();
    };
    const Row rows[] = {
        {"Unsupported fibre target type 80",
         [] {
             const uint32_t tags[] = {0, 1};
             setup_fibre({1, 0x50}, {nullptr, 0, tags, 2});
         }},
        {"Fibre tag 3 does not have valid source",
         [] {
             const uint32_t tags[] = {0, 1};
             setup_fibre({3, 0x00}, {nullptr, 0, tags, 2});
         }},
        {"Invalid setup type 5", [] { setup_predefined_pixel_setup(5); }},
        {"Invalid setup type 0", [] { setup_predefined_pixel_setup(0); }},
        {"Unsupported blending type 9.", [] { apply_blend_mode(9); }},
        {"Unsupported alpha test type 5.", [] { apply_alpha_test_mode(5); }},
        {"Unsupported stencil testing type 5.", [] { apply_stencil_mode(5); }},
        {"Unsupported vertex setup type 2",
         [] {
             setup_vertex_setup(ShaderPass{0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
         }},
        {"Unsupported pixel setup type 32",
         [] {
             setup_pixel_setup(ShaderPass{0, 0x20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
         }},
        {"Unsupported constant target 6291456", [] { setup_constant(ConstantValue{}, false, 0x600000); }},
        {"Unsupported fixed location target 6",
         [] {
             setup_constant(ConstantValue{}, false, make_constant_target(ConstantTargetClass::fixed_location, 6, 1));
         }},
        {"Unsupported value count 5",
         [] {
             setup_constant(ConstantValue{}, false,
                            make_constant_target(ConstantTargetClass::texture_coordinate_constant, 0, 5));
         }},
        {"Unsupported value count 6",
         [] {
             setup_constant(ConstantValue{}, false,
                            make_constant_target(ConstantTargetClass::vertex_attribute_constant, 0, 6));
         }},
        {"Incorrect shader light type 5", [] { get_light_pixel_parameters(static_cast<GlslLightKind>(5)); }},
        {"Unrecognized geometrical primitive type 0x5", [] { get_indices_per_primitive(GL_TRIANGLE_STRIP); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        const zolt::test::ChildResult result = zolt::test::run_in_child(row.body);
        EXPECT_EQ(result.exit_code, ExitCode::crash);
        EXPECT_NE(result.standard_error.find(std::string("zolt: fatal error: ") + row.message), std::string::npos)
            << result.standard_error;
    }
}

}  // namespace
}  // namespace zolt::renderer::shader_library::test

#include "libs/opengl/core_or_extension.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "libs/opengl/buffer_binding.h"
#include "libs/opengl/occlusion_query.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/opengl/renderer_hooks.h"
#include "libs/opengl/shader_objects.h"
#include "libs/opengl/shadowmap_framebuffer.h"
#include "libs/opengl/simple_drawing.h"
#include "platform/display/egl_test_context.h"
#include "support/child_process.h"
#include "support/gl_context.h"

namespace zolt::opengl {
namespace {

using test::ScopedValue;

class CoreOrExtension : public test::GlContextTest {
protected:
    static std::vector<float> read_attribute(uint32_t index) {
        const auto get_attribute = reinterpret_cast<PFNGLGETVERTEXATTRIBFVPROC>(
            platform::EglTestContext::get_proc_address("glGetVertexAttribfv"));
        std::vector<float> values(4);
        get_attribute(index, GL_CURRENT_VERTEX_ATTRIB, values.data());
        return values;
    }

    static GLint get_integer(GLenum name) {
        GLint value = 0;
        gl.glGetIntegerv(name, &value);
        return value;
    }
};

TEST_F(CoreOrExtension, GenericAttributesUseTheCoreFunctionsOnlyWithGlsl) {
    const float values[4] = {1, 2, 3, 4};
    {
        test::GlCallRecorder recorder;
        vertex_attrib_4fv(3, values);
        enable_vertex_attrib_array(3);
        EXPECT_EQ(recorder.calls(), (std::vector<std::string>{"glVertexAttrib4fv", "glEnableVertexAttribArray"}));
    }
    EXPECT_EQ(read_attribute(3), (std::vector<float>{1, 2, 3, 4}));

    ScopedValue<bool> no_glsl(compatibility_fix_disable_glsl_shaders, true);
    {
        test::GlCallRecorder recorder;
        vertex_attrib_2fv(5, values);
        vertex_attrib_pointer(5, 2, GL_FLOAT, false, 8, values);
        EXPECT_EQ(recorder.calls(), (std::vector<std::string>{"glVertexAttrib2fvARB", "glVertexAttribPointerARB"}));
    }
    EXPECT_EQ(read_attribute(5), (std::vector<float>{1, 2, 0, 1}));

    ScopedValue<bool> no_programs(test::extension_flag(Extension::ARB_vertex_program), false);
    const test::ChildResult result = test::run_in_child([&values] { vertex_attrib_1fv(1, values); });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("zolt: fatal error: missing OpenGL entry point"), std::string::npos);
}

TEST_F(CoreOrExtension, TheBlendEquationFollowsTheFirstFunctionPresent) {
    {
        test::GlCallRecorder recorder;
        set_blend_equation(GL_FUNC_REVERSE_SUBTRACT);
        EXPECT_EQ(recorder.calls(), std::vector<std::string>{"glBlendEquation"});
    }
    EXPECT_EQ(get_integer(GL_BLEND_EQUATION), GL_FUNC_REVERSE_SUBTRACT);

    ScopedValue<bool> no_core(capabilities.gl_1_4, false);
    {
        test::GlCallRecorder recorder;
        set_blend_equation(GL_FUNC_ADD);
        EXPECT_EQ(recorder.calls(), std::vector<std::string>{"glBlendEquationEXT"});
    }
    EXPECT_EQ(get_integer(GL_BLEND_EQUATION), GL_FUNC_ADD);

    ScopedValue<bool> no_minmax(test::extension_flag(Extension::EXT_blend_minmax), false);
    ScopedValue<bool> no_subtract(test::extension_flag(Extension::EXT_blend_subtract), false);
    test::GlCallRecorder recorder;
    set_blend_equation(GL_FUNC_SUBTRACT);
    EXPECT_TRUE(recorder.calls().empty());
}

uint32_t completed_frames = 0;
uint32_t read_test_frame_counter() {
    return completed_frames;
}

class OpenGL1_1Driver : public test::GlOverrideTest {};

// A driver that reports only OpenGL 1.1 still offers every feature through
// extensions; each wrapper must take the ARB or EXT function and work.
TEST_F(OpenGL1_1Driver, EveryWrapperTakesTheExtensionFunctions) {
    if (run_in_child_with({"MESA_GL_VERSION_OVERRIDE=1.1"})) {
        return;
    }
    ASSERT_TRUE(is_version_at_least(1, 1, 0));
    EXPECT_FALSE(capabilities.gl_1_2 || capabilities.gl_1_3 || capabilities.gl_1_4 || capabilities.gl_1_5 ||
                 capabilities.gl_2_0 || capabilities.gl_2_1 || capabilities.gl_3_0);
    ASSERT_TRUE(glsl_usable());
    test::GlCallRecorder recorder;

    set_renderer_hooks({&read_test_frame_counter, nullptr});
    completed_frames = 10;
    OcclusionQuery* query = allocate_occlusion_query();
    ASSERT_NE(query, nullptr);
    openglBeginOcclusionQuery(query);

    const char* const vertex_source = "#version 110\nvoid main() { gl_Position = gl_Vertex; }\n";
    const char* const fragment_source = "#version 110\nvoid main() { gl_FragColor = vec4(1.0, 0.5, 0.0, 1.0); }\n";
    const uint32_t program = gl.glCreateProgramObjectARB();
    ASSERT_TRUE(add_shader(program, 1, 0, &vertex_source, GL_VERTEX_SHADER));
    ASSERT_TRUE(add_shader(program, 1, 0, &fragment_source, GL_FRAGMENT_SHADER));
    ASSERT_TRUE(link_program(program));
    use_program(program);
    const float positions[] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    const uint16_t indices[] = {0, 1, 2, 0, 2, 3};
    set_position_array(positions, 4, indices, 2);
    draw_indexed_triangles();
    clear_position_array();
    use_program(0);
    delete_program(program);
    openglEndOcclusionQuery();

    bool visible = false;
    completed_frames = 12;
    ASSERT_TRUE(get_delayed_occlusion_result(query, &visible));
    EXPECT_TRUE(visible);
    free_occlusion_query(query);
    set_renderer_hooks({});

    const std::vector<uint8_t> colors = read_colors();
    EXPECT_EQ(colors[0], 255);
    EXPECT_NEAR(colors[1], 128, 1);
    EXPECT_EQ(colors[2], 0);

    set_blend_equation(GL_FUNC_ADD);
    const float values[4] = {1, 2, 3, 4};
    vertex_attrib_4fv(2, values);
    ASSERT_TRUE(framebuffer_object_initialize());
    EXPECT_TRUE(choose_shadowmap_size());

    for (const char* name : {"glGenQueriesARB", "glBeginQueryARB", "glEndQueryARB", "glGetQueryObjectuivARB",
                             "glDeleteQueriesARB", "glCreateShaderObjectARB", "glCompileShaderARB", "glAttachObjectARB",
                             "glLinkProgramARB", "glUseProgramObjectARB", "glBindBufferARB", "glDrawRangeElementsEXT",
                             "glBlendEquationEXT", "glVertexAttrib4fvARB"}) {
        EXPECT_GT(recorder.count(name), 0u) << name;
    }
    for (const char* name : {"glGenQueries", "glBeginQuery", "glCreateShader", "glBindBuffer", "glDrawRangeElements",
                             "glBlendEquation", "glVertexAttrib4fv"}) {
        EXPECT_EQ(recorder.count(name), 0u) << name;
    }
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
}  // namespace zolt::opengl

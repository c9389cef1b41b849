#include "libs/opengl/shader_objects.h"

#include <gtest/gtest.h>

#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "platform/display/egl_test_context.h"
#include "support/child_process.h"
#include "support/gl_context.h"

namespace zolt::opengl {
namespace {

using test::ScopedValue;

const char* const vertex_source =
    "#version 110\n"
    "void main() { gl_Position = gl_Vertex; }\n";
const char* const fragment_header = "#version 110\nuniform vec4 colour;\n";
const char* const fragment_body = "void main() { gl_FragColor = colour; }\n";
const char* const broken_source = "#version 110\nvoid main() { gl_FragColor = undefined_value; }\n";

std::vector<GLuint> created_shaders;
PFNGLCREATESHADERPROC real_create_shader = nullptr;

GLuint create_and_note_shader(GLenum type) {
    const GLuint shader = real_create_shader(type);
    created_shaders.push_back(shader);
    return shader;
}

class ShaderObjects : public test::GlContextTest {
protected:
    void SetUp() override {
        test::GlContextTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        created_shaders.clear();
        real_create_shader = gl.glCreateShader;
        gl.glCreateShader = &create_and_note_shader;
        is_shader_ = reinterpret_cast<PFNGLISSHADERPROC>(platform::EglTestContext::get_proc_address("glIsShader"));
        get_attached_ = reinterpret_cast<PFNGLGETATTACHEDSHADERSPROC>(
            platform::EglTestContext::get_proc_address("glGetAttachedShaders"));
    }

    GLsizei count_attached(GLuint program) const {
        GLuint shaders[4];
        GLsizei count = 0;
        get_attached_(program, 4, &count, shaders);
        return count;
    }

    // Whether the shader object still exists and is not merely waiting for
    // its program to go.
    bool shader_lives(GLuint shader) const {
        if (is_shader_(shader) != GL_TRUE) {
            return false;
        }
        GLint deleted = GL_FALSE;
        gl.glGetShaderiv(shader, GL_DELETE_STATUS, &deleted);
        return deleted == GL_FALSE;
    }

    PFNGLISSHADERPROC is_shader_ = nullptr;
    PFNGLGETATTACHEDSHADERSPROC get_attached_ = nullptr;
};

TEST_F(ShaderObjects, ACompileErrorAnswersFalseAndLeavesNoShader) {
    const GLuint program = gl.glCreateProgram();
    EXPECT_FALSE(add_shader(program, 1, 0, &broken_source, GL_FRAGMENT_SHADER));
    EXPECT_FALSE(add_shader(program, 1, 17, &broken_source, GL_FRAGMENT_SHADER));
    ASSERT_EQ(created_shaders.size(), 2u);
    for (GLuint shader : created_shaders) {
        EXPECT_NE(shader, 0u);
        EXPECT_EQ(is_shader_(shader), GL_FALSE);
    }
    EXPECT_EQ(count_attached(program), 0);
    // A failed key stays empty, so the next try compiles again.
    const char* const sources[] = {fragment_header, fragment_body};
    EXPECT_TRUE(add_shader(program, 2, 17, sources, GL_FRAGMENT_SHADER));
    EXPECT_EQ(created_shaders.size(), 3u);
    delete_program(program);
}

TEST_F(ShaderObjects, ACachedShaderIsCompiledOnceAndSharedByPrograms) {
    const char* const fragment_sources[] = {fragment_header, fragment_body};
    GLuint programs[2];
    for (GLuint& program : programs) {
        program = gl.glCreateProgram();
        ASSERT_TRUE(add_shader(program, 1, 5, &vertex_source, GL_VERTEX_SHADER));
        ASSERT_TRUE(add_shader(program, 2, 6, fragment_sources, GL_FRAGMENT_SHADER));
        ASSERT_TRUE(link_program(program));
        EXPECT_EQ(count_attached(program), 2);
    }
    ASSERT_EQ(created_shaders.size(), 2u);
    EXPECT_TRUE(shader_lives(created_shaders[0]));
    EXPECT_TRUE(shader_lives(created_shaders[1]));

    use_program(programs[1]);
    const int32_t location = get_uniform_location(programs[1], "colour");
    ASSERT_NE(location, -1);
    const float colour[4] = {0.25f, 0.5f, 0.75f, 1.0f};
    set_uniform_floats(location, 4, 1, colour);
    gl.glBegin(GL_QUADS);
    gl.glVertex2f(-1, -1);
    gl.glVertex2f(1, -1);
    gl.glVertex2f(1, 1);
    gl.glVertex2f(-1, 1);
    gl.glEnd();
    const std::vector<uint8_t> pixels = read_colors();
    EXPECT_NEAR(pixels[0], 64, 1);
    EXPECT_NEAR(pixels[1], 128, 1);
    EXPECT_NEAR(pixels[2], 191, 1);
    use_program(0);

    delete_cached_shaders();
    EXPECT_FALSE(shader_lives(created_shaders[0]));
    EXPECT_FALSE(shader_lives(created_shaders[1]));
    delete_program(programs[0]);
    delete_program(programs[1]);
}

TEST_F(ShaderObjects, WithoutCachingEachProgramGetsItsOwnShader) {
    ScopedValue<bool> no_caching(compatibility_fix_disable_shader_caching, true);
    const GLuint program = gl.glCreateProgram();
    ASSERT_TRUE(add_shader(program, 1, 5, &vertex_source, GL_VERTEX_SHADER));
    ASSERT_TRUE(add_shader(program, 1, 5, &vertex_source, GL_VERTEX_SHADER));
    ASSERT_EQ(created_shaders.size(), 2u);
    // The program keeps them until it goes.
    EXPECT_EQ(count_attached(program), 2);
    EXPECT_FALSE(shader_lives(created_shaders[0]));
    delete_program(program);
    EXPECT_EQ(is_shader_(created_shaders[0]), GL_FALSE);
}

TEST_F(ShaderObjects, UniformSettersIgnoreLocationMinusOneAndOddComponentCounts) {
    const float values[8] = {};
    const int32_t integers[4] = {};
    test::GlCallRecorder recorder;
    set_uniform_floats(-1, 4, 1, values);
    set_uniform_floats(3, 5, 1, values);
    set_uniform_floats(3, 0, 1, values);
    set_uniform_ints(-1, 1, integers);
    set_uniform_ints(3, 5, integers);
    EXPECT_TRUE(recorder.calls().empty());
    set_uniform_floats(3, 2, 4, values);
    set_uniform_ints(3, 3, integers);
    EXPECT_EQ(recorder.calls(), (std::vector<std::string>{"glUniform2fv", "glUniform3iv"}));
    gl.glGetError();
}

TEST_F(ShaderObjects, CompileAndLinkFailuresLeaveTheirLogs) {
    const GLuint shader = gl.glCreateShader(GL_FRAGMENT_SHADER);
    gl.glShaderSource(shader, 1, &broken_source, nullptr);
    EXPECT_FALSE(compile_shader(shader));
    char log[shader_info_log_size];
    const uint32_t length = get_shader_info_log(shader, log);
    EXPECT_EQ(std::string(log).size(), length);
    EXPECT_NE(std::string(log).find("undefined_value"), std::string::npos) << log;
    delete_shader(shader);
    delete_shader(0);

    const char* const unfed_varying = "#version 110\nvarying vec4 unfed;\nvoid main() { gl_FragColor = unfed; }\n";
    const GLuint program = gl.glCreateProgram();
    ASSERT_TRUE(add_shader(program, 1, 0, &vertex_source, GL_VERTEX_SHADER));
    ASSERT_TRUE(add_shader(program, 1, 0, &unfed_varying, GL_FRAGMENT_SHADER));
    EXPECT_FALSE(link_program(program));
    char program_log[program_info_log_size];
    EXPECT_GT(get_program_info_log(program, program_log), 0u);
    EXPECT_NE(std::string(program_log).find("unfed"), std::string::npos) << program_log;
    delete_program(program);
}

TEST(ShaderCacheKeys, AKeyBeyondTheCacheIsBrokenData) {
    const test::ChildResult result =
        test::run_in_child([] { add_shader(1, 1, shader_cache_size, &vertex_source, GL_VERTEX_SHADER); });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("shader cache key 4001 out of range"), std::string::npos)
        << result.standard_error;
}

}  // namespace
}  // namespace zolt::opengl

#include "libs/opengl/shader_objects.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/opengl/opengl_error.h"
#include "libs/utility/fatal_error.h"

namespace zolt::opengl {

namespace {

uint32_t shader_cache[shader_cache_size];

enum class ShaderFunctions { core, arb };

ShaderFunctions choose_shader_functions() {
    if (capabilities.gl_2_0) {
        return ShaderFunctions::core;
    }
    if (is_extension_present(Extension::ARB_shader_objects)) {
        return ShaderFunctions::arb;
    }
    ZOLT_PANIC("missing OpenGL entry point");
}

uint32_t create_shader(GLenum shader_type) {
    if (choose_shader_functions() == ShaderFunctions::core) {
        return gl.glCreateShader(shader_type);
    }
    return gl.glCreateShaderObjectARB(shader_type);
}

void set_shader_sources(uint32_t shader, uint32_t source_count, const char* const* sources) {
    const GLsizei count = static_cast<GLsizei>(source_count);
    if (choose_shader_functions() == ShaderFunctions::core) {
        gl.glShaderSource(shader, count, sources, nullptr);
    } else {
        gl.glShaderSourceARB(shader, count, const_cast<const GLcharARB**>(sources), nullptr);
    }
}

void attach_shader(uint32_t program, uint32_t shader) {
    if (choose_shader_functions() == ShaderFunctions::core) {
        gl.glAttachShader(program, shader);
    } else {
        gl.glAttachObjectARB(program, shader);
    }
}

void report_shader_log(uint32_t shader, bool compiled) {
    char log[shader_info_log_size];
    if (get_shader_info_log(shader, log) == 0) {
        return;
    }
    if (compiled) {
        report_message(MessageKind::Info, __PRETTY_FUNCTION__, __FILE__, __LINE__, "GLSL compiler log: %s", log);
    } else {
        report_message(MessageKind::Warning, __PRETTY_FUNCTION__, __FILE__, __LINE__, "GLSL compilation failed: %s",
                       log);
    }
}

}  // namespace

bool compile_shader(uint32_t shader) {
    GLint status = GL_FALSE;
    if (choose_shader_functions() == ShaderFunctions::core) {
        gl.glCompileShader(shader);
        gl.glGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    } else {
        gl.glCompileShaderARB(shader);
        gl.glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &status);
    }
    return status != GL_FALSE;
}

bool link_program(uint32_t program) {
    GLint status = GL_FALSE;
    if (choose_shader_functions() == ShaderFunctions::core) {
        gl.glLinkProgram(program);
        gl.glGetProgramiv(program, GL_LINK_STATUS, &status);
    } else {
        gl.glLinkProgramARB(program);
        gl.glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &status);
    }
    return status != GL_FALSE;
}

void use_program(uint32_t program) {
    if (choose_shader_functions() == ShaderFunctions::core) {
        gl.glUseProgram(program);
    } else {
        gl.glUseProgramObjectARB(program);
    }
}

void delete_shader(uint32_t shader) {
    if (shader == 0) {
        return;
    }
    if (choose_shader_functions() == ShaderFunctions::core) {
        gl.glDeleteShader(shader);
    } else {
        gl.glDeleteObjectARB(shader);
    }
}

void delete_program(uint32_t program) {
    if (choose_shader_functions() == ShaderFunctions::core) {
        gl.glDeleteProgram(program);
    } else {
        gl.glDeleteObjectARB(program);
    }
}

void set_uniform_floats(int32_t location, uint32_t components, int32_t count, const float* values) {
    if (location == -1 || components < 1 || components > 4) {
        return;
    }
    const bool core = choose_shader_functions() == ShaderFunctions::core;
    switch (components) {
    case 1:
        core ? gl.glUniform1fv(location, count, values) : gl.glUniform1fvARB(location, count, values);
        break;
    case 2:
        core ? gl.glUniform2fv(location, count, values) : gl.glUniform2fvARB(location, count, values);
        break;
    case 3:
        core ? gl.glUniform3fv(location, count, values) : gl.glUniform3fvARB(location, count, values);
        break;
    default:
        core ? gl.glUniform4fv(location, count, values) : gl.glUniform4fvARB(location, count, values);
        break;
    }
}

void set_uniform_ints(int32_t location, uint32_t components, const int32_t* values) {
    if (location == -1 || components < 1 || components > 4) {
        return;
    }
    const bool core = choose_shader_functions() == ShaderFunctions::core;
    switch (components) {
    case 1:
        core ? gl.glUniform1iv(location, 1, values) : gl.glUniform1ivARB(location, 1, values);
        break;
    case 2:
        core ? gl.glUniform2iv(location, 1, values) : gl.glUniform2ivARB(location, 1, values);
        break;
    case 3:
        core ? gl.glUniform3iv(location, 1, values) : gl.glUniform3ivARB(location, 1, values);
        break;
    default:
        core ? gl.glUniform4iv(location, 1, values) : gl.glUniform4ivARB(location, 1, values);
        break;
    }
}

uint32_t get_program_info_log(uint32_t program, char* buffer) {
    GLsizei length = 0;
    buffer[0] = '\0';
    if (choose_shader_functions() == ShaderFunctions::core) {
        gl.glGetProgramInfoLog(program, program_info_log_size, &length, buffer);
    } else {
        gl.glGetInfoLogARB(program, program_info_log_size, &length, buffer);
    }
    return length > 0 ? static_cast<uint32_t>(length) : 0;
}

uint32_t get_shader_info_log(uint32_t shader, char* buffer) {
    GLsizei length = 0;
    buffer[0] = '\0';
    if (choose_shader_functions() == ShaderFunctions::core) {
        gl.glGetShaderInfoLog(shader, shader_info_log_size, &length, buffer);
    } else {
        gl.glGetInfoLogARB(shader, shader_info_log_size, &length, buffer);
    }
    return length > 0 ? static_cast<uint32_t>(length) : 0;
}

int32_t get_uniform_location(uint32_t program, const char* name) {
    if (choose_shader_functions() == ShaderFunctions::core) {
        return gl.glGetUniformLocation(program, name);
    }
    return gl.glGetUniformLocationARB(program, name);
}

bool add_shader(uint32_t program, uint32_t source_count, uint32_t cache_key, const char* const* sources,
                GLenum shader_type) {
    if (cache_key >= shader_cache_size) {
        ZOLT_PANIC("shader cache key %u out of range", cache_key);
    }
    ZOLT_SKIP_OPENGL_ERRORS();
    if (cache_key != 0 && shader_cache[cache_key] != 0) {
        attach_shader(program, shader_cache[cache_key]);
        return true;
    }
    const uint32_t shader = create_shader(shader_type);
    if (shader == 0) {
        return false;
    }
    set_shader_sources(shader, source_count, sources);
    if (ZOLT_SKIP_OPENGL_ERRORS() > 0) {
        delete_shader(shader);
        return false;
    }
    const bool compiled = compile_shader(shader);
    if (report_all_glsl_logs || !compiled) {
        report_shader_log(shader, compiled);
    }
    if (!compiled) {
        delete_shader(shader);
        return false;
    }
    attach_shader(program, shader);
    if (cache_key != 0 && !compatibility_fix_disable_shader_caching) {
        shader_cache[cache_key] = shader;
    } else {
        delete_shader(shader);
    }
    return true;
}

void delete_cached_shaders() {
    for (uint32_t& shader : shader_cache) {
        delete_shader(shader);
        shader = 0;
    }
}

}  // namespace zolt::opengl

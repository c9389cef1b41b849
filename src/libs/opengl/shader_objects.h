#pragma once
// GLSL shader and program objects through the GL 2.0 functions, or the
// GL_ARB_shader_objects ones without GL 2.0 (a missing pair panics with
// "missing OpenGL entry point"), and the shared cache of compiled shaders:
// 4001 slots indexed by a key that the shader library gives each shader text
// (0 means no caching). Cached shaders live until delete_cached_shaders.
// Rendering thread only.
#include <cstdint>

#include "libs/opengl/opengl_entry_points.h"

namespace zolt::opengl {

constexpr uint32_t shader_cache_size = 4001;
constexpr uint32_t program_info_log_size = 2048;
constexpr uint32_t shader_info_log_size = 8192;

bool compile_shader(uint32_t shader);
bool link_program(uint32_t program);
void use_program(uint32_t program);
// 0 is ignored.
void delete_shader(uint32_t shader);
void delete_program(uint32_t program);

// glUniform1fv to glUniform4fv by components; location -1 and components
// outside 1-4 call nothing.
void set_uniform_floats(int32_t location, uint32_t components, int32_t count, const float* values);
// One value of 1 to 4 integer components.
void set_uniform_ints(int32_t location, uint32_t components, const int32_t* values);

// The length written; buffer holds program_info_log_size or
// shader_info_log_size bytes.
uint32_t get_program_info_log(uint32_t program, char* buffer);
uint32_t get_shader_info_log(uint32_t shader, char* buffer);
int32_t get_uniform_location(uint32_t program, const char* name);

// Attaches a shader of the type made from the sources (or the cached one of
// the key) to the program. False when it cannot be created or does not
// compile; then no shader object is left. A key of shader_cache_size or more
// is broken library data and panics.
bool add_shader(uint32_t program, uint32_t source_count, uint32_t cache_key, const char* const* sources,
                GLenum shader_type);
void delete_cached_shaders();

}  // namespace zolt::opengl

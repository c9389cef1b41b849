#pragma once
// What this machine's OpenGL offers to the shader library's conditions: the
// GLSL and ARB program capability flags, shadow-map availability and the
// limits that condition types 5 to 13 compare against. Detected once at GPU
// bring-up; rendering thread only.
#include <cstdint>

namespace zolt::renderer::shader_library {

constexpr uint32_t first_limit = 5;
constexpr uint32_t last_limit = 13;
// A limit the driver does not report: every parameter passes.
constexpr uint32_t unreported_limit = 0xFFFFFFFF;

struct ShaderLimits {
    bool glsl_usable = false;
    bool arb_vertex_programs = false;
    bool arb_fragment_programs = false;
    bool shadow_maps = false;
    // Indexed by condition type; entries below first_limit are unused.
    uint32_t limits[last_limit + 1] = {};
};

const ShaderLimits& get_shader_limits();
// For the detection and for tests that stand in for another machine.
void set_shader_limits(const ShaderLimits& limits);
// Reads the capability flags and the limits from the current context.
ShaderLimits detect_shader_limits();

// A query that reports a GL error or a negative value gives 0.
uint32_t get_opengl_limit(uint32_t name);
uint32_t get_arb_program_limit(uint32_t target, uint32_t name);

}  // namespace zolt::renderer::shader_library

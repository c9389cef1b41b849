#pragma once
// Which program a shader pass draws with: fixed function, a predefined pixel
// setup on texture unit 0, ARB assembly programs or a GLSL program, each
// switched only when it differs from the current one. Rendering thread only.
#include <cstdint>

#include "zolt/renderer/shaders/shader_library_format.h"

namespace zolt::renderer::shader_library {

constexpr uint32_t no_predefined_pixel_setup = 0;

// Answers whether the pass wants its GLSL program. An unknown kind is the
// panic "Unsupported vertex setup type %u".
bool setup_vertex_setup(const ShaderPass& pass);
// Likewise; "Unsupported pixel setup type %u".
bool setup_pixel_setup(const ShaderPass& pass);
// n from 1 to 4, else the panic "Invalid setup type %u".
void setup_predefined_pixel_setup(uint32_t setup);
// Undoes the enables of setups 3 and 4 and restores GL_REPLACE.
void end_predefined_pixel_setup();
// Both setups, then the pass's GLSL program when either wants it, else no
// GLSL program.
void setup_pass_program(const ShaderPass& pass);

// No ARB program of either kind and no GLSL program.
void unbind_all_programs();

uint32_t get_current_arb_vertex_program();
uint32_t get_current_arb_fragment_program();
uint32_t get_current_predefined_pixel_setup();

// Forgets the current programs and setup without GL calls: for a new context.
void reset_program_setup_cache();

}  // namespace zolt::renderer::shader_library

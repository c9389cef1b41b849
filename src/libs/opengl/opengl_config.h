#pragma once
// The configuration variables of the OpenGL layer: the compatibility_fix_
// switches, each turning one driver-dependent code path off or to a fallback
// (read by the parts that apply them), and the settings of the GL wrappers.
// Declared in the configuration table at static initialisation; read
// directly, main thread only.
#include <cstdint>

namespace zolt::opengl {

extern bool compatibility_fix_disable_depth_bounds;
extern bool compatibility_fix_disable_draw_range_elements;
extern bool compatibility_fix_disable_fbo;
extern bool compatibility_fix_disable_occlusion_query;
extern bool compatibility_fix_disable_glsl_shaders;
extern bool compatibility_fix_disable_shader_caching;
extern bool compatibility_fix_ignore_separate_stencil;
extern bool compatibility_fix_ignore_two_sided_stencil;
extern bool compatibility_fix_ignore_tagged_stencil;
extern bool compatibility_fix_ignore_texture_non_power_of_two;
extern bool compatibility_fix_disable_vertex_buffer_objects;
extern bool compatibility_fix_disable_pixel_buffer_objects;
// 0 never, 1 always, 2 only with the NVIDIA pixel-buffer quirk.
extern uint32_t compatibility_fix_use_pbo;
extern bool compatibility_fix_dummy_draw_textures;
extern bool compatibility_fix_ignore_arb_pixel_format;
extern bool compatibility_fix_unchanged_swap_interval;
// 0 never, 1 always, 2 with the GeForce 7 quirk.
extern uint32_t compatibility_fix_reload_textures_on_focus_loss;
extern bool compatibility_fix_failing_gamma;
extern bool compatibility_fix_do_not_drop_late_frames;
// 2 follows the Radeon X quirk.
extern uint32_t compatibility_fix_force_glflush;
extern bool compatibility_fix_warmup;
extern bool compatibility_fix_per_constant_warmup;
extern bool compatibility_fix_disable_glow;

extern bool skip_all_ogl_checks;
extern bool skip_unnecessary_ogl_checks;
extern bool suppress_ogl_error_output;
extern bool high_precision_shadowmaps;
extern uint32_t maximal_shadowmap_size;
extern uint32_t minimal_shadowmap_size;
extern bool report_all_glsl_logs;

}  // namespace zolt::opengl

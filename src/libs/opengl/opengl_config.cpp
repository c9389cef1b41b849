#include "libs/opengl/opengl_config.h"

#include "libs/utility/config_variable_row.h"

namespace zolt::opengl {

bool compatibility_fix_disable_depth_bounds = false;
bool compatibility_fix_disable_draw_range_elements = false;
bool compatibility_fix_disable_fbo = false;
bool compatibility_fix_disable_occlusion_query = false;
bool compatibility_fix_disable_glsl_shaders = false;
bool compatibility_fix_disable_shader_caching = false;
bool compatibility_fix_ignore_separate_stencil = false;
bool compatibility_fix_ignore_two_sided_stencil = false;
bool compatibility_fix_ignore_tagged_stencil = true;
bool compatibility_fix_ignore_texture_non_power_of_two = false;
bool compatibility_fix_disable_vertex_buffer_objects = false;
bool compatibility_fix_disable_pixel_buffer_objects = false;
uint32_t compatibility_fix_use_pbo = 2;
bool compatibility_fix_dummy_draw_textures = false;
bool compatibility_fix_ignore_arb_pixel_format = false;
bool compatibility_fix_unchanged_swap_interval = false;
uint32_t compatibility_fix_reload_textures_on_focus_loss = 2;
bool compatibility_fix_failing_gamma = true;
bool compatibility_fix_do_not_drop_late_frames = false;
uint32_t compatibility_fix_force_glflush = 2;
bool compatibility_fix_warmup = true;
bool compatibility_fix_per_constant_warmup = true;
bool compatibility_fix_disable_glow = false;
bool skip_all_ogl_checks = false;
bool skip_unnecessary_ogl_checks = true;
bool suppress_ogl_error_output = false;
bool high_precision_shadowmaps = false;
uint32_t maximal_shadowmap_size = 4096;
uint32_t minimal_shadowmap_size = 512;
bool report_all_glsl_logs = false;

namespace {

// Every row is written to the configuration file only when it differs from
// its default.
#define ZOLT_OPENGL_BOOL_ROW(number, name, default_value)                                      \
    const ConfigVariableRow<bool> name##_row(number, #name, &name, default_value, false, true, \
                                             config_written_when_changed)
#define ZOLT_OPENGL_UNSIGNED_ROW(number, name, default_value, minimum, maximum)                         \
    const ConfigVariableRow<uint32_t> name##_row(number, #name, &name, default_value, minimum, maximum, \
                                                 config_written_when_changed)

ZOLT_OPENGL_BOOL_ROW(57, compatibility_fix_disable_depth_bounds, false);
ZOLT_OPENGL_BOOL_ROW(58, compatibility_fix_disable_draw_range_elements, false);
ZOLT_OPENGL_BOOL_ROW(59, compatibility_fix_disable_fbo, false);
ZOLT_OPENGL_BOOL_ROW(60, compatibility_fix_disable_occlusion_query, false);
ZOLT_OPENGL_BOOL_ROW(61, compatibility_fix_disable_glsl_shaders, false);
ZOLT_OPENGL_BOOL_ROW(62, compatibility_fix_disable_shader_caching, false);
ZOLT_OPENGL_BOOL_ROW(63, compatibility_fix_ignore_separate_stencil, false);
ZOLT_OPENGL_BOOL_ROW(64, compatibility_fix_ignore_two_sided_stencil, false);
ZOLT_OPENGL_BOOL_ROW(65, compatibility_fix_ignore_tagged_stencil, true);
ZOLT_OPENGL_BOOL_ROW(66, compatibility_fix_ignore_texture_non_power_of_two, false);
ZOLT_OPENGL_BOOL_ROW(67, compatibility_fix_disable_vertex_buffer_objects, false);
ZOLT_OPENGL_BOOL_ROW(68, compatibility_fix_disable_pixel_buffer_objects, false);
ZOLT_OPENGL_UNSIGNED_ROW(69, compatibility_fix_use_pbo, 2, 0, 2);
ZOLT_OPENGL_BOOL_ROW(70, compatibility_fix_dummy_draw_textures, false);
ZOLT_OPENGL_BOOL_ROW(71, compatibility_fix_ignore_arb_pixel_format, false);
ZOLT_OPENGL_BOOL_ROW(72, compatibility_fix_unchanged_swap_interval, false);
ZOLT_OPENGL_UNSIGNED_ROW(73, compatibility_fix_reload_textures_on_focus_loss, 2, 0, 2);
ZOLT_OPENGL_BOOL_ROW(74, compatibility_fix_failing_gamma, true);
ZOLT_OPENGL_BOOL_ROW(75, compatibility_fix_do_not_drop_late_frames, false);
ZOLT_OPENGL_UNSIGNED_ROW(76, compatibility_fix_force_glflush, 2, 0, 2);
ZOLT_OPENGL_BOOL_ROW(77, compatibility_fix_warmup, true);
ZOLT_OPENGL_BOOL_ROW(78, compatibility_fix_per_constant_warmup, true);
ZOLT_OPENGL_BOOL_ROW(79, compatibility_fix_disable_glow, false);
ZOLT_OPENGL_BOOL_ROW(80, skip_all_ogl_checks, false);
ZOLT_OPENGL_BOOL_ROW(81, skip_unnecessary_ogl_checks, true);
ZOLT_OPENGL_BOOL_ROW(82, suppress_ogl_error_output, false);
ZOLT_OPENGL_BOOL_ROW(83, high_precision_shadowmaps, false);
ZOLT_OPENGL_UNSIGNED_ROW(84, maximal_shadowmap_size, 4096, 128, 16384);
ZOLT_OPENGL_UNSIGNED_ROW(85, minimal_shadowmap_size, 512, 128, 4096);
ZOLT_OPENGL_BOOL_ROW(86, report_all_glsl_logs, false);

#undef ZOLT_OPENGL_BOOL_ROW
#undef ZOLT_OPENGL_UNSIGNED_ROW

}  // namespace

}  // namespace zolt::opengl

#include "zolt/renderer/shaders/shader_target_setup.h"

#include "libs/opengl/core_or_extension.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/stencil_operations.h"
#include "libs/utility/fatal_error.h"

namespace zolt::renderer::shader_library {

using opengl::gl;

float alpha_test_reference = 0.5f;
float second_alpha_test_reference = 0.5f;

namespace {

uint8_t applied[target_setup_field_count] = {target_setup_not_applied, target_setup_not_applied,
                                             target_setup_not_applied, target_setup_not_applied,
                                             target_setup_not_applied};
uint8_t defaults[target_setup_field_count] = {target_setup_initial_default, target_setup_initial_default,
                                              target_setup_initial_default, target_setup_initial_default,
                                              target_setup_initial_default};

// The value to apply, or none when the cache holds it already.
bool take_change(TargetSetupField field, uint8_t* value) {
    const uint32_t index = static_cast<uint32_t>(field);
    if (*value == 0) {
        *value = defaults[index];
    }
    // A default of 255 (the lighting layers leave those behind) keeps
    // whatever the last pass set: no mode has that number.
    if (*value == target_setup_not_applied || applied[index] == *value) {
        return false;
    }
    applied[index] = *value;
    return true;
}

GLenum get_depth_function(uint8_t mode) {
    switch (static_cast<DepthMode>(mode)) {
    case DepthMode::never:
        return GL_NEVER;
    case DepthMode::always:
        return GL_ALWAYS;
    case DepthMode::equal:
        return GL_EQUAL;
    case DepthMode::not_equal:
        return GL_NOTEQUAL;
    case DepthMode::less:
        return GL_LESS;
    case DepthMode::greater:
        return GL_GREATER;
    case DepthMode::less_equal:
        return GL_LEQUAL;
    case DepthMode::greater_equal:
        return GL_GEQUAL;
    default:
        ZOLT_PANIC("Unsupported depth testing type %u.", mode);
    }
}

void set_blend(GLenum equation, GLenum source_factor, GLenum destination_factor) {
    gl.glEnable(GL_BLEND);
    opengl::set_blend_equation(equation);
    gl.glBlendFunc(source_factor, destination_factor);
}

void keep_stencil_operations() {
    opengl::StencilStateCache& cache = opengl::stencil_state_cache;
    if (cache.operations[0] != GL_KEEP || cache.operations[1] != GL_KEEP || cache.operations[2] != GL_KEEP) {
        gl.glStencilOp(GL_KEEP, GL_KEEP, GL_KEEP);
        cache.operations[0] = cache.operations[1] = cache.operations[2] = GL_KEEP;
    }
}

void set_stencil_test(GLenum function) {
    gl.glEnable(GL_STENCIL_TEST);
    gl.glStencilFunc(function, 0, 0xFFFFFFFF);
    opengl::stencil_state_cache.function = function;
    keep_stencil_operations();
}

}  // namespace

void apply_target_setup(const TargetSetup& setup) {
    apply_cull_mode(setup.cull);
    apply_depth_mode(setup.depth);
    apply_blend_mode(setup.blend);
    apply_alpha_test_mode(setup.alpha_test);
    apply_stencil_mode(setup.stencil);
}

void apply_cull_mode(uint8_t value) {
    if (!take_change(TargetSetupField::cull, &value)) {
        return;
    }
    switch (static_cast<CullMode>(value)) {
    case CullMode::off:
        gl.glDisable(GL_CULL_FACE);
        return;
    case CullMode::front:
    case CullMode::back:
        gl.glEnable(GL_CULL_FACE);
        gl.glCullFace(static_cast<CullMode>(value) == CullMode::front ? GL_FRONT : GL_BACK);
        return;
    default:
        ZOLT_PANIC("Unsupported culling type %u.", value);
    }
}

void apply_depth_mode(uint8_t value) {
    if (!take_change(TargetSetupField::depth, &value)) {
        return;
    }
    const uint8_t mode = value & 0xF;
    gl.glDepthMask((value & depth_mode_no_writes) != 0 ? GL_FALSE : GL_TRUE);
    if (static_cast<DepthMode>(mode) == DepthMode::off) {
        gl.glDisable(GL_DEPTH_TEST);
        return;
    }
    const GLenum function = get_depth_function(mode);
    gl.glEnable(GL_DEPTH_TEST);
    gl.glDepthFunc(function);
}

void apply_blend_mode(uint8_t value) {
    if (!take_change(TargetSetupField::blend, &value)) {
        return;
    }
    switch (static_cast<BlendMode>(value)) {
    case BlendMode::off:
    case BlendMode::off_too:
        gl.glDisable(GL_BLEND);
        return;
    case BlendMode::alpha:
        set_blend(GL_FUNC_ADD, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        return;
    case BlendMode::add:
        set_blend(GL_FUNC_ADD, GL_ONE, GL_ONE);
        return;
    case BlendMode::alpha_add:
        set_blend(GL_FUNC_ADD, GL_SRC_ALPHA, GL_ONE);
        return;
    case BlendMode::multiply:
        set_blend(GL_FUNC_ADD, GL_ZERO, GL_SRC_COLOR);
        return;
    case BlendMode::subtract:
        set_blend(GL_FUNC_REVERSE_SUBTRACT, GL_ONE, GL_ONE);
        return;
    case BlendMode::alpha_subtract:
        set_blend(GL_FUNC_REVERSE_SUBTRACT, GL_SRC_ALPHA, GL_ONE);
        return;
    default:
        ZOLT_PANIC("Unsupported blending type %u.", value);
    }
}

void apply_alpha_test_mode(uint8_t value) {
    if (!take_change(TargetSetupField::alpha_test, &value)) {
        return;
    }
    switch (static_cast<AlphaTestMode>(value)) {
    case AlphaTestMode::off:
        gl.glDisable(GL_ALPHA_TEST);
        return;
    case AlphaTestMode::greater:
        gl.glEnable(GL_ALPHA_TEST);
        gl.glAlphaFunc(GL_GREATER, alpha_test_reference);
        return;
    case AlphaTestMode::opaque:
        gl.glEnable(GL_ALPHA_TEST);
        gl.glAlphaFunc(GL_GEQUAL, 1.0f);
        return;
    case AlphaTestMode::second_reference:
        gl.glEnable(GL_ALPHA_TEST);
        gl.glAlphaFunc(GL_GEQUAL, second_alpha_test_reference);
        return;
    default:
        ZOLT_PANIC("Unsupported alpha test type %u.", value);
    }
}

void apply_stencil_mode(uint8_t value) {
    if (!take_change(TargetSetupField::stencil, &value)) {
        return;
    }
    switch (static_cast<StencilMode>(value)) {
    case StencilMode::off:
        gl.glDisable(GL_STENCIL_TEST);
        opengl::stencil_state_cache.test_held = false;
        return;
    case StencilMode::equal_zero:
        set_stencil_test(GL_EQUAL);
        opengl::stencil_state_cache.test_held = true;
        return;
    case StencilMode::not_equal_zero:
        set_stencil_test(GL_NOTEQUAL);
        opengl::stencil_state_cache.test_held = true;
        return;
    case StencilMode::unchanged:
        return;
    default:
        ZOLT_PANIC("Unsupported stencil testing type %u.", value);
    }
}

void set_target_setup_default(TargetSetupField field, uint8_t value) {
    defaults[static_cast<uint32_t>(field)] = value;
}

uint8_t get_target_setup_default(TargetSetupField field) {
    return defaults[static_cast<uint32_t>(field)];
}

uint8_t get_applied_target_setup(TargetSetupField field) {
    return applied[static_cast<uint32_t>(field)];
}

void forget_applied_target_setup(TargetSetupField field) {
    applied[static_cast<uint32_t>(field)] = target_setup_not_applied;
}

void reset_target_setup_cache() {
    for (uint32_t index = 0; index < target_setup_field_count; ++index) {
        applied[index] = target_setup_not_applied;
        defaults[index] = target_setup_initial_default;
    }
}

}  // namespace zolt::renderer::shader_library

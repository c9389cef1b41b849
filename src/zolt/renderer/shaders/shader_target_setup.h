#pragma once
// The target setup of a shader pass (culling, depth, blending, alpha test,
// stencil) and its cache: each field reaches GL only when its value differs
// from the one last applied, so a repeated identical setup makes no GL call.
// A byte of 0 takes the field's default. Rendering thread only.
#include <cstdint>

#include "zolt/renderer/shaders/shader_library_format.h"

namespace zolt::renderer::shader_library {

enum class TargetSetupField : uint32_t { cull, depth, blend, alpha_test, stencil, count };
constexpr uint32_t target_setup_field_count = static_cast<uint32_t>(TargetSetupField::count);
// The applied value while nothing was applied since the cache was reset.
constexpr uint8_t target_setup_not_applied = 255;
constexpr uint8_t target_setup_initial_default = 1;

// The references of alpha test modes greater and second_reference.
extern float alpha_test_reference;
extern float second_alpha_test_reference;

// Each field that differs from the cached value: the unsupported values are
// the panics "Unsupported blending type %u.", "Unsupported alpha test type
// %u." and "Unsupported stencil testing type %u.".
void apply_target_setup(const TargetSetup& setup);
void apply_cull_mode(uint8_t value);
void apply_depth_mode(uint8_t value);
void apply_blend_mode(uint8_t value);
void apply_alpha_test_mode(uint8_t value);
void apply_stencil_mode(uint8_t value);

// The value a 0 byte selects; the lighting layers change them and they stay
// changed.
void set_target_setup_default(TargetSetupField field, uint8_t value);
uint8_t get_target_setup_default(TargetSetupField field);
uint8_t get_applied_target_setup(TargetSetupField field);

// Code that changed the field's GL state itself: the next setup applies it
// whatever it is.
void forget_applied_target_setup(TargetSetupField field);

// Nothing applied, defaults 1: for a new context.
void reset_target_setup_cache();

}  // namespace zolt::renderer::shader_library

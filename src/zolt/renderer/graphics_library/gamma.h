#pragma once
// The display's gamma ramp, built from the gamma, brightness and contrast
// settings. The ramp found at start-up is saved and put back when the game
// loses the focus and when the display shuts down; without a readable ramp,
// gamma changes do nothing. Main thread only.
#include <cstdint>

namespace zolt::renderer {

// Configuration, kept in the player profile.
extern float gamma;
extern float brightness;
extern float contrast;

// Levels 0..1 for the 256 entries: ((i / 255)^(1 / gamma) + brightness -
// 0.5) x contrast + 0.5, clamped.
void build_gamma_ramp(float gamma_value, float brightness_value, float contrast_value, float* levels);

// Display start: reads the device ramp into the saved one.
void save_device_gamma_ramp();
bool is_gamma_ramp_available();
// Stores the three values in their variables and applies them: one ramp, or
// with compatibility_fix_failing_gamma and not immediate, 20 ramps from the
// identity to the target.
void set_gamma(float gamma_value, float brightness_value, float contrast_value, bool immediate);
// Builtin 657 as well.
void set_gamma_immediately(float gamma_value, float brightness_value, float contrast_value);
// From the three variables, not immediate.
void reapply_gamma();
void restore_saved_gamma_ramp();

}  // namespace zolt::renderer

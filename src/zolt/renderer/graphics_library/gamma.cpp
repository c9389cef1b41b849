#include "zolt/renderer/graphics_library/gamma.h"

#include <cmath>

#include "libs/opengl/opengl_config.h"
#include "libs/utility/config_variable_row.h"
#include "platform/display/gamma.h"
#include "zolt/renderer/graphics_library/game_window.h"

namespace zolt::renderer {

float gamma = 1.0f;
float brightness = 0.0f;
float contrast = 1.0f;

namespace {

const ConfigVariableRow<float> gamma_row(92, "gamma", &gamma, 1.0f, 0.0f, 10.0f, config_profile_variable);
const ConfigVariableRow<float> brightness_row(93, "brightness", &brightness, 0.0f, -1.0f, 1.0f,
                                              config_profile_variable);
const ConfigVariableRow<float> contrast_row(95, "contrast", &contrast, 1.0f, 0.0f, 100.0f, config_profile_variable);

constexpr uint32_t fade_step_count = 20;

uint16_t saved_gamma_ramp[platform::gamma_ramp_word_count];
bool gamma_ramp_available = false;

void set_gamma_ramp(const float* levels) {
    if (!gamma_ramp_available) {
        return;
    }
    uint16_t ramp[platform::gamma_ramp_word_count];
    for (uint32_t index = 0; index < 256; ++index) {
        const auto word = static_cast<uint16_t>(levels[index] * 65535.0f);
        ramp[index] = ramp[256 + index] = ramp[512 + index] = word;
    }
    platform::write_gamma_ramp(get_game_window(), ramp);
}

void apply_gamma(float gamma_value, float brightness_value, float contrast_value) {
    float levels[256];
    build_gamma_ramp(gamma_value, brightness_value, contrast_value, levels);
    set_gamma_ramp(levels);
}

}  // namespace

void build_gamma_ramp(float gamma_value, float brightness_value, float contrast_value, float* levels) {
    for (uint32_t index = 0; index < 256; ++index) {
        const float base = std::pow(static_cast<float>(index) / 255.0f, 1.0f / gamma_value);
        const float level = (base + brightness_value - 0.5f) * contrast_value + 0.5f;
        // Compared so that a NaN level becomes 0.
        levels[index] = level > 1.0f ? 1.0f : (level >= 0.0f ? level : 0.0f);
    }
}

void save_device_gamma_ramp() {
    gamma_ramp_available = platform::read_gamma_ramp(get_game_window(), saved_gamma_ramp);
}

bool is_gamma_ramp_available() {
    return gamma_ramp_available;
}

void set_gamma(float gamma_value, float brightness_value, float contrast_value, bool immediate) {
    gamma = gamma_value;
    brightness = brightness_value;
    contrast = contrast_value;
    if (!opengl::compatibility_fix_failing_gamma || immediate) {
        apply_gamma(gamma_value, brightness_value, contrast_value);
        return;
    }
    // Some drivers refuse a large step; the ramps go from the identity to the
    // target one after another.
    for (uint32_t step = 0; step < fade_step_count; ++step) {
        const float f = static_cast<float>(step) / static_cast<float>(fade_step_count - 1);
        apply_gamma(1.0f + f * (gamma_value - 1.0f), f * brightness_value, 1.0f + f * (contrast_value - 1.0f));
    }
}

void set_gamma_immediately(float gamma_value, float brightness_value, float contrast_value) {
    set_gamma(gamma_value, brightness_value, contrast_value, true);
}

void reapply_gamma() {
    set_gamma(gamma, brightness, contrast, false);
}

void restore_saved_gamma_ramp() {
    if (gamma_ramp_available) {
        platform::write_gamma_ramp(get_game_window(), saved_gamma_ramp);
    }
}

}  // namespace zolt::renderer

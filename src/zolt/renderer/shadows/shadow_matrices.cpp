#include "zolt/renderer/shadows/shadow_matrices.h"

#include <cmath>

namespace zolt::renderer {

float get_cascade_split(uint32_t j, uint32_t count, float near, float end,
                        const float (&blend)[shadow_cascade_capacity]) {
    if (count == 0) {
        return end;
    }
    const float f = static_cast<float>(j) / static_cast<float>(count);
    const float linear = near + f * (end - near);
    // The ratio form needs both ends in front of the eye.
    if (!(near > 0.0f) || !(end > 0.0f)) {
        return linear;
    }
    const float ratio = near * std::pow(end / near, f);
    const float b = j > 0 && j < count && j - 1 < shadow_cascade_capacity ? blend[j - 1] : 0.0f;
    return linear + (ratio - linear) * (b * 0.5f + 0.5f);
}

geometry::Matrix4 make_shadow_texture_matrix(const geometry::Matrix4& view_projection, ShadowDepthForm form) {
    geometry::Matrix4 bias;
    bias.rows[0] = {0.5f, 0, 0, 0};
    bias.rows[1] = {0, 0.5f, 0, 0};
    bias.rows[2] = {0, 0, 0.5f, 0};
    bias.rows[3] = {0.5f, 0.5f, form == ShadowDepthForm::full_bias ? 0.5f : 0.0f, 1};
    geometry::Matrix4 matrix = geometry::multiply(view_projection, bias);
    if (form == ShadowDepthForm::spot_light) {
        matrix.rows[3].z += 0.5f;
    }
    return matrix;
}

}  // namespace zolt::renderer

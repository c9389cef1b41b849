#include "libs/geometry/quaternion.h"

#include "libs/geometry/matrix.h"
#include "libs/geometry/turn_trigonometry.h"

namespace zolt::geometry {

namespace {
// cos(1 degree): closer than this, spherical weights lose precision and
// linear ones are as good.
constexpr float linear_interpolation_cosine = 0.9998477f;
constexpr float gimbal_lock_cosine = 1.0f / 65536;

float clamp_weight(float weight) {
    return std::fmin(std::fmax(weight, -1.0f), 1.0f);
}
}  // namespace

Quaternion slerp(const Quaternion& a, const Quaternion& b, const Vector4& t) {
    const float cosine = dot(a, b);
    const float sign = cosine < 0 ? -1.0f : 1.0f;
    const float magnitude = std::fabs(cosine);
    const float lanes_t[4] = {t.x, t.y, t.z, t.w};
    float weight_a[4];
    float weight_b[4];
    if (magnitude > linear_interpolation_cosine) {
        for (int lane = 0; lane < 4; ++lane) {
            weight_a[lane] = 1.0f - lanes_t[lane];
            weight_b[lane] = lanes_t[lane];
        }
    } else {
        const float angle = acos_turns(magnitude);
        const float inverse_sine = 1.0f / sin_turns(angle);
        for (int lane = 0; lane < 4; ++lane) {
            weight_a[lane] = clamp_weight(sin_turns((1.0f - lanes_t[lane]) * angle) * inverse_sine);
            weight_b[lane] = clamp_weight(sin_turns(lanes_t[lane] * angle) * inverse_sine);
        }
    }
    return normalize({weight_a[0] * a.x + sign * weight_b[0] * b.x, weight_a[1] * a.y + sign * weight_b[1] * b.y,
                      weight_a[2] * a.z + sign * weight_b[2] * b.z, weight_a[3] * a.w + sign * weight_b[3] * b.w});
}

Vector3 quaternion_to_euler(const Quaternion& q) {
    // R(i, j) is row i, column j of the column-vector matrix: rows[j] lane i here.
    const Matrix4 m = make_rotation_matrix(q);
    const float r00 = m.rows[0].x, r10 = m.rows[0].y, r20 = m.rows[0].z;
    const float r01 = m.rows[1].x, r11 = m.rows[1].y, r21 = m.rows[1].z;
    const float r22 = m.rows[2].z;
    // X is asin(R21), taken as atan2 against the cosine: the rounding of a
    // unit quaternion leaves R21 a little off 1 at the poles, where arc sine
    // is too steep to forgive it.
    const float cosine_x = std::sqrt(r01 * r01 + r11 * r11);
    const float about_x = atan2_turns(r21, cosine_x);
    if (cosine_x < gimbal_lock_cosine) {
        return {atan2_turns(r10, r00), about_x, 0.0f};
    }
    return {atan2_turns(-r01, r11), about_x, atan2_turns(-r20, r22)};
}

Quaternion euler_to_quaternion(const Vector3& turns) {
    const float half_z = turns.x * 0.5f, half_x = turns.y * 0.5f, half_y = turns.z * 0.5f;
    const Quaternion about_z{0, 0, sin_turns(half_z), cos_turns(half_z)};
    const Quaternion about_x{sin_turns(half_x), 0, 0, cos_turns(half_x)};
    const Quaternion about_y{0, sin_turns(half_y), 0, cos_turns(half_y)};
    return about_z * about_x * about_y;
}

}  // namespace zolt::geometry

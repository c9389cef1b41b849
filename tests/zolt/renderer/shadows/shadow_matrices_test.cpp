#include "zolt/renderer/shadows/shadow_matrices.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zolt::renderer {
namespace {

TEST(ShadowMatrices, CascadeSplitsAreEvenForMinusOneAndGeometricForPlusOne) {
    const float near = 1.0f, end = 81.0f;
    const float linear[shadow_cascade_capacity] = {-1, -1, -1, -1};
    const float ratio[shadow_cascade_capacity] = {1, 1, 1, 1};
    for (uint32_t j = 0; j <= 4; ++j) {
        EXPECT_NEAR(get_cascade_split(j, 4, near, end, linear), near + 20.0f * static_cast<float>(j), 1e-4f) << j;
        EXPECT_NEAR(get_cascade_split(j, 4, near, end, ratio), std::pow(3.0f, static_cast<float>(j)), 1e-3f) << j;
    }
    // The ends hold whatever the blends say; a near plane at or behind the
    // eye gives even slices instead of a NaN.
    const float halfway[shadow_cascade_capacity] = {0, 0, 0, 0};
    EXPECT_FLOAT_EQ(get_cascade_split(0, 3, near, end, halfway), near);
    EXPECT_FLOAT_EQ(get_cascade_split(3, 3, near, end, halfway), end);
    EXPECT_FLOAT_EQ(get_cascade_split(2, 4, 0.0f, 80.0f, ratio), 40.0f);
    EXPECT_FLOAT_EQ(get_cascade_split(1, 0, near, end, ratio), end);
}

geometry::Vector4 transform(const geometry::Vector4& p, const geometry::Matrix4& m) {
    return {p.x * m.rows[0].x + p.y * m.rows[1].x + p.z * m.rows[2].x + p.w * m.rows[3].x,
            p.x * m.rows[0].y + p.y * m.rows[1].y + p.z * m.rows[2].y + p.w * m.rows[3].y,
            p.x * m.rows[0].z + p.y * m.rows[1].z + p.z * m.rows[2].z + p.w * m.rows[3].z,
            p.x * m.rows[0].w + p.y * m.rows[1].w + p.z * m.rows[2].w + p.w * m.rows[3].w};
}

// A view-projection that leaves w at 2 and z as given: the clip corner
// (-w, +w) maps to texture (0, 1), and the two depth forms differ in
// whether the 0.5 offset is scaled by w.
TEST(ShadowMatrices, TextureMatricesMapTheClipRangeOntoTheMap) {
    geometry::Matrix4 view_projection;
    view_projection.rows[3] = {0, 0, 0, 2};
    const geometry::Vector4 point{-2.0f, 2.0f, 0.6f, 1.0f};
    const geometry::Vector4 full =
        transform(point, make_shadow_texture_matrix(view_projection, ShadowDepthForm::full_bias));
    EXPECT_FLOAT_EQ(full.x / full.w, 0.0f);
    EXPECT_FLOAT_EQ(full.y / full.w, 1.0f);
    EXPECT_FLOAT_EQ(full.z, 0.5f * 0.6f + 0.5f * 2.0f);
    const geometry::Vector4 spot =
        transform(point, make_shadow_texture_matrix(view_projection, ShadowDepthForm::spot_light));
    EXPECT_FLOAT_EQ(spot.x / spot.w, 0.0f);
    EXPECT_FLOAT_EQ(spot.z, 0.5f * 0.6f + 0.5f);
}

}  // namespace
}  // namespace zolt::renderer

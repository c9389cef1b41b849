#pragma once
// 4x4 float matrices in the row-vector convention: a point is a row vector
// multiplied from the left, so the rows of a transform are the images of the
// X, Y and Z axes and then the translation. Any thread.
#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"

namespace zolt::geometry {

struct alignas(16) Matrix4 {
    Vector4 rows[4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
};

// Rows are the columns of the quaternion's rotation matrix R, whose column j
// is the image of axis j: (w^2 + x^2 - y^2 - z^2, 2(xy + wz), 2(xz - wy)),
// (2(xy - wz), w^2 - x^2 + y^2 - z^2, 2(yz + wx)), (2(xz + wy), 2(yz - wx),
// w^2 - x^2 - y^2 + z^2).
constexpr Matrix4 make_rotation_matrix(const Quaternion& q) {
    const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z, ww = q.w * q.w;
    const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    Matrix4 matrix;
    matrix.rows[0] = {ww + xx - yy - zz, 2 * (xy + wz), 2 * (xz - wy), 0};
    matrix.rows[1] = {2 * (xy - wz), ww - xx + yy - zz, 2 * (yz + wx), 0};
    matrix.rows[2] = {2 * (xz + wy), 2 * (yz - wx), ww - xx - yy + zz, 0};
    return matrix;
}

constexpr Matrix4 make_transform_matrix(const Quaternion& rotation, const Vector3& position) {
    Matrix4 matrix = make_rotation_matrix(rotation);
    matrix.rows[3] = {position.x, position.y, position.z, 1};
    return matrix;
}

// p * matrix with p = (x, y, z, 1), without the division by w.
constexpr Vector3 transform_point(const Vector3& p, const Matrix4& m) {
    return {p.x * m.rows[0].x + p.y * m.rows[1].x + p.z * m.rows[2].x + m.rows[3].x,
            p.x * m.rows[0].y + p.y * m.rows[1].y + p.z * m.rows[2].y + m.rows[3].y,
            p.x * m.rows[0].z + p.y * m.rows[1].z + p.z * m.rows[2].z + m.rows[3].z};
}

// p * matrix with p = (x, y, z, 0).
constexpr Vector3 transform_direction(const Vector3& d, const Matrix4& m) {
    return {d.x * m.rows[0].x + d.y * m.rows[1].x + d.z * m.rows[2].x,
            d.x * m.rows[0].y + d.y * m.rows[1].y + d.z * m.rows[2].y,
            d.x * m.rows[0].z + d.y * m.rows[1].z + d.z * m.rows[2].z};
}

// p * matrix with p = (x, y, z, 1), all four lanes, for projections.
constexpr Vector4 transform_homogeneous(const Vector3& p, const Matrix4& m) {
    return {p.x * m.rows[0].x + p.y * m.rows[1].x + p.z * m.rows[2].x + m.rows[3].x,
            p.x * m.rows[0].y + p.y * m.rows[1].y + p.z * m.rows[2].y + m.rows[3].y,
            p.x * m.rows[0].z + p.y * m.rows[1].z + p.z * m.rows[2].z + m.rows[3].z,
            p.x * m.rows[0].w + p.y * m.rows[1].w + p.z * m.rows[2].w + m.rows[3].w};
}

// a then b: transforming by the product equals transforming by a, then by b.
constexpr Matrix4 multiply(const Matrix4& a, const Matrix4& b) {
    Matrix4 product;
    for (int row = 0; row < 4; ++row) {
        const Vector4& r = a.rows[row];
        product.rows[row] = {r.x * b.rows[0].x + r.y * b.rows[1].x + r.z * b.rows[2].x + r.w * b.rows[3].x,
                             r.x * b.rows[0].y + r.y * b.rows[1].y + r.z * b.rows[2].y + r.w * b.rows[3].y,
                             r.x * b.rows[0].z + r.y * b.rows[1].z + r.z * b.rows[2].z + r.w * b.rows[3].z,
                             r.x * b.rows[0].w + r.y * b.rows[1].w + r.z * b.rows[2].w + r.w * b.rows[3].w};
    }
    return product;
}

}  // namespace zolt::geometry

#pragma once
// An independent double-precision reference for the chain skeleton's
// skinning palette under the walk animation (animation_fixtures.h).
#include <algorithm>
#include <array>
#include <cmath>

#include "animation_fixtures.h"

namespace zolt::animation::test {

// The reference works in double precision from the animation's description,
// with matrices composed child-then-parent, independent of the engine's
// quaternion path.
struct QuaternionD {
    double x = 0, y = 0, z = 0, w = 1;
};
using MatrixD = std::array<std::array<double, 4>, 4>;

inline QuaternionD to_double(const geometry::Quaternion& q) {
    const double length = std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z + double(q.w) * q.w);
    QuaternionD d{q.x / length, q.y / length, q.z / length, q.w / length};
    return d;
}

inline QuaternionD slerp_d(QuaternionD a, QuaternionD b, double t) {
    double cosine = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    if (cosine < 0) {
        b = {-b.x, -b.y, -b.z, -b.w};
        cosine = -cosine;
    }
    double wa = 1 - t, wb = t;
    if (cosine < 0.9999999) {
        const double angle = std::acos(cosine);
        wa = std::sin((1 - t) * angle) / std::sin(angle);
        wb = std::sin(t * angle) / std::sin(angle);
    }
    QuaternionD r{wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w};
    const double length = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z + r.w * r.w);
    return {r.x / length, r.y / length, r.z / length, r.w / length};
}

// Rows are the images of the axes: row-vector convention.
inline MatrixD make_local(const QuaternionD& q, const std::array<double, 3>& t) {
    const double x = q.x, y = q.y, z = q.z, w = q.w;
    MatrixD m{};
    m[0] = {1 - 2 * (y * y + z * z), 2 * (x * y + w * z), 2 * (x * z - w * y), 0};
    m[1] = {2 * (x * y - w * z), 1 - 2 * (x * x + z * z), 2 * (y * z + w * x), 0};
    m[2] = {2 * (x * z + w * y), 2 * (y * z - w * x), 1 - 2 * (x * x + y * y), 0};
    m[3] = {t[0], t[1], t[2], 1};
    return m;
}

inline MatrixD product(const MatrixD& a, const MatrixD& b) {
    MatrixD p{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            for (int k = 0; k < 4; ++k) {
                p[i][j] += a[i][k] * b[k][j];
            }
        }
    }
    return p;
}

struct LocalD {
    QuaternionD rotation;
    std::array<double, 3> position;
};

// The chain's pose at time t, bones 0 to 2, from the description.
inline std::array<LocalD, 3> reference_locals(const AnimationDescription& walk, double t) {
    const double frame_time = walk.duration / double(walk.frame_count - 1);
    const int frame = std::min(int(t / frame_time), int(walk.frame_count) - 1);
    const int next = (frame + 1) % int(walk.frame_count);
    const double fraction = t / frame_time - frame;
    auto track = [&](uint32_t key) -> const AnimationChannelDescription& {
        for (const auto& channel : walk.channels) {
            if (channel.key == key) {
                return channel;
            }
        }
        return walk.channels[0];
    };
    std::array<LocalD, 3> locals;
    const auto& root = track(10);
    const auto& p0 = root.positions[frame];
    const auto& p1 = root.positions[next];
    locals[0].position = {p0.x + (p1.x - double(p0.x)) * fraction, p0.y + (p1.y - double(p0.y)) * fraction,
                          p0.z + (p1.z - double(p0.z)) * fraction};
    locals[0].rotation = slerp_d(to_double(root.rotations[frame]), to_double(root.rotations[next]), fraction);
    const auto& middle = track(20);
    locals[1].position = {0, 1, 0};
    locals[1].rotation = slerp_d(to_double(middle.rotations[frame]), to_double(middle.rotations[next]), fraction);
    locals[2].position = {0, 1, 0};
    locals[2].rotation = to_double(make_turn(0, 0, 1, 0.125f));
    return locals;
}

// bind x (world with its rotation rows scaled) of each bone of the chain at
// time t, the chain's root at the origin.
inline std::array<MatrixD, 3> reference_skinning(const AnimationDescription& walk, double t, double scale) {
    const std::array<LocalD, 3> locals = reference_locals(walk, t);
    std::array<MatrixD, 3> world;
    std::array<MatrixD, 3> skinning;
    for (int bone = 0; bone < 3; ++bone) {
        const auto& p = locals[bone].position;
        const MatrixD local = make_local(locals[bone].rotation, {p[0] * scale, p[1] * scale, p[2] * scale});
        world[bone] = bone == 0 ? local : product(local, world[bone - 1]);
    }
    for (int bone = 0; bone < 3; ++bone) {
        MatrixD scaled = world[bone];
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 3; ++column) {
                scaled[row][column] *= scale;
            }
        }
        MatrixD bind{};
        for (int i = 0; i < 4; ++i) {
            bind[i][i] = 1;
        }
        bind[3][1] = -bone;
        skinning[bone] = product(bind, scaled);
    }
    return skinning;
}

}  // namespace zolt::animation::test

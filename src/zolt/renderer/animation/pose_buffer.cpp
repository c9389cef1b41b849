#include "zolt/renderer/animation/pose_buffer.h"

#include <algorithm>

namespace zolt::animation {

void write_skinning_matrices(const SkeletonView& skeleton, const BoneWorldTransform* world, float scale,
                             PoseBuffer* buffer) {
    for (uint32_t bone = 0; bone < skeleton.header.bone_count; ++bone) {
        geometry::Matrix4 transform = geometry::make_rotation_matrix(world[bone].rotation);
        for (int row = 0; row < 3; ++row) {
            geometry::Vector4& r = transform.rows[row];
            r = {r.x * scale, r.y * scale, r.z * scale, 0};
        }
        transform.rows[3] = {world[bone].position.x, world[bone].position.y, world[bone].position.z, 1};
        const geometry::Matrix4 skinning =
            geometry::multiply(read_bind_matrix(skeleton.data, skeleton.header, bone), transform);
        float(&rows)[3][4] = buffer->bone_rows[bone];
        for (int column = 0; column < 3; ++column) {
            const float* lanes[4] = {&skinning.rows[0].x, &skinning.rows[1].x, &skinning.rows[2].x,
                                     &skinning.rows[3].x};
            for (int row = 0; row < 4; ++row) {
                rows[column][row] = lanes[row][column];
            }
        }
    }
}

void write_animated_factors(const SkeletonView& skeleton, const float* values, PoseBuffer* buffer) {
    std::fill(std::begin(buffer->factors), std::end(buffer->factors), 0.0f);
    uint32_t count = 0;
    const uint32_t bones = skeleton.header.bone_count;
    for (uint32_t factor = 0; factor < skeleton.header.factor_count; ++factor) {
        const uint32_t kind = read_channel_record(skeleton.data, skeleton.header, bones + factor).kind;
        if (kind >= first_uploaded_factor_kind && kind <= last_uploaded_factor_kind) {
            const uint32_t slot = kind - first_uploaded_factor_kind;
            buffer->factors[slot] = values[factor];
            count = std::max(count, slot + 1);
        }
    }
    buffer->factor_count = count;
}

uint32_t get_animated_factors(const PoseBuffer& buffer, float* out, uint32_t capacity) {
    // The buffer holds nine slots, whatever the caller can take.
    const uint32_t count = std::min({buffer.factor_count, animated_factor_slots, capacity});
    std::copy(buffer.factors, buffer.factors + count, out);
    return count;
}

}  // namespace zolt::animation

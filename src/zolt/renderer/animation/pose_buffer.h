#pragma once
// The pose buffer of one skeleton: what drawing reads to skin a mesh. It
// holds one 3 x 4 skinning matrix per bone (the three columns of bind x
// world, as rows) for the shader constant "skinning_matrices", then the
// animated factors for "animated_factors". Written once per frame on the
// rendering thread.
#include <cstdint>

#include "libs/geometry/matrix.h"
#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/renderer/animation/skeleton_format.h"

namespace zolt::animation {

constexpr uint32_t animated_factor_slots = 9;

struct PoseBuffer {
    float bone_rows[maximum_skeleton_bones][3][4];
    float factors[animated_factor_slots];
    uint32_t factor_count;
};

struct BoneWorldTransform {
    geometry::Vector3 position;
    geometry::Quaternion rotation;
};

// Row i of the skinning palette for bone i: bind_i x W, where W has the
// rows of the world rotation scaled by scale and the world position.
void write_skinning_matrices(const SkeletonView& skeleton, const BoneWorldTransform* world, float scale,
                             PoseBuffer* buffer);

// Clears the factor slots and writes the value of every factor channel of
// an uploaded kind to its slot; the count becomes the highest slot + 1.
// values is indexed by factor (channel - bone count).
void write_animated_factors(const SkeletonView& skeleton, const float* values, PoseBuffer* buffer);

// The hook drawing reads: the palette rows of the first bone_count bones.
inline const float* get_skinning_matrices(const PoseBuffer& buffer) {
    return &buffer.bone_rows[0][0][0];
}

// Copies the factors drawing uploads; answers how many.
uint32_t get_animated_factors(const PoseBuffer& buffer, float* out, uint32_t capacity);

}  // namespace zolt::animation

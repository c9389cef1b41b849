#pragma once
// Drawing a skinned mesh part batch by batch: each batch names a stretch of
// the mesh's palette table (the skeleton bone each palette entry stands
// for, -1 for none), whose 3 x 4 skinning matrices are uploaded before the
// batch's primitives are drawn, to the ARB vertex program's local
// parameters from 47 on while one is bound, else to the current GLSL
// program's "skinning_matrices" (three vectors per bone). Vertices name
// palette entries of their batch, not skeleton bones. The animated factors
// go to "animated_factors" first. The mesh draw hook calls this after its
// shader pass is set up. Rendering thread only.
#include <cstdint>

#include "zolt/renderer/animation/pose_buffer.h"

namespace zolt::renderer {

// The most palette entries one batch uploads: what the sample's skinning
// shader declares (96 vectors); entries beyond it are not uploaded.
constexpr uint32_t maximum_batch_palette = 32;
constexpr uint32_t first_skinning_local_parameter = 47;
constexpr int32_t no_palette_bone = -1;

struct BoneBatch {
    // Triangles or quads; 0 draws every index left in the stream.
    uint32_t primitive_count;
    uint32_t first_palette_entry;
    uint32_t palette_length;
};

struct BoneBatchDraw {
    // Null: every palette entry is the identity.
    const animation::PoseBuffer* pose = nullptr;
    const int32_t* palette = nullptr;
    uint32_t palette_size = 0;
    const BoneBatch* batches = nullptr;
    uint32_t batch_count = 0;
};

// The rows of the batch's palette entries into rows (3 x 4 floats per
// entry, maximum_batch_palette entries at most); answers the entries
// written. An entry outside the palette table, of no bone or of a bone the
// buffer does not hold is the identity.
uint32_t gather_batch_palette(const BoneBatchDraw& draw, const BoneBatch& batch, float* rows);
// Uploads up to 12 animated factors of the pose when the current GLSL
// program asks for them.
void upload_animated_factors(const animation::PoseBuffer* pose);
// Uploads each batch's palette and draws its primitives with the index
// stream of the last shader pass, the batches one after another.
void draw_bone_batches(const BoneBatchDraw& draw);

}  // namespace zolt::renderer

#pragma once
// A GL world for the batcher and the render layers: a 64 x 64 display mode,
// the texture server with the screen copies, the material server, and a
// shader library whose entries have passes in the layers' slots, each pass
// a flat colour from one of the material's two vectors. Geometry is given
// in clip space (the transforms stay the identity).
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/batcher/render_request.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/texture/texture_test_support.h"

namespace zolt::renderer::test_support {

// Passes in the depth slot (setups 1 and 2 in the two colours, setup 1
// with a depth test), the mask, screen-copy, depth-only and a lighting slot.
constexpr uint32_t layered_entry = 20;
// A depth-slot pass drawn back to front.
constexpr uint32_t back_to_front_entry = 21;
// Only a screen-copy pass, drawing quads from the quad batcher's buffers.
constexpr uint32_t quad_entry = 22;
// A screen-copy pass of quad-batcher quads in their vertex colours, with
// its fibres from the entry (as particle materials get theirs).
constexpr uint32_t vertex_colour_quad_entry = 23;
// A decal pass (slot 8) of decal triangles in the colour its request's
// value provider answers, with its fibres from the entry.
constexpr uint32_t decal_entry = 24;
// The same, placed by the object transform of its request.
constexpr uint32_t object_decal_entry = 31;
// Lit opaque slot 6 (setups 0 to 6: the base in the first colour, each
// light kind's own program adding its light, the fog adding the second
// colour); the same drawn after the deferred fog; lit decal (slot 9) and
// lit blended (slot 11); unlit blended (slot 10) in the first colour.
constexpr uint32_t lit_entry = 25;
constexpr uint32_t lit_after_fog_entry = 26;
constexpr uint32_t lit_decal_and_blended_entry = 27;
constexpr uint32_t unlit_blended_entry = 28;
// Lit opaque slot 6 with setup 2 looking the spot light's shadow map up,
// and a shadow-depth pass: a caster and a receiver.
constexpr uint32_t shadowed_lit_entry = 29;
// Setup pairs in the depth slot: setup 1 of a rigid mesh part draws its
// vertex colours (setup 2), of a skinned one the same through the bone
// palette (setup 3). Fibre tags: index, position, colour, weights, palette
// entries.
constexpr uint32_t skinnable_entry = 30;

struct Colour {
    float red, green, blue;
};

class BatcherWorld : public TextureWorld {
protected:
    void SetUp() override;
    void TearDown() override;

    // A material of the entry whose vectors are the two colours.
    Material* make_material(uint32_t entry, Colour first, Colour second);
    // A quad from (x0, y0) to (x1, y1) at depth z, in clip space.
    void offer_quad(const RenderInfo& info, Material* material, float x0, float y0, float x1, float y1, float z);
    // A quad of four corners (x, y, z each) in drawing order.
    void offer_quad_corners(const RenderInfo& info, Material* material, const float (&corners)[12]);
    // A texel of the texture's level 0, drawn over the picture to be read.
    Pixel read_texel(TextureObject* texture, int32_t x, int32_t y);
    void clear_to(uint32_t packed_colour) const;

    // Set before SetUp: the sample's shader library in place of the flat
    // entries above, for tests that draw with content's own shaders.
    bool use_sample_shader_library_ = false;

private:
    struct QuadStreams {
        Stream vertices;
        Stream indices;
        const Stream* streams[2] = {&vertices, &indices};
    };
    std::vector<std::unique_ptr<QuadStreams>> quads_;
};

}  // namespace zolt::renderer::test_support

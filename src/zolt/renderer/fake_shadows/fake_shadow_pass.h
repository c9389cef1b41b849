#pragma once
// A fake shadow's map: its own visual's depth, and nothing else, drawn into
// its atlas tile by an orthographic view along the shadow's direction that
// spans the record's box, so the fake-shadow layer can look the map up
// through the record's texture matrix. Rendering thread only, with the
// tile's map bound by the shadow passes.
#include <cstdint>

namespace zolt::renderer {

struct FakeShadow;
struct ShadowTile;
struct VisibilityContext;

// Leaves no context current; the caller sets its own viewport again.
void render_fake_shadow_pass(const FakeShadow& shadow, const ShadowTile& tile, uint32_t map_size,
                             VisibilityContext& view);

}  // namespace zolt::renderer

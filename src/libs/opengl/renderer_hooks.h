#pragma once
// What the GL wrappers read of the renderer parts around them, which install
// these hooks: the rendering commands' completed-frame counter (queries are
// stamped with it) and the shader library's texture-binding cache (a screen
// quad leaves texture state it no longer knows). Until a hook is installed the
// counter reads 0 and the invalidation does nothing. Rendering thread only.
#include <cstdint>

namespace zolt::opengl {

struct RendererHooks {
    uint32_t (*read_completed_counter)() = nullptr;
    void (*invalidate_texture_cache)() = nullptr;
};

void set_renderer_hooks(const RendererHooks& hooks);
// For a part that installs its own hook beside the others.
const RendererHooks& get_renderer_hooks();

uint32_t read_completed_counter();
void invalidate_texture_cache();

}  // namespace zolt::opengl

#include "libs/opengl/renderer_hooks.h"

namespace zolt::opengl {

namespace {

RendererHooks renderer_hooks;

}  // namespace

void set_renderer_hooks(const RendererHooks& hooks) {
    renderer_hooks = hooks;
}

const RendererHooks& get_renderer_hooks() {
    return renderer_hooks;
}

uint32_t read_completed_counter() {
    return renderer_hooks.read_completed_counter != nullptr ? renderer_hooks.read_completed_counter() : 0;
}

void invalidate_texture_cache() {
    if (renderer_hooks.invalidate_texture_cache != nullptr) {
        renderer_hooks.invalidate_texture_cache();
    }
}

}  // namespace zolt::opengl

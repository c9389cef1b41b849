#pragma once
// The steps of drawing a view that belong to code built apart from the
// viewports: the sector walk and the queueing of sector objects, lights and
// shadow maps, sprites and particles. A step not installed does nothing.
// Main thread only.
#include <cstdint>

namespace zolt::renderer {

struct VisibilityContext;

struct ViewHooks {
    void (*traverse_visible_sectors)(VisibilityContext& context) = nullptr;
    void (*queue_visible_sector_objects)(VisibilityContext& context) = nullptr;
    // Lights collected, fake shadows ordered, shadow maps drawn, the global
    // light uploaded.
    void (*prepare_lights_and_shadows)(VisibilityContext& context) = nullptr;
    bool (*are_shadows_enabled)() = nullptr;
    void (*queue_sprites_and_particles)(VisibilityContext& context, float first, float second,
                                        bool occlusion) = nullptr;
    void (*update_sprite_fades)(VisibilityContext& context) = nullptr;
};

extern ViewHooks view_hooks;

// The current context's view-projection and view matrices into the shader
// library; the identity without a current context.
void apply_current_view_matrices();
// The batcher's view hooks pointed at the current context and viewport.
void install_view_render_hooks();
void remove_view_render_hooks();

}  // namespace zolt::renderer

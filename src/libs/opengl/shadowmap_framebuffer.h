#pragma once
// The frame-buffer object that shadow maps are rendered into, and the choice
// of the shadow-map size and depth format made once at display start: the
// largest size from maximal_shadowmap_size down to minimal_shadowmap_size
// (halving) at which a depth texture can be attached completely. Needs
// GL_EXT_framebuffer_object, GL_ARB_depth_texture and GL_ARB_shadow. Every
// failure answers false and leaves no GL object behind. Rendering thread only.
#include <cstdint>

namespace zolt::opengl {

struct FramebufferObjectState {
    uint32_t framebuffer = 0;
    int32_t maximal_renderbuffer_size = 0;
    // 0 when shadow maps are unavailable.
    uint32_t shadowmap_size = 0;
    uint32_t shadowmap_depth_format = 0;
    uint32_t shadowmap_depth_bits = 0;
    // 0 nothing attached, 2 a shadow-map texture.
    uint32_t attachment_kind = 0;
};

const FramebufferObjectState& get_framebuffer_object_state();

// Off with compatibility_fix_disable_fbo.
bool framebuffer_object_initialize();
void framebuffer_object_shutdown();
bool choose_shadowmap_size();

// Renders into the depth texture from now on, without a colour buffer.
// report_variant only chooses the source line that a GL error is reported at.
bool framebuffer_object_activate_shadowmap(uint32_t texture, uint32_t report_variant);
// Back to the window's frame buffer; nothing when nothing is attached.
void framebuffer_object_deactivate();

}  // namespace zolt::opengl

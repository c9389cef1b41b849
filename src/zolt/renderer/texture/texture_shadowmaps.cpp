#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/shadowmap_framebuffer.h"
#include "zolt/renderer/texture/texture_config.h"
#include "zolt/renderer/texture/texture_render_target_ids.h"
#include "zolt/renderer/texture/texture_resource_format.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

namespace {

constexpr uint32_t first_shadowmap_slot = 5;
// Depth texels, bilinear filtering, clamped.
constexpr uint32_t shadowmap_format_bits =
    static_cast<uint32_t>(TexelFormat::depth) | static_cast<uint32_t>(TextureFilter::bilinear)
                                                    << texture_format_filter_shift;
// Above this size one texture holds the tiles of several maps.
constexpr uint32_t shadowmap_tile_size = 2048;

}  // namespace

uint32_t compute_shadowmap_texture_count(uint32_t wanted_count, uint32_t size) {
    if (size <= shadowmap_tile_size) {
        return wanted_count + 1;
    }
    const uint32_t side = size / shadowmap_tile_size;
    const uint32_t maps_per_texture = side * side;
    return (wanted_count + maps_per_texture - 1) / maps_per_texture + 1;
}

uint32_t get_shadowmap_texture_id(uint32_t index) {
    return make_render_target_id(first_shadowmap_slot + index, shadowmap_size_kind, 0, shadowmap_format_bits);
}

void TextureServer::create_shadowmap_textures() {
    shadowmap_texture_count_ = 0;
    shadowmap_size_ = 0;
    const opengl::FramebufferObjectState& framebuffer = opengl::get_framebuffer_object_state();
    if (framebuffer.framebuffer == 0 || shadowmaps_enabled == 0 ||
        (shadowmaps_enabled == 2 && opengl::capabilities.quirk_ati_driver_2_1_8577) ||
        framebuffer.shadowmap_size == 0) {
        return;
    }
    shadowmap_size_ = framebuffer.shadowmap_size;
    shadowmap_texture_count_ = compute_shadowmap_texture_count(
        static_cast<uint32_t>(shadowmap_count > 0 ? shadowmap_count : 0), shadowmap_size_);
    for (uint32_t index = 0; index < shadowmap_texture_count_; ++index) {
        create_texture(get_shadowmap_texture_id(index));
    }
}

}  // namespace zolt::renderer

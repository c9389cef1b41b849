#pragma once
// The three textures the render layers copy the frame buffer into: the
// depth layer's colour, the finished frame for the glow, and the scene so
// far for the screen-copy layer. The texture server owns them in their
// render-target slots; each frame takes them from there again, so a slot
// whose texture was replaced gives none. Rendering thread only.
#include <cstdint>

namespace zolt::renderer {

class TextureObject;

enum class ScreenCopy : uint32_t {
    depth_layer_colour = 0,  // render target 0x40010
    finished_frame = 1,      // 0x14
    scene_so_far = 2,        // 0x10014
};
constexpr uint32_t screen_copy_count = 3;
constexpr uint32_t screen_copy_ids[screen_copy_count] = {0x40010, 0x14, 0x10014};

// Rendering command 4: each copy made unless its slot already holds it.
void create_screen_copies();
void take_screen_copies();
void clear_screen_copies();
// Null outside a frame, or when the slot no longer holds the copy.
TextureObject* get_screen_copy(ScreenCopy copy);

}  // namespace zolt::renderer

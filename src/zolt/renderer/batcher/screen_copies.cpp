#include "zolt/renderer/batcher/screen_copies.h"

#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

namespace {

TextureObject* taken[screen_copy_count] = {};

TextureObject* find_in_slot(uint32_t id) {
    TextureObject* const texture = texture_server.get_render_target_in_slot(get_render_target_slot(id));
    return texture != nullptr && texture->get_id() == id ? texture : nullptr;
}

}  // namespace

void create_screen_copies() {
    for (const uint32_t id : screen_copy_ids) {
        if (find_in_slot(id) == nullptr) {
            texture_server.create_texture(id);
        }
    }
}

void take_screen_copies() {
    for (uint32_t copy = 0; copy < screen_copy_count; ++copy) {
        taken[copy] = find_in_slot(screen_copy_ids[copy]);
    }
}

void clear_screen_copies() {
    for (TextureObject*& texture : taken) {
        texture = nullptr;
    }
}

TextureObject* get_screen_copy(ScreenCopy copy) {
    return taken[static_cast<uint32_t>(copy)];
}

}  // namespace zolt::renderer

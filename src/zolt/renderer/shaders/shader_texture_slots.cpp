#include "zolt/core/object_server/server_base.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer::shader_library {

namespace {

ViewportConstants viewport_constants;
TextureObject* renderer_textures[renderer_texture_slot_count] = {};
// Scripts name textures by handle; a texture destroyed before the commit
// then simply leaves the slot empty.
core::ObjectHandle global_textures[global_texture_slot_count] = {};
TextureObject* committed_global_textures[global_texture_slot_count] = {};

TextureObject* find_texture_of_handle(core::ObjectHandle handle) {
    if (handle == 0 || core::get_handle_server_type(handle) != core::server_type::texture) {
        return nullptr;
    }
    return static_cast<TextureObject*>(core::get_object(handle));
}

}  // namespace

ViewportConstants& get_viewport_constants() {
    return viewport_constants;
}

void set_renderer_texture(uint32_t slot, TextureObject* texture) {
    if (slot < renderer_texture_slot_count) {
        renderer_textures[slot] = texture;
    }
}

TextureObject* get_renderer_texture(uint32_t slot) {
    return slot < renderer_texture_slot_count ? renderer_textures[slot] : nullptr;
}

TextureObject* const* get_renderer_texture_slot(uint32_t slot) {
    return &renderer_textures[slot];
}

void clear_renderer_textures() {
    for (TextureObject*& texture : renderer_textures) {
        texture = nullptr;
    }
}

core::ObjectHandle get_global_texture(uint32_t slot) {
    if (slot >= global_texture_slot_count || find_texture_of_handle(global_textures[slot]) == nullptr) {
        return 0;
    }
    return global_textures[slot];
}

bool set_global_texture(uint32_t slot, core::ObjectHandle texture) {
    if (slot >= global_texture_slot_count || (texture != 0 && find_texture_of_handle(texture) == nullptr)) {
        return false;
    }
    global_textures[slot] = texture;
    return true;
}

TextureObject* get_committed_global_texture(uint32_t slot) {
    return slot < global_texture_slot_count ? committed_global_textures[slot] : nullptr;
}

TextureObject* const* get_committed_global_texture_slot(uint32_t slot) {
    return &committed_global_textures[slot];
}

void commit_global_textures() {
    for (uint32_t slot = 0; slot < global_texture_slot_count; ++slot) {
        TextureObject* const wanted = find_texture_of_handle(global_textures[slot]);
        TextureObject*& committed = committed_global_textures[slot];
        if (wanted == committed) {
            continue;
        }
        if (wanted != nullptr) {
            // Making the texture of its id again is how a reference is taken.
            texture_server.create_texture(wanted->get_id());
        }
        if (committed != nullptr) {
            texture_server.release_texture(committed);
        }
        committed = wanted;
    }
}

void release_global_textures() {
    for (uint32_t slot = 0; slot < global_texture_slot_count; ++slot) {
        if (committed_global_textures[slot] != nullptr) {
            texture_server.release_texture(committed_global_textures[slot]);
            committed_global_textures[slot] = nullptr;
        }
        global_textures[slot] = 0;
    }
}

void restore_global_texture(uint32_t slot, TextureObject* texture) {
    if (slot < global_texture_slot_count) {
        committed_global_textures[slot] = texture;
        global_textures[slot] = texture != nullptr ? texture->get_handle() : 0;
    }
}

}  // namespace zolt::renderer::shader_library

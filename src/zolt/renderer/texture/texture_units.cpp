#include <GL/gl.h>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

namespace {

using opengl::gl;

}  // namespace

void TextureServer::request_texture(uint32_t unit, TextureObject* texture) {
    if (unit >= texture_unit_count) {
        ZOLT_PANIC("texture unit %u requested, %u exist", unit, texture_unit_count);
    }
    requested_[unit] = texture;
    if (unit + 1 > requested_unit_count_) {
        requested_unit_count_ = unit + 1;
    }
}

void TextureServer::activate_texture_unit(uint32_t unit) {
    if (active_unit_ != unit) {
        gl.glActiveTexture(GL_TEXTURE0 + unit);
        active_unit_ = unit;
    }
}

void TextureServer::commit_texture_units(uint32_t first, uint32_t last) {
    const uint32_t end = last < texture_unit_count ? last + 1 : texture_unit_count;
    for (uint32_t unit = first; unit < end; ++unit) {
        if (bound_[unit] != requested_[unit]) {
            bind_texture_unit(unit, requested_[unit], bound_[unit]);
            bound_[unit] = requested_[unit];
        }
        requested_[unit] = nullptr;
    }
    if (requested_unit_count_ <= end && requested_unit_count_ > first) {
        requested_unit_count_ = first;
    }
    activate_texture_unit(0);
}

void TextureServer::bind_texture_unit(uint32_t unit, TextureObject* texture, TextureObject* old_texture) {
    activate_texture_unit(unit);
    if (texture == nullptr) {
        if (old_texture != nullptr) {
            gl.glBindTexture(old_texture->get_gl_target(), 0);
        }
        return;
    }
    texture->set_last_used_frame(read_completed_counter());
    const uint32_t target = texture->get_gl_target();
    if (old_texture != nullptr && old_texture->get_gl_target() != target) {
        gl.glBindTexture(old_texture->get_gl_target(), 0);
    }
    gl.glBindTexture(target, texture->get_bound_name());
}

void TextureServer::note_target_unbound(uint32_t gl_target) {
    TextureObject*& bound = bound_[active_unit_];
    if (bound != nullptr && bound->get_gl_target() == gl_target) {
        bound = nullptr;
    }
}

void TextureServer::forget_unit_bindings(const TextureObject* texture) {
    for (TextureObject*& bound : bound_) {
        if (bound == texture) {
            bound = nullptr;
        }
    }
}

void TextureServer::dummy_draw_new_textures() {
    if (!opengl::compatibility_fix_dummy_draw_textures) {
        return;
    }
    commit_texture_units(0, texture_unit_count - 1);
    for (TextureObject* texture = lists_[uploaded_render_target_list]; texture != nullptr;
         texture = get_next_in_list(texture)) {
        if (texture->get_upload_state() == TextureUploadState::failed) {
            continue;
        }
        // Some drivers finish setting a render target up only when it is
        // first drawn with; a triangle of no area costs nothing on screen.
        request_texture(0, texture);
        commit_texture_units(0, 0);
        const uint32_t target = texture->get_gl_target();
        gl.glEnable(target);
        gl.glBegin(GL_TRIANGLES);
        gl.glTexCoord2f(0.0f, 0.0f);
        gl.glVertex3f(0.0f, 0.0f, 0.0f);
        gl.glTexCoord2f(1.0f, 0.0f);
        gl.glVertex3f(0.0f, 0.0f, 0.0f);
        gl.glTexCoord2f(1.0f, 1.0f);
        gl.glVertex3f(0.0f, 0.0f, 0.0f);
        gl.glEnd();
        gl.glDisable(target);
        commit_texture_units(0, 0);
    }
}

}  // namespace zolt::renderer

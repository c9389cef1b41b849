#include "zolt/renderer/texture/texture_test_support.h"

#include "zolt/core/resources/resource_server.h"

namespace zolt::renderer::test_support {

using opengl::gl;

void TextureWorld::SetUp() {
    GlContextTest::SetUp();
    if (IsSkipped()) {
        return;
    }
    io::start_io_thread();
    io_started_ = true;
}

void TextureWorld::TearDown() {
    if (texture_server.is_registered()) {
        texture_server.unregister_server();
    }
    if (core::resource_server.is_registered()) {
        core::resource_server.unregister_server();
    }
    if (io_started_) {
        io::stop_io_thread();
    }
    rendering_command_hooks = RenderingCommandHooks{};
    GlContextTest::TearDown();
}

void TextureWorld::open_world(const std::vector<TextureFixture>& textures, bool register_textures) {
    tools::PackDescription pack;
    for (const TextureFixture& texture : textures) {
        add_texture(pack, texture);
    }
    packs_.add_pack("textures.pack", pack);
    packs_.write_pack_list();
    core::resource_server.register_server();
    if (register_textures) {
        texture_server.register_server();
    }
}

void TextureWorld::draw_texture(TextureObject* texture, int32_t x, int32_t y, int32_t width, int32_t height) {
    texture_server.request_texture(0, texture);
    texture_server.commit_texture_units(0, 0);
    const uint32_t target = texture->get_gl_target();
    gl.glViewport(x, y, width, height);
    gl.glEnable(target);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    gl.glBegin(GL_QUADS);
    gl.glTexCoord2f(0.0f, 0.0f);
    gl.glVertex2f(-1.0f, -1.0f);
    gl.glTexCoord2f(1.0f, 0.0f);
    gl.glVertex2f(1.0f, -1.0f);
    gl.glTexCoord2f(1.0f, 1.0f);
    gl.glVertex2f(1.0f, 1.0f);
    gl.glTexCoord2f(0.0f, 1.0f);
    gl.glVertex2f(-1.0f, 1.0f);
    gl.glEnd();
    gl.glDisable(target);
    gl.glViewport(0, 0, GlContextTest::width, GlContextTest::height);
}

void TextureWorld::draw_cube_direction(TextureObject* texture, int32_t x, int32_t y, float dx, float dy, float dz) {
    texture_server.request_texture(0, texture);
    texture_server.commit_texture_units(0, 0);
    gl.glViewport(x, y, 4, 4);
    gl.glEnable(GL_TEXTURE_CUBE_MAP);
    gl.glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    gl.glBegin(GL_QUADS);
    for (const auto& [vx, vy] : {std::pair{-1.0f, -1.0f}, {1.0f, -1.0f}, {1.0f, 1.0f}, {-1.0f, 1.0f}}) {
        gl.glMultiTexCoord3f(GL_TEXTURE0, dx, dy, dz);
        gl.glVertex2f(vx, vy);
    }
    gl.glEnd();
    gl.glDisable(GL_TEXTURE_CUBE_MAP);
    gl.glViewport(0, 0, GlContextTest::width, GlContextTest::height);
}

Pixel TextureWorld::read_pixel(int32_t x, int32_t y) const {
    Pixel pixel{};
    gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
    gl.glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
    return pixel;
}

void TextureWorld::run_frame(TextureObject* drawn) {
    issue_rendering_command(render_frame_command);
    if (drawn != nullptr) {
        draw_texture(drawn, 0, 0, 64, 64);
    }
}

}  // namespace zolt::renderer::test_support

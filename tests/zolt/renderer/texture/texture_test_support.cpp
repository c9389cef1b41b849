#include "zolt/renderer/texture/texture_test_support.h"

#include "libs/opengl/shadowmap_framebuffer.h"
#include "zcontent/lib/shader_library_compiler.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/shaders/shader_library_format.h"

namespace zolt::renderer::test_support {

using opengl::gl;

namespace {

// The texels as they are, whatever state the library's default pass left.
void disable_fragment_tests() {
    for (const GLenum capability : {GL_DEPTH_TEST, GL_BLEND, GL_ALPHA_TEST, GL_CULL_FACE, GL_STENCIL_TEST}) {
        gl.glDisable(capability);
    }
}

}  // namespace

namespace {
// Whether the world made the shadow-map frame buffer itself, for the shader
// library's hardware check alone.
bool has_own_framebuffer = false;
bool has_library_pack = false;
}  // namespace

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
    opengl::framebuffer_object_shutdown();
    has_own_framebuffer = false;
    has_library_pack = false;
    rendering_command_hooks = RenderingCommandHooks{};
    GlContextTest::TearDown();
}

void TextureWorld::open_world(const std::vector<TextureFixture>& textures, bool register_textures) {
    tools::PackDescription pack;
    for (const TextureFixture& texture : textures) {
        add_texture(pack, texture);
    }
    pack.resources.insert(pack.resources.end(), extra_resources_.begin(), extra_resources_.end());
    // Once per world: a pack listed twice would hold the library twice.
    if (!has_library_pack) {
        tools::PackDescription library_pack;
        if (library_override_.empty()) {
            add_shader_library(library_pack);
        } else {
            library_pack.resources.push_back(
                test::make_resource(shader_library::shader_library_resource_id, library_override_));
        }
        packs_.add_pack("shader_library.pack", library_pack);
        has_library_pack = true;
    }
    packs_.add_pack("textures.pack", pack);
    packs_.write_pack_list();
    core::resource_server.register_server();
    if (register_textures) {
        register_texture_server();
    }
}

void TextureWorld::add_shader_library(tools::PackDescription& pack) {
    Bytes library;
    std::string error;
    EXPECT_TRUE(tools::compile_shader_library_file(std::string(ZOLT_CONTENT_SOURCE_PATH) + "/shaders/library.json",
                                                   &library, &error))
        << error;
    pack.resources.push_back(test::make_resource(shader_library::shader_library_resource_id, library));
}

void TextureWorld::register_texture_server() {
    // Shadow maps the test did not ask for stay without render targets.
    if (opengl::get_framebuffer_object_state().framebuffer == 0) {
        EXPECT_TRUE(opengl::framebuffer_object_initialize() && opengl::choose_shadowmap_size());
        has_own_framebuffer = true;
    }
    test::ScopedValue<uint32_t> shadowmaps(shadowmaps_enabled, has_own_framebuffer ? 0 : shadowmaps_enabled);
    texture_server.register_server();
}

void TextureWorld::draw_texture(TextureObject* texture, int32_t x, int32_t y, int32_t width, int32_t height) {
    texture_server.request_texture(0, texture);
    texture_server.commit_texture_units(0, 0);
    const uint32_t target = texture->get_gl_target();
    gl.glViewport(x, y, width, height);
    disable_fragment_tests();
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
    disable_fragment_tests();
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

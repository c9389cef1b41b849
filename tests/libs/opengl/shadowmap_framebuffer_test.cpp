#include "libs/opengl/shadowmap_framebuffer.h"

#include <gtest/gtest.h>

#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "platform/display/egl_test_context.h"
#include "support/gl_context.h"

namespace zolt::opengl {
namespace {

using test::ScopedValue;

std::vector<GLsizei> tried_sizes;
std::vector<GLuint> generated_textures;
GLint faked_depth_bits = -1;
decltype(gl.glTexImage2D) real_tex_image = nullptr;
decltype(gl.glGenTextures) real_gen_textures = nullptr;
decltype(gl.glGetIntegerv) real_get_integer = nullptr;
decltype(gl.glGetTexLevelParameteriv) real_get_level_parameter = nullptr;

void note_tex_image(GLenum target, GLint level, GLint format, GLsizei width, GLsizei height, GLint border,
                    GLenum pixel_format, GLenum type, const void* pixels) {
    tried_sizes.push_back(width);
    real_tex_image(target, level, format, width, height, border, pixel_format, type, pixels);
}

void note_gen_textures(GLsizei count, GLuint* textures) {
    real_gen_textures(count, textures);
    generated_textures.insert(generated_textures.end(), textures, textures + count);
}

void get_integer_with_small_renderbuffers(GLenum name, GLint* value) {
    real_get_integer(name, value);
    if (name == GL_MAX_RENDERBUFFER_SIZE_EXT) {
        *value = 2048;
    }
}

void get_faked_depth_bits(GLenum target, GLint level, GLenum name, GLint* value) {
    real_get_level_parameter(target, level, name, value);
    if (name == GL_TEXTURE_DEPTH_SIZE) {
        *value = faked_depth_bits;
    }
}

GLenum never_complete(GLenum) {
    return GL_FRAMEBUFFER_UNSUPPORTED_EXT;
}

class ShadowmapFramebuffer : public test::GlContextTest {
protected:
    void SetUp() override {
        test::GlContextTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        tried_sizes.clear();
        generated_textures.clear();
        real_tex_image = gl.glTexImage2D;
        real_gen_textures = gl.glGenTextures;
        real_get_integer = gl.glGetIntegerv;
        real_get_level_parameter = gl.glGetTexLevelParameteriv;
        gl.glTexImage2D = &note_tex_image;
        gl.glGenTextures = &note_gen_textures;
    }

    void expect_no_texture_left() {
        const auto is_texture =
            reinterpret_cast<GLboolean (*)(GLuint)>(platform::EglTestContext::get_proc_address("glIsTexture"));
        for (GLuint texture : generated_textures) {
            EXPECT_EQ(is_texture(texture), GL_FALSE) << texture;
        }
    }

    static GLint get_integer(GLenum name) {
        GLint value = 0;
        gl.glGetIntegerv(name, &value);
        return value;
    }
};

TEST_F(ShadowmapFramebuffer, OnLlvmpipeTheDefaultsGive4096With16Bits) {
    ASSERT_TRUE(framebuffer_object_initialize());
    const FramebufferObjectState& state = get_framebuffer_object_state();
    EXPECT_NE(state.framebuffer, 0u);
    EXPECT_EQ(state.maximal_renderbuffer_size, 16384);
    ASSERT_TRUE(choose_shadowmap_size());
    EXPECT_EQ(state.shadowmap_size, 4096u);
    EXPECT_EQ(state.shadowmap_depth_format, static_cast<uint32_t>(GL_DEPTH_COMPONENT16));
    EXPECT_EQ(state.shadowmap_depth_bits, 16u);
    EXPECT_EQ(tried_sizes, std::vector<GLsizei>{4096});
    EXPECT_EQ(state.attachment_kind, 0u);
    EXPECT_EQ(get_integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
    expect_no_texture_left();
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    framebuffer_object_shutdown();
    EXPECT_EQ(state.framebuffer, 0u);
    EXPECT_EQ(state.shadowmap_size, 0u);
    EXPECT_EQ(state.shadowmap_depth_format, 0u);
}

TEST_F(ShadowmapFramebuffer, DepthBitsAreCountedAsTheShadowCodeSeesThem) {
    ScopedValue<bool> high_precision(high_precision_shadowmaps, true);
    ScopedValue<uint32_t> largest(maximal_shadowmap_size, 512u);
    ASSERT_TRUE(framebuffer_object_initialize());
    const FramebufferObjectState& state = get_framebuffer_object_state();
    ASSERT_TRUE(choose_shadowmap_size());
    EXPECT_EQ(state.shadowmap_depth_format, static_cast<uint32_t>(GL_DEPTH_COMPONENT24));
    EXPECT_EQ(state.shadowmap_depth_bits, 32u);

    gl.glGetTexLevelParameteriv = &get_faked_depth_bits;
    faked_depth_bits = 0;
    ASSERT_TRUE(choose_shadowmap_size());
    EXPECT_EQ(state.shadowmap_depth_bits, 32u);
    high_precision_shadowmaps = false;
    ASSERT_TRUE(choose_shadowmap_size());
    EXPECT_EQ(state.shadowmap_depth_format, static_cast<uint32_t>(GL_DEPTH_COMPONENT16));
    EXPECT_EQ(state.shadowmap_depth_bits, 16u);
    faked_depth_bits = 33;
    ASSERT_TRUE(choose_shadowmap_size());
    EXPECT_EQ(state.shadowmap_depth_bits, 64u);
}

TEST_F(ShadowmapFramebuffer, FailingSizesAreHalvedDownToTheSmallestAndLeaveNothing) {
    gl.glGetIntegerv = &get_integer_with_small_renderbuffers;
    ScopedValue<decltype(gl.glCheckFramebufferStatusEXT)> incomplete(gl.glCheckFramebufferStatusEXT, &never_complete);
    ASSERT_TRUE(framebuffer_object_initialize());
    EXPECT_FALSE(choose_shadowmap_size());
    EXPECT_EQ(tried_sizes, (std::vector<GLsizei>{2048, 1024, 512}));
    EXPECT_EQ(get_framebuffer_object_state().shadowmap_size, 0u);
    EXPECT_EQ(get_framebuffer_object_state().attachment_kind, 0u);
    EXPECT_EQ(get_integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
    expect_no_texture_left();

    tried_sizes.clear();
    ScopedValue<uint32_t> smallest(minimal_shadowmap_size, 4096u);
    EXPECT_FALSE(choose_shadowmap_size());
    EXPECT_TRUE(tried_sizes.empty());
}

TEST_F(ShadowmapFramebuffer, NoFramebufferWhenSwitchedOffOrWithoutDepthTextures) {
    {
        ScopedValue<bool> off(compatibility_fix_disable_fbo, true);
        EXPECT_FALSE(framebuffer_object_initialize());
        EXPECT_FALSE(choose_shadowmap_size());
        EXPECT_FALSE(framebuffer_object_activate_shadowmap(1, 0));
        EXPECT_EQ(get_framebuffer_object_state().framebuffer, 0u);
    }
    ASSERT_TRUE(framebuffer_object_initialize());
    ScopedValue<bool> no_shadow(test::extension_flag(Extension::ARB_shadow), false);
    EXPECT_FALSE(choose_shadowmap_size());
    EXPECT_TRUE(tried_sizes.empty());
}

TEST_F(ShadowmapFramebuffer, AnActivatedShadowMapReceivesTheDepthAndTheWindowComesBack) {
    ASSERT_TRUE(framebuffer_object_initialize());
    GLuint texture = 0;
    gl.glGenTextures(1, &texture);
    gl.glBindTexture(GL_TEXTURE_2D, texture);
    gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT16, 16, 16, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    gl.glBindTexture(GL_TEXTURE_2D, 0);

    ASSERT_TRUE(framebuffer_object_activate_shadowmap(texture, 0));
    EXPECT_EQ(get_framebuffer_object_state().attachment_kind, 2u);
    gl.glViewport(0, 0, 16, 16);
    gl.glClearDepth(0.25);
    gl.glClear(GL_DEPTH_BUFFER_BIT);
    framebuffer_object_deactivate();
    EXPECT_EQ(get_framebuffer_object_state().attachment_kind, 0u);
    EXPECT_EQ(get_integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
    EXPECT_EQ(get_integer(GL_DRAW_BUFFER), GL_BACK);

    std::vector<float> depths(16 * 16);
    const auto get_tex_image =
        reinterpret_cast<decltype(&::glGetTexImage)>(platform::EglTestContext::get_proc_address("glGetTexImage"));
    gl.glBindTexture(GL_TEXTURE_2D, texture);
    get_tex_image(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_FLOAT, depths.data());
    EXPECT_NEAR(depths.front(), 0.25f, 1e-4f);
    EXPECT_NEAR(depths.back(), 0.25f, 1e-4f);

    // Without a depth attachment the frame buffer is incomplete.
    EXPECT_FALSE(framebuffer_object_activate_shadowmap(0, 0));
    EXPECT_EQ(get_framebuffer_object_state().attachment_kind, 0u);
    EXPECT_EQ(get_integer(GL_FRAMEBUFFER_BINDING_EXT), 0);
    gl.glDeleteTextures(1, &texture);
}

}  // namespace
}  // namespace zolt::opengl

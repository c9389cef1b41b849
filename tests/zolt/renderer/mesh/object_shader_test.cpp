// The sample library's textured object entry places geometry by the object
// transform, which reaches the shader through texture coordinate sets 5 to
// 7, within the 8 sets llvmpipe has, and samples the material's texture
// where the texture coordinates say.
#include <gtest/gtest.h>

#include "zolt/core/object_server/alias_server.h"
#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/backend/stream_fibres.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_draw.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_program_warm_up.h"
#include "zolt/renderer/texture/texture_test_support.h"
#include "zolt/renderer/view/object_transform.h"

namespace zolt::renderer {
namespace {

namespace library = shader_library;
using opengl::gl;
using test_support::Pixel;

constexpr uint32_t object_texture_id = 0x20007100;
constexpr uint32_t textured_object_entry = 24;
constexpr uint32_t object_pass_slot = 4;

// 2 x 2 texels: red, green along the bottom row, blue, white above.
test_support::TextureFixture make_quadrant_texture() {
    test_support::TextureFixture fixture;
    fixture.id = object_texture_id;
    fixture.format = make_texture_format(TexelFormat::rgba8, TextureTarget::texture_2d, 1, TextureFilter::nearest, 0);
    fixture.width = fixture.height = 2;
    fixture.surfaces = test_support::make_surfaces(
        fixture.format, 2, 2, 1, [](uint32_t, uint32_t, uint32_t x, uint32_t y, uint8_t* e) {
            // B, G, R, A bytes.
            const uint8_t colours[4][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255}};
            const uint8_t* colour = colours[y * 2 + x];
            e[0] = colour[0];
            e[1] = colour[1];
            e[2] = colour[2];
            e[3] = 255;
        });
    return fixture;
}

class ObjectShader : public test_support::TextureWorld {
protected:
    void SetUp() override {
        TextureWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        open_world({make_quadrant_texture()});
        core::alias_server.register_server();
        material_server.register_server();
    }
    void TearDown() override {
        if (material_server.is_registered()) {
            material_server.unregister_server();
        }
        if (core::alias_server.is_registered()) {
            core::alias_server.unregister_server();
        }
        core::alias_server.clear_alias(default_material_alias);
        TextureWorld::TearDown();
        library::get_library_state() = {};
    }
};

TEST_F(ObjectShader, TheObjectTransformMovesTheTexturedQuadWithNoGlError) {
    uint32_t textures[] = {object_texture_id};
    uint32_t fibre_tags[] = {1u << library::fibre_source_stream_shift,
                             make_fibre_format(FibreSourceFormat::float_3, 0),
                             make_fibre_format(FibreSourceFormat::float_2, 12),
                             make_fibre_format(FibreSourceFormat::unsigned_byte_4_normalised, 20)};
    MaterialDescription description;
    description.shader_index = textured_object_entry;
    description.textures = {textures, 1};
    description.fibre_tags = {fibre_tags, 4};
    Material* const material = material_server.create_material(description);
    material_server.process_pending();
    ASSERT_TRUE(material->has_pass(object_pass_slot));
    EXPECT_EQ(material->selected_entry, textured_object_entry);
    ASSERT_EQ(material->texture_bindings.held_count, 1u);

    // A quad of half the view's width and height around the object's
    // origin, white vertices, the texture over it once.
    struct Vertex {
        float x, y, z, u, v;
        uint8_t colour[4];
    };
    const Vertex quad[] = {{-0.5f, -0.5f, 0, 0, 0, {255, 255, 255, 255}},
                           {0.5f, -0.5f, 0, 1, 0, {255, 255, 255, 255}},
                           {0.5f, 0.5f, 0, 1, 1, {255, 255, 255, 255}},
                           {-0.5f, 0.5f, 0, 0, 1, {255, 255, 255, 255}}};
    static_assert(sizeof(Vertex) == 24);
    const uint16_t indices[] = {0, 1, 2, 0, 2, 3};
    Stream vertices;
    Stream index_stream;
    vertices.initialize({sizeof(Vertex), 0, sizeof quad, 0}, quad);
    index_stream.initialize({stream_format_index | sizeof(uint16_t), 0, sizeof indices, 0}, indices);
    const Stream* streams[] = {&vertices, &index_stream};

    // A frame uploads the texture.
    run_frame(nullptr);
    library::reset_transforms();
    // Moved a quarter of the view to the right.
    set_object_matrix({}, {0.5f, 0, 0});
    library::set_object_texture_matrix(object_transform.object);
    gl.glClearColor(0, 0, 0, 1);
    gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    library::ShaderLibraryContext context;
    material->fill_fibre_context(context);
    const library::ShaderPass pass = [&] {
        const library::ShaderLibraryHeader& header = library::get_library_header();
        const uint32_t setup = library::find_slot_pass_setup(material->passes[object_pass_slot], 0);
        const auto record = library::read_record<library::ShaderSetup>(header.setups, setup);
        return library::read_record<library::ShaderPass>(header.shader_passes, record.first_shader_pass);
    }();
    library::setup_shader_pass(pass, material->make_pass_input(streams, 2), context);
    library::draw_indexed(0, 0);
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The quad spans x 0 to 1 and y -0.5 to 0.5 of clip space: pixels 32 to
    // 63 across, 16 to 47 up; each quarter shows its texel.
    const int32_t w = GlContextTest::width;
    const int32_t h = GlContextTest::height;
    EXPECT_EQ(read_pixel(w / 2 + w / 8, h / 2 - h / 8), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(read_pixel(w - w / 8, h / 2 - h / 8), (Pixel{0, 255, 0, 255}));
    EXPECT_EQ(read_pixel(w / 2 + w / 8, h / 2 + h / 8), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(read_pixel(w - w / 8, h / 2 + h / 8), (Pixel{255, 255, 255, 255}));
    // Left of the object's new place, and above and below it: untouched.
    EXPECT_EQ(read_pixel(w / 2 - w / 8, h / 2), (Pixel{0, 0, 0, 255}));
    EXPECT_EQ(read_pixel(w / 2 + w / 4, h - h / 16), (Pixel{0, 0, 0, 255}));
    EXPECT_EQ(read_pixel(w / 2 + w / 4, h / 16), (Pixel{0, 0, 0, 255}));

    library::reset_state();
    library::release_all_fibres();
    vertices.free_copy(0);
    index_stream.free_copy(0);
}

}  // namespace
}  // namespace zolt::renderer

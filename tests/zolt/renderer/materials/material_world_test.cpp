// Materials over the sample library in a GL world: textures held through
// the texture server, a pass drawn with a material's constants, and a saved
// and loaded world.
#include <gtest/gtest.h>

#include "support/world_round_trip.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/backend/stream_fibres.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/materials/material_warm_up.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_draw.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_program_warm_up.h"
#include "zolt/renderer/texture/texture_test_support.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::renderer {
namespace {

namespace library = shader_library;

constexpr uint32_t material_texture_id = 0x20007000;
constexpr uint32_t library_texture_id = 0x20000010;
// The sample library's flat-colour and textured entries.
constexpr uint32_t flat_entry = 3;
constexpr uint32_t textured_entry = 13;

test_support::TextureFixture make_fixture(uint32_t id) {
    test_support::TextureFixture fixture;
    fixture.id = id;
    fixture.format = make_texture_format(TexelFormat::rgba8, TextureTarget::texture_2d, 1, TextureFilter::nearest, 0);
    fixture.width = fixture.height = 4;
    fixture.surfaces = test_support::make_surfaces(
        fixture.format, 4, 4, 1, [](uint32_t, uint32_t, uint32_t, uint32_t, uint8_t* e) { e[0] = e[3] = 255; });
    return fixture;
}

class MaterialWorld : public test_support::TextureWorld {
protected:
    void SetUp() override {
        TextureWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        open_world({make_fixture(material_texture_id), make_fixture(library_texture_id)});
        // The alias to the default material is saved and loaded with it.
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

    Material* create_textured() {
        uint32_t textures[] = {material_texture_id};
        MaterialDescription description;
        description.shader_index = textured_entry;
        description.textures = {textures, 1};
        return material_server.create_material(description);
    }
};

TEST_F(MaterialWorld, TexturesAreHeldWhileResolvedAndKeptThroughResolvingAgain) {
    Material* const material = create_textured();
    material_server.process_pending();
    ASSERT_EQ(material->texture_bindings.held_count, 1u);
    TextureObject* const texture = material->texture_bindings.held[0];
    EXPECT_EQ(texture->get_id(), material_texture_id);
    EXPECT_EQ(material->texture_bindings.tags.resolved_mask, 1u);
    const uint32_t references = texture->get_reference_count();

    material_server.queue_texture_update(*material);
    material_server.process_pending();
    ASSERT_EQ(material->texture_bindings.held_count, 1u);
    EXPECT_EQ(material->texture_bindings.held[0], texture);
    EXPECT_EQ(texture->get_reference_count(), references);

    material_server.release_material(material);
    material_server.free_all_dead_objects();
    EXPECT_EQ(texture->get_reference_count(), references - 1);
}

TEST_F(MaterialWorld, APassDrawsWithTheMaterialsVector) {
    library::ConstantValue colour;
    colour.set_floats(0.2f, 0.6f, 1.0f, 1.0f);
    MaterialDescription description;
    description.shader_index = flat_entry;
    description.vectors = {&colour, 1};
    Material* const material = material_server.create_material(description);
    material->update_pending();
    ASSERT_TRUE(material->has_pass(0));

    const float quad[] = {-1, -1, 0, 1, -1, 0, 1, 1, 0, -1, 1, 0};
    const uint16_t indices[] = {0, 1, 2, 0, 2, 3};
    Stream vertices;
    Stream index_stream;
    vertices.initialize({12, 0, sizeof quad, 0}, quad);
    index_stream.initialize({stream_format_index | sizeof(uint16_t), 0, sizeof indices, 0}, indices);
    const Stream* streams[] = {&vertices, &index_stream};
    uint32_t fibre_tags[] = {1u << library::fibre_source_stream_shift,
                             make_fibre_format(FibreSourceFormat::float_3, 0)};
    library::reset_transforms();
    opengl::gl.glClearColor(0, 0, 0, 1);
    opengl::gl.glClear(GL_COLOR_BUFFER_BIT);
    library::ShaderLibraryContext context;
    context.fibre_tags = {fibre_tags, 2};
    const library::ShaderPass pass = [&] {
        const library::ShaderLibraryHeader& header = library::get_library_header();
        const uint32_t setup = library::find_slot_pass_setup(material->passes[0], 0);
        const auto record = library::read_record<library::ShaderSetup>(header.setups, setup);
        return library::read_record<library::ShaderPass>(header.shader_passes, record.first_shader_pass);
    }();
    library::setup_shader_pass(pass, material->make_pass_input(streams, 2), context);
    library::draw_indexed(0, 0);
    const std::vector<uint8_t> pixels = read_colors();
    const uint8_t* const centre = &pixels[(height / 2 * width + width / 2) * 4];
    EXPECT_NEAR(centre[0], 51, 1);
    EXPECT_NEAR(centre[1], 153, 1);
    EXPECT_NEAR(centre[2], 255, 1);
    library::reset_state();
    library::release_all_fibres();
    vertices.free_copy(0);
    index_stream.free_copy(0);
}

TEST_F(MaterialWorld, ImmediateWarmUpDrawsEachWarmedSlotOnce) {
    library::ConstantValue colour;
    colour.set_floats(1, 1, 1, 1);
    MaterialDescription description;
    description.shader_index = 10;  // slots 0 and 4 in the sample library
    description.vectors = {&colour, 1};
    uint32_t fibre_tags[] = {1u << library::fibre_source_stream_shift,
                             make_fibre_format(FibreSourceFormat::float_3, 0)};
    description.fibre_tags = {fibre_tags, 2};
    Material* const material = material_server.create_material(description);
    material->update_pending();
    ASSERT_TRUE(material->has_pass(4));

    const float triangle[] = {-1, -1, 0, 1, -1, 0, 0, 1, 0};
    const uint16_t indices[] = {0, 1, 2};
    Stream vertices;
    Stream index_stream;
    vertices.initialize({12, 0, sizeof triangle, 0}, triangle);
    index_stream.initialize({stream_format_index | sizeof(uint16_t), 0, sizeof indices, 0}, indices);
    const Stream* streams[] = {&vertices, &index_stream};
    library::ShaderLibraryContext context;
    {
        zolt::test::GlCallRecorder recorder;
        render_geometry_immediately(*material, streams, 2, context);
        EXPECT_EQ(recorder.count("glDrawElements"), 1u) << "slot 4's one setup; slot 0 is not warmed here";
    }
    EXPECT_EQ(opengl::gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(library::get_depth_rendering_parameters().vectors[0].x, 123.556f);
    library::release_all_fibres();
    vertices.free_copy(0);
    index_stream.free_copy(0);
}

TEST_F(MaterialWorld, ASavedWorldBringsMaterialsTheirTablesAndTexturesBack) {
    Material* const material = create_textured();
    material->description.flags |= material_flag_modifiable;
    library::ConstantValue vector;
    vector.set_floats(1, 2, 3, 4);
    material->set_vector(2, vector);
    material->use_count = 3;
    material_server.process_pending();
    const core::ObjectHandle handle = material->get_handle();
    TextureObject* const texture = material->texture_bindings.held[0];
    const uint32_t references = texture->get_reference_count();
    ASSERT_TRUE(zolt::test::save_and_load_world(3));

    Material* const loaded = material_server.find_material(handle);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->use_count, 3u);
    ASSERT_EQ(loaded->description.vectors.count, 3u);
    EXPECT_EQ(loaded->description.vectors.data[2].get_float(3), 4.0f);
    EXPECT_EQ(loaded->description.textures.data[0], material_texture_id);
    EXPECT_TRUE(material_server.is_selection_pending(*loaded));
    material_server.process_pending();
    ASSERT_EQ(loaded->texture_bindings.held_count, 1u);
    EXPECT_EQ(loaded->texture_bindings.held[0]->get_id(), material_texture_id);
    EXPECT_EQ(loaded->texture_bindings.held[0]->get_reference_count(), references);
    ASSERT_NE(material_server.get_default_material(), nullptr);
    EXPECT_EQ(core::alias_server.get_target(default_material_alias),
              material_server.get_default_material()->get_handle());
}

}  // namespace
}  // namespace zolt::renderer

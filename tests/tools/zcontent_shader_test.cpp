#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "libs/io/temporary_folder.h"
#include "libs/opengl/shader_objects.h"
#include "support/gl_context.h"
#include "zcontent/lib/content_manifest.h"
#include "zcontent/lib/content_pack.h"
#include "zcontent/lib/shader_library_compiler.h"
#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/backend/stream_fibres.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_draw.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_library_format.h"
#include "zolt/renderer/shaders/shader_limits.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_pass_setup.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"
#include "zolt/renderer/shaders/shader_program_warm_up.h"
#include "zolt/renderer/shaders/shader_tags.h"

namespace zolt::tools {
namespace {

namespace library = renderer::shader_library;
using Bytes = std::vector<uint8_t>;

const std::string sample_description = std::string(ZOLT_CONTENT_SOURCE_PATH) + "/shaders/library.json";

template <typename Record>
Record read_record(const Bytes& resource, const library::TableLocation& table, uint32_t index) {
    Record record;
    std::memcpy(&record, resource.data() + table.offset + index * sizeof(Record), sizeof record);
    return record;
}

library::ShaderLibraryHeader read_header(const Bytes& resource) {
    library::ShaderLibraryHeader header;
    std::memcpy(&header, resource.data(), sizeof header);
    return header;
}

// The first shader pass of setup 0 of the slot pass in the variant's slot.
library::ShaderPass get_first_pass(const Bytes& resource, const library::ShaderVariant& variant, uint32_t slot) {
    const library::ShaderLibraryHeader header = read_header(resource);
    const auto pass_index = read_record<uint32_t>(resource, header.pass_indices, variant.pass_index_base + slot);
    const auto slot_pass = read_record<library::ShaderSlotPass>(resource, header.slot_passes, pass_index);
    const auto setup_index = read_record<uint32_t>(resource, header.setup_indices, slot_pass.setup_index_base);
    const auto setup = read_record<library::ShaderSetup>(resource, header.setups, setup_index);
    return read_record<library::ShaderPass>(resource, header.shader_passes, setup.first_shader_pass);
}

TEST(ShaderLibraryCompiler, TheSampleLibraryCompilesWithTheReservedEntries) {
    Bytes resource;
    std::string error;
    ASSERT_TRUE(compile_shader_library_file(sample_description, &resource, &error)) << error;
    ASSERT_EQ(library::check_shader_library(resource.data(), static_cast<uint32_t>(resource.size()), nullptr),
              library::ShaderLibraryFaultKind::ok);
    const library::ShaderLibraryHeader header = read_header(resource);
    EXPECT_EQ(header.version, library::shader_library_version);
    ASSERT_GT(header.entries.count, 18u);

    // Entry 0 owns variant 0, whose slot 0 pass has the default shader pass.
    const auto entry_0 = read_record<library::ShaderEntry>(resource, header.entries, 0);
    EXPECT_EQ(entry_0.first_variant, 0u);
    ASSERT_GE(entry_0.variant_count, 1u);
    const auto variant_0 = read_record<library::ShaderVariant>(resource, header.variants, 0);
    ASSERT_EQ(variant_0.slot_mask & 1, 1u);
    const library::ShaderPass default_pass = get_first_pass(resource, variant_0, 0);
    EXPECT_EQ(library::get_vertex_setup_kind(default_pass.setup_kinds), library::VertexSetupKind::fixed_function);

    // The entries the engine names itself are usable in slot 0; the glow
    // (2) and fake-shadow (17) entries are GLSL only and optional, since
    // their layers draw nothing without them.
    for (uint32_t index : {3u, 10u, 13u, 18u}) {
        SCOPED_TRACE(index);
        const auto entry = read_record<library::ShaderEntry>(resource, header.entries, index);
        ASSERT_GE(entry.variant_count, 1u);
        EXPECT_GE(entry.first_variant, 1u);
        EXPECT_NE(entry.flags & library::entry_flag_must_be_usable, 0u);
        const auto variant = read_record<library::ShaderVariant>(resource, header.variants, entry.first_variant);
        ASSERT_EQ(variant.slot_mask & 1, 1u);
        const library::ShaderPass pass = get_first_pass(resource, variant, 0);
        EXPECT_EQ(library::get_vertex_setup_kind(pass.setup_kinds), library::VertexSetupKind::glsl);
        EXPECT_EQ(library::get_pixel_setup_kind(pass.setup_kinds), library::PixelSetupKind::glsl);
    }
    // Gaps between described entries are entries without variants.
    EXPECT_EQ(read_record<library::ShaderEntry>(resource, header.entries, 1).variant_count, 0u);
}

TEST(ShaderLibraryCompiler, AManifestPutsTheLibraryIntoItsPack) {
    const test::TemporaryFolder folder;
    folder.write_file("flat.vert", "void main() { gl_Position = ftransform(); }\n");
    folder.write_file("library.json", R"({"glsl_shaders": {"v": {"sources": ["flat.vert"]}},
        "entries": [{"index": 0, "variants": [{"passes": [{"slot": 0, "setups": [[
            {"vertex": {"glsl": "v"}, "program_index": 3}]]}]}]}]})");
    folder.write_file("content.json", R"({"pack": {"file": "c.pack"}, "shader_library": "library.json"})");
    ContentManifest manifest;
    std::string error;
    ASSERT_TRUE(read_content_manifest(folder.get_path("content.json"), &manifest, &error)) << error;
    PackDescription description;
    ASSERT_TRUE(build_content_pack(manifest, &description, &error)) << error;
    ASSERT_EQ(description.resources.size(), 1u);
    EXPECT_EQ(description.resources[0].id, library::shader_library_resource_id);
    const Bytes& resource = description.resources[0].data;
    EXPECT_EQ(library::check_shader_library(resource.data(), static_cast<uint32_t>(resource.size()), nullptr),
              library::ShaderLibraryFaultKind::ok);
    const auto pass = read_record<library::ShaderPass>(resource, read_header(resource).shader_passes, 0);
    EXPECT_EQ(pass.program_index, 3u);
    EXPECT_FALSE(library::has_target_setup(pass.setup_kinds));

    folder.write_file("content.json", R"({"pack": {"file": "c.pack"}, "shader_library": 7})");
    EXPECT_FALSE(read_content_manifest(folder.get_path("content.json"), &manifest, &error));
    EXPECT_NE(error.find("\"shader_library\""), std::string::npos) << error;
}

struct BadDescription {
    const char* name;
    const char* entries;  // the "entries" value, after a fixed set of programs
    const char* message;
};

TEST(ShaderLibraryCompiler, BadDescriptionsAreRefusedNamingTheElementAndKey) {
    const test::TemporaryFolder folder;
    folder.write_file("flat.vert", "void main() { gl_Position = ftransform(); }\n");
    const std::string programs = R"("glsl_shaders": {"v": {"sources": ["flat.vert"]},
                                                      "w": {"sources": ["flat.vert"]}})";
    const std::string good_entry_0 =
        R"({"index": 0, "variants": [{"passes": [{"slot": 0, "setups": [[{"vertex": "fixed_function"}]]}]}]})";
    const BadDescription cases[] = {
        {"no entry 0", R"([{"index": 1}])", "entry 0 is required"},
        {"entry 0 without a default pass", R"([{"index": 0, "variants": [{}]}])",
         "entries[0] (entry 0): \"variants\": the first variant needs a slot 0 pass"},
        {"an entry given twice", R"([ENTRY0, {"index": 0}])", "entries[1]: \"index\": entry 0 is described twice"},
        {"an unknown key", R"([ENTRY0, {"index": 2, "colour": 1}])", "entries[1]: \"colour\": unknown key"},
        {"an unknown condition type",
         R"([ENTRY0, {"index": 2, "conditions": [{"type": "glsl"}, {"type": "sometimes"}]}])",
         "entries[1] (entry 2).conditions[1]: \"type\": expected one of"},
        {"a fallback to entry 0", R"([ENTRY0, {"index": 2, "fallback": [0]}])",
         "entries[1] (entry 2): \"fallback\": expected entry indices from 1 to 2"},
        {"an unknown pass slot name", R"([ENTRY0, {"index": 2, "variants": [{"passes": [{"slot": "sky"}]}]}])",
         "entries[1] (entry 2).variants[0].passes[0]: \"slot\": expected one of direct"},
        {"a pass slot of 32", R"([ENTRY0, {"index": 2, "variants": [{"passes": [{"slot": 32}]}]}])",
         "entries[1] (entry 2).variants[0].passes[0]: \"slot\": expected a number from 0 to 31"},
        {"two passes for one slot", R"([ENTRY0, {"index": 2, "variants": [{"passes": [{"slot": 4}, {"slot": 4}]}]}])",
         "variants[0].passes[1]: \"slot\": the variant already has a pass for slot 4"},
        {"an unknown program",
         R"([ENTRY0, {"index": 2, "variants": [{"passes": [{"slot": 0, "setups": [[{"vertex": {"glsl": "x"}}]]}]}]}])",
         "setups[0][0]: \"vertex\": names no program of \"glsl_shaders\""},
        {"program index 30000",
         R"([ENTRY0, {"index": 2, "variants": [{"passes": [{"slot": 0, "setups": [[{"program_index": 30000}]]}]}]}])",
         "setups[0][0]: \"program_index\": expected a number from 0 to 29999"},
        {"one program index for two programs",
         R"([ENTRY0, {"index": 2, "variants": [{"passes": [{"slot": 0, "setups": [[
             {"vertex": {"glsl": "v"}, "program_index": 5}, {"vertex": {"glsl": "w"}, "program_index": 5}]]}]}]}])",
         "setups[0][1]: \"program_index\": 5 already names another pair of GLSL shaders"},
        {"an unknown blend mode",
         R"([ENTRY0, {"index": 2, "variants": [{"passes": [{"slot": 0, "setups": [[
             {"target_setup": {"blend": "screen"}}]]}]}]}])",
         "setups[0][0].target_setup: \"blend\": expected one of off, alpha"},
        {"predefined pixel setup 5",
         R"([ENTRY0, {"index": 2, "variants": [{"passes": [{"slot": 0, "setups": [[{"pixel": {"predefined": 5}}]]}]}]}])",
         "setups[0][0]: \"pixel\": "},
        {"a fibre target class that does not exist",
         R"([ENTRY0, {"index": 2, "variants": [{"passes": [{"slot": 0, "setups": [[
             {"fibre_bindings": [{"tag": 1, "target": "tangent"}]}]]}]}]}])",
         "fibre_bindings[0]: \"target\": expected one of position"},
        {"a constant binding of 0 values",
         R"([ENTRY0, {"index": 2, "variants": [{"passes": [{"slot": 0, "setups": [[
             {"constant_bindings": [{"tag": 1, "target": "glsl_uniform", "count": 0}]}]]}]}]}])",
         "constant_bindings[0]: \"count\": a binding uploads 1 to 16 values"},
        {"a tag source that does not exist",
         R"([ENTRY0, {"index": 2, "texture_tag_defaults": [{"source": "disk", "parameter": 1}]}])",
         "texture_tag_defaults[0]: \"source\": expected one of renderer_slot"},
    };
    for (const BadDescription& bad : cases) {
        SCOPED_TRACE(bad.name);
        std::string entries = bad.entries;
        const size_t marker = entries.find("ENTRY0");
        if (marker != std::string::npos) {
            entries.replace(marker, 6, good_entry_0);
        }
        const std::string text = "{" + programs + ", \"entries\": " + entries + "}";
        Bytes resource = {1};
        std::string error;
        EXPECT_FALSE(compile_shader_library(text, folder.get_path("bad.json"), &resource, &error));
        EXPECT_TRUE(resource.empty());
        EXPECT_EQ(error.rfind(folder.get_path("bad.json") + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(bad.message), std::string::npos) << error;
    }

    // A missing program file names the shader and the key.
    Bytes resource;
    std::string error;
    EXPECT_FALSE(compile_shader_library(R"({"glsl_shaders": {"v": {"sources": ["none.vert"]}}, "entries": []})",
                                        folder.get_path("bad.json"), &resource, &error));
    EXPECT_NE(error.find("glsl_shaders.v: \"sources\": "), std::string::npos) << error;
    EXPECT_NE(error.find("none.vert"), std::string::npos) << error;
}

TEST(ShaderLibraryCompiler, ABadLibraryWritesNoPack) {
    const test::TemporaryFolder folder;
    folder.write_file("library.json", R"({"entries": [{"index": 1}]})");
    folder.write_file("content.json", R"({"pack": {"file": "c.pack"}, "shader_library": "library.json"})");
    ContentManifest manifest;
    std::string error;
    ASSERT_TRUE(read_content_manifest(folder.get_path("content.json"), &manifest, &error)) << error;
    PackDescription description;
    EXPECT_FALSE(build_content_pack(manifest, &description, &error));
    EXPECT_NE(error.find(folder.get_path("library.json") + ": entries: entry 0 is required"), std::string::npos)
        << error;
    EXPECT_FALSE(std::filesystem::exists(folder.get_path("c.pack")));
}

// Every GLSL program of the compiled sample library, built the way the
// engine builds one: the prefix, then the record's texts; attributes bound
// from the vertex record (else the pixel record); then linked.
class SampleLibraryPrograms : public test::GlContextTest {
protected:
    static std::vector<const char*> get_sources(const Bytes& resource, uint32_t record_offset, const char* prefix) {
        library::GlslShaderRecord record;
        std::memcpy(&record, resource.data() + record_offset, sizeof record);
        std::vector<const char*> sources = {prefix};
        for (uint32_t index = 0; index < record.source_count; ++index) {
            uint32_t text;
            std::memcpy(&text, resource.data() + record.source_list_offset + index * 4, 4);
            sources.push_back(reinterpret_cast<const char*>(resource.data() + text));
        }
        return sources;
    }

    bool build_program(const Bytes& resource, const library::ShaderPass& pass, const char* prefix, uint32_t* program) {
        *program = opengl::gl.glCreateProgram();
        const bool has_vertex = library::get_vertex_setup_kind(pass.setup_kinds) == library::VertexSetupKind::glsl;
        const bool has_pixel = library::get_pixel_setup_kind(pass.setup_kinds) == library::PixelSetupKind::glsl;
        if (has_vertex) {
            const std::vector<const char*> sources = get_sources(resource, pass.vertex_record_offset, prefix);
            // No cache key: each build here is its own.
            if (!opengl::add_shader(*program, static_cast<uint32_t>(sources.size()), 0, sources.data(),
                                    GL_VERTEX_SHADER)) {
                return false;
            }
        }
        if (has_pixel) {
            const std::vector<const char*> sources = get_sources(resource, pass.pixel_record, prefix);
            if (!opengl::add_shader(*program, static_cast<uint32_t>(sources.size()), 0, sources.data(),
                                    GL_FRAGMENT_SHADER)) {
                return false;
            }
        }
        library::GlslShaderRecord record;
        std::memcpy(&record, resource.data() + (has_vertex ? pass.vertex_record_offset : pass.pixel_record),
                    sizeof record);
        for (uint32_t index = 0; index < record.attribute_count; ++index) {
            library::GlslNamedIndex attribute;
            std::memcpy(&attribute, resource.data() + record.attribute_list_offset + index * sizeof attribute,
                        sizeof attribute);
            opengl::gl.glBindAttribLocation(*program, attribute.index,
                                            reinterpret_cast<const char*>(resource.data() + attribute.name_offset));
        }
        return opengl::link_program(*program);
    }
};

TEST_F(SampleLibraryPrograms, EveryGlslProgramCompilesAndLinks) {
    Bytes resource;
    std::string error;
    ASSERT_TRUE(compile_shader_library_file(sample_description, &resource, &error)) << error;
    const library::ShaderLibraryHeader header = read_header(resource);
    uint32_t built = 0;
    for (const char* prefix : {"\n", "#define IGNORE_NV_DATA_TYPES\n"}) {
        for (uint32_t index = 0; index < header.shader_passes.count; ++index) {
            const auto pass = read_record<library::ShaderPass>(resource, header.shader_passes, index);
            if (library::get_vertex_setup_kind(pass.setup_kinds) != library::VertexSetupKind::glsl &&
                library::get_pixel_setup_kind(pass.setup_kinds) != library::PixelSetupKind::glsl) {
                continue;
            }
            SCOPED_TRACE("shader pass " + std::to_string(index) + " with prefix " + prefix);
            uint32_t program = 0;
            EXPECT_TRUE(build_program(resource, pass, prefix, &program));
            opengl::delete_program(program);
            ++built;
        }
    }
    EXPECT_GE(built, 2 * 8u);
}

TEST_F(SampleLibraryPrograms, WarmUpBuildsEveryProgramOfEverySetupWithoutAGlError) {
    Bytes resource;
    std::string error;
    ASSERT_TRUE(compile_shader_library_file(sample_description, &resource, &error)) << error;
    library::install_library(resource.data(), static_cast<uint32_t>(resource.size()));
    library::reset_gl_caches();
    const library::ShaderLibraryHeader header = read_header(resource);
    for (uint32_t setup = 0; setup < header.setups.count; ++setup) {
        library::warm_up_setup(setup);
    }
    EXPECT_EQ(opengl::gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    for (uint32_t index = 0; index < header.shader_passes.count; ++index) {
        const auto pass = read_record<library::ShaderPass>(resource, header.shader_passes, index);
        if (library::get_vertex_setup_kind(pass.setup_kinds) == library::VertexSetupKind::glsl) {
            SCOPED_TRACE("shader pass " + std::to_string(index));
            EXPECT_NE(library::get_glsl_program_entry(pass.program_index).program, 0u);
            EXPECT_FALSE(library::get_glsl_program_entry(pass.program_index).build_failed);
        }
    }
    library::delete_all_programs();
    library::set_loaded_library(nullptr, 0);
}

// The sample's textured entry (13) and flat entry (3) drawn through the
// engine's pass setup, once with the GLSL variant and once with GLSL off so
// that selection takes the ARB one: the same pixels both times.
TEST_F(SampleLibraryPrograms, GlslAndArbVariantsDrawTheSamePictures) {
    Bytes resource;
    std::string error;
    ASSERT_TRUE(compile_shader_library_file(sample_description, &resource, &error)) << error;
    library::install_library(resource.data(), static_cast<uint32_t>(resource.size()));
    library::reset_gl_caches();
    library::reset_transforms();
    const library::ShaderLimits detected = library::detect_shader_limits();
    ASSERT_TRUE(detected.glsl_usable && detected.arb_vertex_programs && detected.arb_fragment_programs);

    struct Vertex {
        float position[3];
        float texture_coordinates[2];
        uint8_t colour[4];
    };
    const Vertex quad[] = {{{-1, -1, 0}, {0, 0}, {255, 255, 255, 255}},
                           {{1, -1, 0}, {1, 0}, {255, 255, 255, 255}},
                           {{1, 1, 0}, {1, 1}, {255, 255, 255, 255}},
                           {{-1, 1, 0}, {0, 1}, {255, 255, 255, 255}}};
    const uint16_t indices[] = {0, 1, 2, 0, 2, 3};
    renderer::Stream vertices;
    renderer::Stream index_stream;
    vertices.initialize({sizeof(Vertex), 0, sizeof quad, 0}, quad);
    index_stream.initialize({renderer::stream_format_index | sizeof(uint16_t), 0, sizeof indices, 0}, indices);
    const renderer::Stream* streams[] = {&vertices, &index_stream};
    uint32_t fibre_tags[] = {
        1u << library::fibre_source_stream_shift,
        renderer::make_fibre_format(renderer::FibreSourceFormat::float_3, offsetof(Vertex, position)),
        renderer::make_fibre_format(renderer::FibreSourceFormat::float_2, offsetof(Vertex, texture_coordinates)),
        renderer::make_fibre_format(renderer::FibreSourceFormat::unsigned_byte_4_normalised, offsetof(Vertex, colour)),
    };
    const uint8_t texels[4][4] = {{0, 0, 255, 255}, {255, 255, 255, 255}, {255, 255, 0, 255}, {255, 0, 255, 255}};
    uint32_t texture = 0;
    opengl::gl.glGenTextures(1, &texture);
    opengl::gl.glBindTexture(GL_TEXTURE_2D, texture);
    opengl::gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    opengl::gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    opengl::gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    library::ConstantValue material_colour;
    material_colour.set_floats(0.2f, 0.6f, 1.0f, 1.0f);
    library::ResolvedConstantTags constants;
    constants.resolved[0] = {&material_colour, library::ConstantKind::floats};
    constants.resolved_mask = 1;

    const auto draw = [&](uint32_t entry_index, bool glsl) {
        library::ShaderLimits limits = detected;
        limits.glsl_usable = glsl;
        library::set_shader_limits(limits);
        library::ShaderLibraryContext context;
        const uint32_t variant_index = library::select_variant(entry_index, library::ConditionMode::runtime, context);
        const auto variant =
            read_record<library::ShaderVariant>(resource, read_header(resource).variants, variant_index);
        const library::ShaderPass pass = get_first_pass(resource, variant, 0);
        EXPECT_EQ(library::get_vertex_setup_kind(pass.setup_kinds),
                  glsl ? library::VertexSetupKind::glsl : library::VertexSetupKind::arb_program);
        context.fibre_tags = {fibre_tags, 4};
        opengl::gl.glClearColor(0, 0, 0, 1);
        opengl::gl.glClear(GL_COLOR_BUFFER_BIT);
        library::setup_shader_pass(pass, library::ShaderPassInput{nullptr, &constants, streams, 2}, context);
        library::draw_indexed(0, 0);
        EXPECT_EQ(opengl::gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return read_colors();
    };
    for (const uint32_t entry : {13u, 3u}) {
        SCOPED_TRACE("entry " + std::to_string(entry));
        const std::vector<uint8_t> through_glsl = draw(entry, true);
        const std::vector<uint8_t> through_arb = draw(entry, false);
        EXPECT_EQ(through_glsl, through_arb);
        const uint8_t* const centre_of_top_right = &through_glsl[(height * 3 / 4 * width + width * 3 / 4) * 4];
        const std::vector<uint8_t> expected =
            entry == 13 ? std::vector<uint8_t>(texels[3], texels[3] + 4) : std::vector<uint8_t>{51, 153, 255, 255};
        for (uint32_t channel = 0; channel < 4; ++channel) {
            EXPECT_NEAR(centre_of_top_right[channel], expected[channel], 1) << channel;
        }
    }
    library::set_shader_limits(detected);
    library::reset_state();
    library::delete_all_programs();
    library::release_all_fibres();
    vertices.free_copy(0);
    index_stream.free_copy(0);
    opengl::gl.glDeleteTextures(1, &texture);
    library::set_loaded_library(nullptr, 0);
}

TEST_F(SampleLibraryPrograms, TheFlatProgramDrawsTheMaterialColour) {
    Bytes resource;
    std::string error;
    ASSERT_TRUE(compile_shader_library_file(sample_description, &resource, &error)) << error;
    const library::ShaderLibraryHeader header = read_header(resource);
    const auto entry = read_record<library::ShaderEntry>(resource, header.entries, 10);
    const auto variant = read_record<library::ShaderVariant>(resource, header.variants, entry.first_variant);
    const library::ShaderPass pass = get_first_pass(resource, variant, 0);
    uint32_t program = 0;
    ASSERT_TRUE(build_program(resource, pass, "\n", &program));

    // Constant binding 0 of the pass uploads to uniform name 0 of the
    // program's list, which its vertex shader carries.
    const auto binding =
        read_record<library::ConstantBinding>(resource, header.constant_bindings, pass.first_constant_binding);
    ASSERT_EQ(binding.target_word & library::constant_target_class_mask,
              static_cast<uint32_t>(library::ConstantTargetClass::glsl_uniform));
    library::GlslShaderRecord record;
    std::memcpy(&record, resource.data() + pass.vertex_record_offset, sizeof record);
    ASSERT_GT(record.uniform_name_count, binding.target_word & library::constant_target_index_mask);
    uint32_t name;
    std::memcpy(&name,
                resource.data() + record.uniform_name_list_offset +
                    (binding.target_word & library::constant_target_index_mask) * 4,
                4);
    opengl::use_program(program);
    const int32_t location =
        opengl::get_uniform_location(program, reinterpret_cast<const char*>(resource.data() + name));
    ASSERT_GE(location, 0);
    const float colour[4] = {0.25f, 0.5f, 1.0f, 1.0f};
    opengl::set_uniform_floats(location, 4, 1, colour);
    opengl::gl.glClearColor(0, 0, 0, 1);
    opengl::gl.glClear(GL_COLOR_BUFFER_BIT);
    opengl::gl.glBegin(GL_QUADS);
    opengl::gl.glVertex2f(-1, -1);
    opengl::gl.glVertex2f(1, -1);
    opengl::gl.glVertex2f(1, 1);
    opengl::gl.glVertex2f(-1, 1);
    opengl::gl.glEnd();
    opengl::use_program(0);
    opengl::delete_program(program);
    const std::vector<uint8_t> pixels = read_colors();
    ASSERT_EQ(pixels.size(), width * height * 4u);
    for (uint32_t channel = 0; channel < 4; ++channel) {
        EXPECT_NEAR(pixels[(height / 2 * width + width / 2) * 4 + channel], colour[channel] * 255.0f, 1.0f);
    }
}

}  // namespace
}  // namespace zolt::tools

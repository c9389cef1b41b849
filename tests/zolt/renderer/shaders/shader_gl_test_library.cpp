#include "zolt/renderer/shaders/shader_gl_test_library.h"

#include <cstring>
#include <filesystem>
#include <fstream>

#include "libs/opengl/opengl_capabilities.h"
#include "zcontent/lib/shader_library_compiler.h"
#include "zolt/renderer/backend/stream_fibres.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_pass_setup.h"
#include "zolt/renderer/shaders/shader_program_setup.h"

namespace zolt::renderer::shader_library::test {

namespace {

using opengl::gl;

struct Vertex {
    float position[3];
    uint8_t colour[4];
    float texture_coordinates[2];
};
static_assert(sizeof(Vertex) == 24);

const Vertex quad_vertices[] = {
    {{-1, -1, 0}, {255, 0, 0, 255}, {0.0f, 0}}, {{0, -1, 0}, {255, 0, 0, 255}, {0.5f, 0}},
    {{0, 1, 0}, {255, 0, 0, 255}, {0.5f, 1}},   {{-1, 1, 0}, {255, 0, 0, 255}, {0.0f, 1}},
    {{0, -1, 0}, {0, 255, 0, 255}, {0.5f, 0}},  {{1, -1, 0}, {0, 255, 0, 255}, {1.0f, 0}},
    {{1, 1, 0}, {0, 255, 0, 255}, {1.0f, 1}},   {{0, 1, 0}, {0, 255, 0, 255}, {0.5f, 1}},
};
const uint16_t quad_indices[] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};

const char* const description = R"({
  "glsl_shaders": {
    "colour_vertex": {"sources": ["colour.vert"]},
    "colour_pixel": {"sources": ["colour.frag"]},
    "textured_vertex": {"sources": ["textured.vert"], "samplers": {"diffuse_texture": 0}},
    "textured_pixel": {"sources": ["textured.frag"]},
    "broken_pixel": {"sources": ["broken.frag"]},
    "constants_vertex": {"sources": ["constants.vert"], "uniforms": ["tint"]},
    "constants_pixel": {"sources": ["constants.frag"]}
  },
  "arb_programs": {
    "passing_vertex": {"number": 5, "source": "passing.vp"},
    "colour_fragment": {"number": 0, "source": "colour.fp"},
    "textured_fragment": {"number": 1, "source": "textured.fp"},
    "local_fragment": {"number": 2, "source": "local.fp"}
  },
  "entries": [
    {"index": 0, "variants": [{"passes": [{"slot": "direct", "setups": [[
      {"vertex": "fixed_function",
       "target_setup": {"cull": "off", "depth": "off", "blend": "off", "alpha_test": "off", "stencil": "off"}}
    ]]}]}]},
    {"index": 1, "variants": [{"passes": [{"slot": "direct", "setups": [[
      {"vertex": {"glsl": "colour_vertex"}, "pixel": {"glsl": "colour_pixel"}, "program_index": 1,
       "target_setup": {"cull": "off", "depth": "off", "blend": "off"},
       "fibre_bindings": [{"tag": 1, "target": "position"}, {"tag": 2, "target": "colour", "index": 0}]},
      {"vertex": {"glsl": "textured_vertex"}, "pixel": {"glsl": "textured_pixel"}, "program_index": 2,
       "target_setup": {"cull": "off", "depth": "off", "blend": "off"},
       "fibre_bindings": [{"tag": 1, "target": "position"},
                          {"tag": 3, "target": "texture_coordinates", "index": 0}]},
      {"vertex": {"arb": "passing_vertex"}, "pixel": {"arb": "colour_fragment"},
       "target_setup": {"cull": "off", "depth": "off", "blend": "off"},
       "fibre_bindings": [{"tag": 1, "target": "position"}, {"tag": 2, "target": "colour", "index": 0}]},
      {"vertex": {"arb": "passing_vertex"}, "pixel": {"arb": "textured_fragment"},
       "target_setup": {"cull": "off", "depth": "off", "blend": "off"},
       "fibre_bindings": [{"tag": 1, "target": "position"},
                          {"tag": 3, "target": "texture_coordinates", "index": 0}]},
      {"vertex": {"glsl": "colour_vertex"}, "pixel": {"glsl": "broken_pixel"}, "program_index": 9,
       "fibre_bindings": [{"tag": 1, "target": "position"}]},
      {"vertex": "fixed_function", "pixel": {"predefined": 1}},
      {"vertex": "fixed_function", "pixel": {"predefined": 2}},
      {"vertex": "fixed_function", "pixel": {"predefined": 3},
       "fibre_bindings": [{"tag": 1, "target": "position"},
                          {"tag": 3, "target": "texture_coordinates", "index": 0}]},
      {"vertex": "fixed_function", "pixel": {"predefined": 4}},
      {"vertex": {"glsl": "constants_vertex"}, "pixel": {"glsl": "constants_pixel"}, "program_index": 3,
       "target_setup": {"cull": "off", "depth": "off", "blend": "off"},
       "fibre_bindings": [{"tag": 1, "target": "position"}],
       "constant_bindings": [{"tag": 0, "target": "glsl_uniform", "index": 0, "count": 4},
                             {"tag": 1, "target": "fixed_location", "index": 3},
                             {"tag": 2, "target": "fixed_location", "index": 4},
                             {"tag": 3, "target": "fixed_location", "index": 5},
                             {"tag": 4, "target": "fixed_location", "index": 13},
                             {"tag": 5, "target": "fixed_location", "index": 2}]},
      {"vertex": {"glsl": "constants_vertex"}, "pixel": {"glsl": "constants_pixel"}, "program_index": 4,
       "fibre_bindings": [{"tag": 1, "target": "position"}]},
      {"vertex": {"arb": "passing_vertex"}, "pixel": {"arb": "local_fragment"},
       "target_setup": {"cull": "off", "depth": "off", "blend": "off"},
       "fibre_bindings": [{"tag": 1, "target": "position"}],
       "constant_bindings": [{"tag": 0, "target": "arb_fragment_local", "index": 0}]}
    ]]}]}]}
  ]
})";

// No #version line in the colour shaders: the engine's prefix goes first.
// The textured ones start with one, so the prefix must go after it.
const char* const program_files[][2] = {
    {"colour.vert", "void main() { gl_Position = gl_Vertex; gl_FrontColor = gl_Color; }\n"},
    {"colour.frag", "void main() { gl_FragColor = gl_Color; }\n"},
    {"textured.vert", "#version 110\nvoid main() { gl_Position = gl_Vertex; gl_TexCoord[0] = gl_MultiTexCoord0; }\n"},
    {"textured.frag",
     "#version 110\nuniform sampler2D diffuse_texture;\n"
     "void main() { gl_FragColor = texture2D(diffuse_texture, gl_TexCoord[0].xy); }\n"},
    {"broken.frag", "void main() { gl_FragColor = undefined_value; }\n"},
    {"passing.vp",
     "!!ARBvp1.0\nMOV result.position, vertex.position;\nMOV result.color, vertex.color;\n"
     "MOV result.texcoord[0], vertex.texcoord[0];\nEND\n"},
    {"colour.fp", "!!ARBfp1.0\nMOV result.color, fragment.color;\nEND\n"},
    {"local.fp", "!!ARBfp1.0\nMOV result.color, program.local[0];\nEND\n"},
    // Every engine uniform and block in use, so that none is optimised away;
    // the last element of each array keeps its whole length.
    {"constants.vert",
     "uniform vec4 common_vertex_parameters[8];\nuniform vec4 spot_light_parameters_vertex[5];\n"
     "varying vec4 passed;\n"
     "void main() { gl_Position = gl_Vertex; passed = common_vertex_parameters[7] + spot_light_parameters_vertex[4]; "
     "}\n"},
    {"constants.frag",
     "uniform vec4 tint;\nuniform vec4 ambient_color;\nuniform vec4 user_vector_0;\nuniform vec4 user_floats_1;\n"
     "uniform vec4 common_pixel_parameters[3];\nuniform vec4 depth_rendering_parameters[2];\n"
     "uniform vec4 spot_light_parameters_pixel[3];\nvarying vec4 passed;\n"
     "void main() { gl_FragColor = tint + ambient_color + user_vector_0 + user_floats_1 + common_pixel_parameters[2] + "
     "depth_rendering_parameters[1] + spot_light_parameters_pixel[2] + passed; }\n"},
    {"textured.fp", "!!ARBfp1.0\nTEX result.color, fragment.texcoord[0], texture[0], 2D;\nEND\n"},
};

}  // namespace

void ShaderGlTest::SetUp() {
    zolt::test::GlContextTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("shader_gl_test_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    for (const auto& file : program_files) {
        std::ofstream(folder / file[0]) << file[1];
    }
    std::string error;
    const bool compiled =
        tools::compile_shader_library(description, (folder / "library.json").string(), &library_, &error);
    std::filesystem::remove_all(folder);
    ASSERT_TRUE(compiled) << error;
    install_library(library_.data(), static_cast<uint32_t>(library_.size()));
    reset_gl_caches();

    vertices_.initialize({sizeof(Vertex), 0, sizeof quad_vertices, 0}, quad_vertices);
    indices_.initialize({stream_format_index | sizeof(uint16_t), 0, sizeof quad_indices, 0}, quad_indices);
}

void ShaderGlTest::TearDown() {
    if (context_made_) {
        release_all_fibres();
        unbind_all_programs();
        if (texture_ != 0) {
            gl.glDeleteTextures(1, &texture_);
        }
        vertices_.free_copy(0);
        indices_.free_copy(0);
    }
    set_loaded_library(nullptr, 0);
    zolt::test::GlContextTest::TearDown();
}

ShaderPass ShaderGlTest::find_pass(const std::function<bool(const ShaderPass&)>& matches) const {
    ShaderLibraryHeader header;
    std::memcpy(&header, library_.data(), sizeof header);
    for (uint32_t index = 0; index < header.shader_passes.count; ++index) {
        const ShaderPass pass = read_record<ShaderPass>(header.shader_passes, index);
        if (matches(pass)) {
            return pass;
        }
    }
    ADD_FAILURE() << "no such shader pass";
    return read_record<ShaderPass>(header.shader_passes, 0);
}

ShaderPass ShaderGlTest::find_glsl_pass(uint32_t program_index) const {
    return find_pass([program_index](const ShaderPass& pass) {
        return get_vertex_setup_kind(pass.setup_kinds) == VertexSetupKind::glsl && pass.program_index == program_index;
    });
}

ShaderPass ShaderGlTest::find_arb_pass(bool textured) const {
    return find_pass([textured](const ShaderPass& pass) {
        return get_pixel_setup_kind(pass.setup_kinds) == PixelSetupKind::arb_program &&
               read_record<ArbProgramRecord>(TableLocation{pass.pixel_record, 1}, 0).program_number ==
                   (textured ? 1u : 0u);
    });
}

ShaderPass ShaderGlTest::find_predefined_pass(uint32_t setup) const {
    return find_pass([setup](const ShaderPass& pass) {
        return get_pixel_setup_kind(pass.setup_kinds) == PixelSetupKind::predefined && pass.pixel_record == setup;
    });
}

FibreSources ShaderGlTest::get_fibre_sources(uint32_t index_offset) {
    constexpr uint32_t index_stream = 1u << fibre_source_stream_shift;
    fibre_tags_[index_fibre_tag] = index_stream | index_offset;
    fibre_tags_[1] = make_fibre_format(FibreSourceFormat::float_3, offsetof(Vertex, position));
    fibre_tags_[2] = make_fibre_format(FibreSourceFormat::unsigned_byte_4_normalised, offsetof(Vertex, colour));
    fibre_tags_[3] = make_fibre_format(FibreSourceFormat::float_2, offsetof(Vertex, texture_coordinates));
    return {streams_, 2, fibre_tags_, 4};
}

void ShaderGlTest::set_up_pass(const ShaderPass& pass, uint32_t index_offset, const ResolvedConstantTags* constants) {
    get_fibre_sources(index_offset);
    ShaderLibraryContext context;
    context.fibre_tags = {fibre_tags_, 4};
    setup_shader_pass(pass, ShaderPassInput{nullptr, constants, streams_, 2}, context);
}

void ShaderGlTest::clear_to_black() const {
    gl.glClearColor(0, 0, 0, 1);
    gl.glClear(GL_COLOR_BUFFER_BIT);
}

void ShaderGlTest::bind_test_texture() {
    gl.glGenTextures(1, &texture_);
    gl.glBindTexture(GL_TEXTURE_2D, texture_);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    gl.glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
}

uint32_t ShaderGlTest::count_mismatches(const std::function<const uint8_t*(uint32_t x, uint32_t y)>& expected_colour,
                                        std::string* first) const {
    const std::vector<uint8_t> colors = read_colors();
    uint32_t count = 0;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint8_t* const found = &colors[4 * (y * width + x)];
            if (std::memcmp(found, expected_colour(x, y), 4) != 0 && count++ == 0) {
                *first = "pixel " + std::to_string(x) + "," + std::to_string(y) + " is " + std::to_string(found[0]) +
                         " " + std::to_string(found[1]) + " " + std::to_string(found[2]) + " " +
                         std::to_string(found[3]);
            }
        }
    }
    return count;
}

}  // namespace zolt::renderer::shader_library::test

// A hand-built skinned draw with the sample library's skinning variant on
// llvmpipe: two batches of one index stream, each with its own stretch of
// the palette table, and vertices blended between two palette entries. The
// test skins the vertices itself and checks that every pixel lies where its
// own triangles put it.
#include "zolt/renderer/batcher/bone_batches.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

#include "support/gl_context.h"
#include "zcontent/lib/shader_library_compiler.h"
#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/backend/stream_fibres.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_pass_setup.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"
#include "zolt/renderer/shaders/shader_program_setup.h"

namespace zolt::renderer {
namespace {

using opengl::gl;
namespace library = shader_library;

// The sample library's skinned, vertex-coloured pass.
constexpr uint32_t skinned_program = 5;

struct SkinnedVertex {
    float position[3];
    uint8_t colour[4];
    float weights[4];
    float entries[4];
};

constexpr uint8_t red[4] = {255, 0, 0, 255};
constexpr uint8_t green[4] = {0, 255, 0, 255};
constexpr uint8_t black[4] = {0, 0, 0, 255};

// Lower quad: palette entry 0 of the first batch. Upper quad: its bottom on
// entry 0 of the second batch, its top halfway between entries 0 and 1.
const SkinnedVertex vertices[] = {
    {{-0.5f, -0.75f, 0}, {255, 0, 0, 255}, {1, 0, 0, 0}, {0, 0, 0, 0}},
    {{0.0f, -0.75f, 0}, {255, 0, 0, 255}, {1, 0, 0, 0}, {0, 0, 0, 0}},
    {{0.0f, -0.05f, 0}, {255, 0, 0, 255}, {1, 0, 0, 0}, {0, 0, 0, 0}},
    {{-0.5f, -0.05f, 0}, {255, 0, 0, 255}, {1, 0, 0, 0}, {0, 0, 0, 0}},
    {{-0.5f, 0.0f, 0}, {0, 255, 0, 255}, {1, 0, 0, 0}, {0, 1, 0, 0}},
    {{0.0f, 0.0f, 0}, {0, 255, 0, 255}, {1, 0, 0, 0}, {0, 1, 0, 0}},
    {{0.0f, 0.5f, 0}, {0, 255, 0, 255}, {0.5f, 0.5f, 0, 0}, {0, 1, 0, 0}},
    {{-0.5f, 0.5f, 0}, {0, 255, 0, 255}, {0.5f, 0.5f, 0, 0}, {0, 1, 0, 0}},
};
const uint16_t indices[] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};

// Bone 0 stays; bone 1 moves right by 0.5; bone 2 turns a quarter about z
// and moves up by 0.25. Rows are the columns of each 3 x 4 matrix.
animation::PoseBuffer make_pose() {
    animation::PoseBuffer pose{};
    const float rows[3][3][4] = {
        {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}},
        {{1, 0, 0, 0.5f}, {0, 1, 0, 0}, {0, 0, 1, 0}},
        {{0, -1, 0, 0}, {1, 0, 0, 0.25f}, {0, 0, 1, 0}},
    };
    std::memcpy(pose.bone_rows, rows, sizeof rows);
    return pose;
}

struct Point {
    double x, y;
};

// The test's own skinning: each vertex through the rows of the bones its
// batch's palette gives it.
std::array<Point, 8> skin_vertices(const animation::PoseBuffer& pose, const int32_t* palette,
                                   const uint32_t* first_entry_of_vertex) {
    std::array<Point, 8> skinned{};
    for (int vertex = 0; vertex < 8; ++vertex) {
        const SkinnedVertex& v = vertices[vertex];
        for (int influence = 0; influence < 4; ++influence) {
            if (v.weights[influence] == 0) {
                continue;
            }
            const int32_t bone = palette[first_entry_of_vertex[vertex] + uint32_t(v.entries[influence])];
            const float(&m)[3][4] = pose.bone_rows[bone];
            const double p[4] = {v.position[0], v.position[1], v.position[2], 1};
            double x = 0, y = 0;
            for (int k = 0; k < 4; ++k) {
                x += m[0][k] * p[k];
                y += m[1][k] * p[k];
            }
            skinned[vertex].x += v.weights[influence] * x;
            skinned[vertex].y += v.weights[influence] * y;
        }
    }
    return skinned;
}

bool inside_triangle(const Point& p, const Point& a, const Point& b, const Point& c) {
    auto side = [](const Point& o, const Point& u, const Point& v) {
        return (u.x - o.x) * (v.y - o.y) - (u.y - o.y) * (v.x - o.x);
    };
    const double d1 = side(a, b, p), d2 = side(b, c, p), d3 = side(c, a, p);
    return (d1 >= 0 && d2 >= 0 && d3 >= 0) || (d1 <= 0 && d2 <= 0 && d3 <= 0);
}

class BoneBatchesGlTest : public zolt::test::GlContextTest {
protected:
    void SetUp() override {
        GlContextTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        const std::string path = std::string(ZOLT_CONTENT_SOURCE_PATH) + "/shaders/library.json";
        std::ifstream file(path);
        std::stringstream text;
        text << file.rdbuf();
        std::string error;
        ASSERT_TRUE(tools::compile_shader_library(text.str(), path, &library_, &error)) << error;
        library::install_library(library_.data(), static_cast<uint32_t>(library_.size()));
        library::reset_gl_caches();
        vertices_.initialize({sizeof(SkinnedVertex), 0, sizeof vertices, 0}, vertices);
        indices_.initialize({stream_format_index | sizeof(uint16_t), 0, sizeof indices, 0}, indices);
    }
    void TearDown() override {
        if (context_made_) {
            library::release_all_fibres();
            library::unbind_all_programs();
            vertices_.free_copy(0);
            indices_.free_copy(0);
        }
        library::set_loaded_library(nullptr, 0);
        GlContextTest::TearDown();
    }

    library::ShaderPass find_skinned_pass() const {
        library::ShaderLibraryHeader header;
        std::memcpy(&header, library_.data(), sizeof header);
        for (uint32_t index = 0; index < header.shader_passes.count; ++index) {
            const auto pass = library::read_record<library::ShaderPass>(header.shader_passes, index);
            if (library::get_vertex_setup_kind(pass.setup_kinds) == library::VertexSetupKind::glsl &&
                pass.program_index == skinned_program) {
                return pass;
            }
        }
        ADD_FAILURE() << "the sample library has no skinned pass";
        return library::read_record<library::ShaderPass>(header.shader_passes, 0);
    }

    void set_up_skinned_pass() {
        fibre_tags_[library::index_fibre_tag] = 1u << library::fibre_source_stream_shift;
        fibre_tags_[1] = make_fibre_format(FibreSourceFormat::float_3, offsetof(SkinnedVertex, position));
        fibre_tags_[3] =
            make_fibre_format(FibreSourceFormat::unsigned_byte_4_normalised, offsetof(SkinnedVertex, colour));
        fibre_tags_[4] = make_fibre_format(FibreSourceFormat::float_4, offsetof(SkinnedVertex, weights));
        fibre_tags_[5] = make_fibre_format(FibreSourceFormat::float_4, offsetof(SkinnedVertex, entries));
        library::ShaderLibraryContext context;
        context.fibre_tags = {fibre_tags_, 6};
        library::setup_shader_pass(find_skinned_pass(), library::ShaderPassInput{nullptr, nullptr, streams_, 2},
                                   context);
        gl.glMatrixMode(GL_MODELVIEW);
        gl.glLoadIdentity();
        gl.glMatrixMode(GL_PROJECTION);
        gl.glLoadIdentity();
    }

    std::vector<uint8_t> library_;
    Stream vertices_;
    Stream indices_;
    const Stream* streams_[2] = {&vertices_, &indices_};
    uint32_t fibre_tags_[6] = {};
};

TEST_F(BoneBatchesGlTest, EachBatchDrawsWithItsOwnStretchOfThePalette) {
    const animation::PoseBuffer pose = make_pose();
    // Entry 0 of the first batch is bone 0; entries 0 and 1 of the second
    // are bones 1 and 2.
    const int32_t palette[] = {0, 1, 2};
    const BoneBatch batches[] = {{2, 0, 1}, {2, 1, 2}};
    const uint32_t first_entry_of_vertex[8] = {0, 0, 0, 0, 1, 1, 1, 1};

    gl.glClearColor(0, 0, 0, 1);
    gl.glClearDepth(1);
    gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    set_up_skinned_pass();
    draw_bone_batches({&pose, palette, 3, batches, 2});
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const std::array<Point, 8> skinned = skin_vertices(pose, palette, first_entry_of_vertex);
    const std::vector<uint8_t> colours = read_colors();
    // A pixel counts only when its centre and four points 0.75 px around it
    // agree; edges are left to the rasteriser.
    auto expected_at = [&](uint32_t x, uint32_t y) -> std::optional<const uint8_t*> {
        const uint8_t* expected = black;
        for (const auto& [quad, colour] : {std::pair{0, red}, std::pair{4, green}}) {
            int hits = 0;
            for (const auto& [dx, dy] : {std::pair{0.0, 0.0}, {0.75, 0.0}, {-0.75, 0.0}, {0.0, 0.75}, {0.0, -0.75}}) {
                const Point p{(x + 0.5 + dx) / width * 2 - 1, (y + 0.5 + dy) / height * 2 - 1};
                const Point* v = &skinned[quad];
                hits += inside_triangle(p, v[0], v[1], v[2]) || inside_triangle(p, v[0], v[2], v[3]) ? 1 : 0;
            }
            if (hits == 5) {
                expected = colour;
            } else if (hits != 0) {
                return std::nullopt;
            }
        }
        return expected;
    };
    uint32_t checked = 0;
    uint32_t mismatches = 0;
    std::string first;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const std::optional<const uint8_t*> expected = expected_at(x, y);
            if (!expected) {
                continue;
            }
            ++checked;
            if (std::memcmp(&colours[4 * (y * width + x)], *expected, 4) != 0 && mismatches++ == 0) {
                first = "pixel " + std::to_string(x) + "," + std::to_string(y);
            }
        }
    }
    EXPECT_GT(checked, width * height / 2);
    EXPECT_EQ(mismatches, 0u) << first;
    // The upper quad really moved: at (0.15, 0.1), right of where it was
    // modelled, there is green.
    EXPECT_EQ(std::memcmp(&colours[4 * (35 * width + 36)], green, 4), 0)
        << "no green where the second batch's bones put it";
}

TEST(BoneBatchesTest, PalettesGatherTheirBonesAndTheIdentityOtherwise) {
    const animation::PoseBuffer pose = make_pose();
    const int32_t palette[] = {2, no_palette_bone, 1, 300};
    float rows[maximum_batch_palette * 12];
    // Entries past the table, of no bone or of a bone the buffer cannot hold
    // are the identity; a long batch stops at what the shader holds.
    EXPECT_EQ(gather_batch_palette({&pose, palette, 4, nullptr, 0}, {1, 0, 5}, rows), 5u);
    EXPECT_EQ(std::memcmp(rows, pose.bone_rows[2], 48), 0);
    EXPECT_EQ(std::memcmp(rows + 24, pose.bone_rows[1], 48), 0);
    for (const int entry : {1, 3, 4}) {
        EXPECT_EQ(rows[12 * entry + 0], 1.0f);
        EXPECT_EQ(rows[12 * entry + 3], 0.0f);
        EXPECT_EQ(rows[12 * entry + 5], 1.0f);
    }
    EXPECT_EQ(gather_batch_palette({nullptr, palette, 4, nullptr, 0}, {1, 0, 100}, rows), maximum_batch_palette);
    EXPECT_EQ(rows[0], 1.0f);
    EXPECT_EQ(rows[3], 0.0f);
}

}  // namespace
}  // namespace zolt::renderer

#pragma once
// A shader library compiled for the GL tests: colour and textured passes in
// GLSL and in ARB assembly, a GLSL pass that does not compile, and fixed
// function passes with the predefined pixel setups; with a vertex stream of
// two quads (the left half red, the right half green, texture coordinates
// spanning a 2x2 texture) and their indices. The library stays loaded for
// the test and every cache starts empty.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/gl_context.h"
#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_library_format.h"
#include "zolt/renderer/shaders/shader_pass_setup.h"

namespace zolt::renderer::shader_library::test {

// Program indices of the GLSL passes.
constexpr uint32_t colour_program = 1;
constexpr uint32_t textured_program = 2;
constexpr uint32_t broken_program = 9;
// The same shaders with the engine's uniforms and blocks, under two indices.
constexpr uint32_t constants_program = 3;
constexpr uint32_t second_constants_program = 4;

// 2x2 texels, bottom row first: blue, white; yellow, magenta.
constexpr uint8_t texels[4][4] = {{0, 0, 255, 255}, {255, 255, 255, 255}, {255, 255, 0, 255}, {255, 0, 255, 255}};
constexpr uint8_t red[4] = {255, 0, 0, 255};
constexpr uint8_t green[4] = {0, 255, 0, 255};
constexpr uint8_t black[4] = {0, 0, 0, 255};
constexpr uint32_t picture_width = 64;
constexpr uint32_t picture_height = 64;

class ShaderGlTest : public zolt::test::GlContextTest {
protected:
    static_assert(width == picture_width && height == picture_height);

    void SetUp() override;
    void TearDown() override;

    // The first shader pass of the library that matches.
    ShaderPass find_pass(const std::function<bool(const ShaderPass&)>& matches) const;
    ShaderPass find_glsl_pass(uint32_t program_index) const;
    // ARB vertex program with the colour or the textured ARB fragment program.
    ShaderPass find_arb_pass(bool textured) const;
    ShaderPass find_predefined_pass(uint32_t setup) const;

    // Fibre sources of the two quads, the index fibre starting at
    // index_offset.
    FibreSources get_fibre_sources(uint32_t index_offset = 0);
    // The whole shader pass setup with the quads' fibres and the given
    // constants.
    void set_up_pass(const ShaderPass& pass, uint32_t index_offset = 0,
                     const ResolvedConstantTags* constants = nullptr);
    void clear_to_black() const;
    // A 2x2 GL_NEAREST texture of texels on unit 0.
    void bind_test_texture();
    // Pixels that differ from the picture expected_colour gives; names the
    // first one.
    uint32_t count_mismatches(const std::function<const uint8_t*(uint32_t x, uint32_t y)>& expected_colour,
                              std::string* first) const;

    std::vector<uint8_t> library_;
    Stream vertices_;
    Stream indices_;
    const Stream* streams_[2] = {&vertices_, &indices_};
    uint32_t fibre_tags_[4] = {};
    uint32_t texture_ = 0;
};

}  // namespace zolt::renderer::shader_library::test

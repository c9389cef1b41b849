#pragma once
// The parameter blocks every GLSL program of the library may read: the
// common vertex and pixel parameters, the depth-rendering parameters and
// one light block per light kind. Each block counts versions; a program
// receives a block again only when its version moved since the program last
// got it, so a frame of many draws uploads each block once per program.
// Rendering thread only.
#include <cstdint>

#include "libs/geometry/matrix.h"
#include "libs/geometry/vector.h"

namespace zolt::renderer::shader_library {

constexpr uint32_t common_vertex_vector_count = 8;
constexpr uint32_t common_pixel_vector_count = 3;
constexpr uint32_t depth_rendering_vector_count = 2;
constexpr uint32_t max_cascade_count = 4;
constexpr uint32_t global_light_fixed_pixel_vectors = 4;
constexpr uint32_t vectors_per_cascade = 3;
constexpr uint32_t max_light_pixel_vectors = global_light_fixed_pixel_vectors + vectors_per_cascade * max_cascade_count;
constexpr uint32_t max_light_vertex_vectors = 5;

// Light kinds of programs and blocks: 0 is a program without light.
enum class GlslLightKind : uint32_t { none = 0, global = 1, spot = 2, point = 3, directional = 4 };

struct ParameterBlockData {
    const geometry::Vector4* vectors = nullptr;
    uint32_t count = 0;
    uint32_t version = 0;
};
ParameterBlockData get_common_vertex_parameters();
ParameterBlockData get_common_pixel_parameters();
ParameterBlockData get_depth_rendering_parameters();
// Kinds 1 to 4.
ParameterBlockData get_light_pixel_parameters(GlslLightKind kind);
ParameterBlockData get_light_vertex_parameters(GlslLightKind kind);

// Versions wrap from 0xFFFFFFFF to 1: 0 is what a program that never
// received a block remembers.
uint32_t next_block_version(uint32_t version);

// The projection into GL_PROJECTION (the model-view mode restored) and, for
// programs, the transposed projection and the view's first three columns.
void set_projection_matrix(const geometry::Matrix4& projection, const geometry::Matrix4& view);
// Identity projection and model-view, in GL and in the block.
void reset_transforms();
void set_eye_position(const geometry::Vector3& position);
// The shader time's fraction of its cycle into the vertex block, when the
// time changed.
void update_shader_time();
void set_depth_rendering_parameters(float p0, float p1, float a, float b, float p2, float p3);
// The global light: four vectors, then three per cascade (at most four).
void set_light_constants(const geometry::Vector4* pixel, uint32_t cascade_count, const geometry::Vector4& vertex);
void set_spot_light_constants(const geometry::Vector4 (&pixel)[3], const geometry::Vector4 (&vertex)[5]);
void set_point_light_constants(const geometry::Vector4& pixel, const geometry::Vector4& vertex);
void set_directional_light_constants(const geometry::Vector4& pixel, const geometry::Vector4& vertex);
// The fixed locations of the common pixel parameters: component 0 or 1 of
// vector 2, or all of vector 1. Nudged by the caller.
void set_common_pixel_component(uint32_t component, float value);
void set_common_pixel_vector_1(const float values[4]);

// The object's transform to texture coordinate constants 13 to 15.
void set_object_texture_matrix(const geometry::Matrix4& matrix);

// For the current GLSL program: its dirty user vectors, user floats and
// ambient colour, then every block whose version it has not seen.
void upload_cached_lighting_state();

// Blocks cleared, versions 1: for a new context.
void reset_parameter_blocks();

}  // namespace zolt::renderer::shader_library

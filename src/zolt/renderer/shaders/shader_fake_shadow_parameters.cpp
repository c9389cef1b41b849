#include "zolt/renderer/shaders/shader_fake_shadow_parameters.h"

#include "libs/opengl/core_or_extension.h"
#include "libs/opengl/shader_objects.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_constants.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"

namespace zolt::renderer::shader_library {

namespace {

constexpr uint32_t far_distance_attribute = 1;

void put_nudged(float (&vector)[4], float x, float y, float z, float w) {
    vector[0] = nudge_constant(x);
    vector[1] = nudge_constant(y);
    vector[2] = nudge_constant(z);
    vector[3] = nudge_constant(w);
}

}  // namespace

void build_fake_shadow_parameter_vectors(const FakeShadowParameters& parameters,
                                         float (&vectors)[fake_shadow_parameter_vector_count][4]) {
    const geometry::Vector4& strength = parameters.strength;
    put_nudged(vectors[0], strength.x, strength.y, strength.z, strength.w);
    // Transposed: vector 1 + c is column c, so a shader takes dot products.
    const geometry::Vector4* const rows = parameters.texture_matrix.rows;
    for (uint32_t column = 0; column < 4; ++column) {
        const float* const lanes[4] = {&rows[0].x, &rows[1].x, &rows[2].x, &rows[3].x};
        for (uint32_t row = 0; row < 4; ++row) {
            vectors[1 + column][row] = lanes[row][column];
        }
    }
    const geometry::Vector4& tile = parameters.tile_rectangle;
    put_nudged(vectors[5], tile.x, tile.y, tile.z, tile.w);
    put_nudged(vectors[6], parameters.extension_ratio, parameters.extension_ratio, parameters.texel_width,
               parameters.texel_height);
    const float inverse = parameters.parameter_4_inverse;
    put_nudged(vectors[7], inverse, inverse, inverse, inverse);
}

void set_fake_shadow_parameters(const FakeShadowParameters& parameters) {
    const float far_distance[4] = {parameters.far_distance, 0, 0, 1};
    opengl::vertex_attrib_4fv(far_distance_attribute, far_distance);
    get_constant_vertex_attribute(far_distance_attribute).valid = false;
    const GlslProgram* const program = get_current_glsl_program();
    if (program == nullptr) {
        return;
    }
    const int32_t location = program->engine_locations[static_cast<uint32_t>(EngineUniform::fake_shadow_parameters)];
    if (location == no_uniform_location) {
        return;
    }
    float vectors[fake_shadow_parameter_vector_count][4];
    build_fake_shadow_parameter_vectors(parameters, vectors);
    opengl::set_uniform_floats(location, 4, fake_shadow_parameter_vector_count, &vectors[0][0]);
}

}  // namespace zolt::renderer::shader_library

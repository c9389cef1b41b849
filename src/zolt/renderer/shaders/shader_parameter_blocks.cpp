#include "zolt/renderer/shaders/shader_parameter_blocks.h"

#include <cmath>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/shader_objects.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/shaders/shader_constants.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"

namespace zolt::renderer::shader_library {

using geometry::Matrix4;
using geometry::Vector4;
using opengl::gl;

namespace {

// Smaller differences are not a change: the driver would see the same value.
constexpr float change_tolerance = 1.0f / 65536.0f;
constexpr float pixel_eye_w = 0.001f;
constexpr uint32_t light_kind_count = 4;
// The object transform's three columns go to texture coordinate sets 5 to
// 7: GL promises only 8 sets (Mesa's llvmpipe has no more), and materials
// feed their own coordinates from the lowest sets.
constexpr uint32_t first_object_texture_unit = 5;

template <uint32_t Capacity>
struct Block {
    Vector4 vectors[Capacity];
    uint32_t count = Capacity;
    uint32_t version = 1;

    ParameterBlockData view() const { return {vectors, count, version}; }
    void raise() { version = next_block_version(version); }
};

Block<common_vertex_vector_count> common_vertex;
Block<common_pixel_vector_count> common_pixel;
Block<depth_rendering_vector_count> depth_rendering;
Block<max_light_pixel_vectors> light_pixel[light_kind_count];
Block<max_light_vertex_vectors> light_vertex[light_kind_count];
uint32_t last_shader_time = 0;
bool shader_time_seen = false;

constexpr uint32_t light_pixel_counts[light_kind_count] = {global_light_fixed_pixel_vectors, 3, 1, 1};
constexpr uint32_t light_vertex_counts[light_kind_count] = {1, 5, 1, 1};

bool store_component(float& stored, float value) {
    if (std::fabs(stored - value) < change_tolerance) {
        return false;
    }
    stored = value;
    return true;
}

bool store_vector(Vector4& stored, const Vector4& value) {
    bool changed = store_component(stored.x, value.x);
    changed |= store_component(stored.y, value.y);
    changed |= store_component(stored.z, value.z);
    changed |= store_component(stored.w, value.w);
    return changed;
}

template <uint32_t Capacity>
void store_vectors(Block<Capacity>& block, const Vector4* values, uint32_t count) {
    bool changed = block.count != count;
    block.count = count;
    for (uint32_t index = 0; index < count; ++index) {
        changed |= store_vector(block.vectors[index], values[index]);
    }
    if (changed) {
        block.raise();
    }
}

uint32_t light_index(GlslLightKind kind) {
    const auto value = static_cast<uint32_t>(kind);
    if (value < 1 || value > light_kind_count) {
        ZOLT_PANIC("Incorrect shader light type %u", value);
    }
    return value - 1;
}

Vector4 get_column(const Matrix4& matrix, uint32_t column) {
    const auto component = [column](const Vector4& row) {
        return column == 0 ? row.x : column == 1 ? row.y : column == 2 ? row.z : row.w;
    };
    return {component(matrix.rows[0]), component(matrix.rows[1]), component(matrix.rows[2]), component(matrix.rows[3])};
}

void store_transforms(const Matrix4& projection, const Matrix4& view) {
    for (uint32_t column = 0; column < 4; ++column) {
        common_vertex.vectors[1 + column] = get_column(projection, column);
    }
    for (uint32_t column = 0; column < 3; ++column) {
        common_vertex.vectors[5 + column] = get_column(view, column);
    }
    common_vertex.raise();
}

void upload_block(GlslProgram& program, ParameterBlock slot, const ParameterBlockData& block) {
    const auto index = static_cast<uint32_t>(slot);
    const int32_t location = program.block_locations[index];
    if (location == no_uniform_location || program.block_versions[index] == block.version) {
        return;
    }
    opengl::set_uniform_floats(location, 4, static_cast<int32_t>(block.count), &block.vectors[0].x);
    program.block_versions[index] = block.version;
}

void upload_if_dirty(int32_t location, const float (&values)[4], bool& dirty) {
    if (dirty) {
        opengl::set_uniform_floats(location, 4, 1, values);
        dirty = false;
    }
}

}  // namespace

uint32_t next_block_version(uint32_t version) {
    return version == 0xFFFFFFFFu ? 1 : version + 1;
}

ParameterBlockData get_common_vertex_parameters() {
    return common_vertex.view();
}

ParameterBlockData get_common_pixel_parameters() {
    return common_pixel.view();
}

ParameterBlockData get_depth_rendering_parameters() {
    return depth_rendering.view();
}

ParameterBlockData get_light_pixel_parameters(GlslLightKind kind) {
    return light_pixel[light_index(kind)].view();
}

ParameterBlockData get_light_vertex_parameters(GlslLightKind kind) {
    return light_vertex[light_index(kind)].view();
}

void set_projection_matrix(const Matrix4& projection, const Matrix4& view) {
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadMatrixf(&projection.rows[0].x);
    gl.glMatrixMode(GL_MODELVIEW);
    store_transforms(projection, view);
}

void reset_transforms() {
    gl.glMatrixMode(GL_PROJECTION);
    gl.glLoadIdentity();
    gl.glMatrixMode(GL_MODELVIEW);
    gl.glLoadIdentity();
    store_transforms(Matrix4{}, Matrix4{});
}

void set_eye_position(const geometry::Vector3& position) {
    const float x = nudge_constant(position.x);
    const float y = nudge_constant(position.y);
    const float z = nudge_constant(position.z);
    if (store_vector(common_pixel.vectors[0], {x, y, z, pixel_eye_w})) {
        common_pixel.raise();
    }
    Vector4& vertex_eye = common_vertex.vectors[0];
    if (store_vector(vertex_eye, {x, y, z, vertex_eye.w})) {
        common_vertex.raise();
    }
}

void update_shader_time() {
    const uint32_t time = get_library_state().shader_time;
    if (shader_time_seen && time == last_shader_time) {
        return;
    }
    shader_time_seen = true;
    last_shader_time = time;
    const float fraction = get_shader_time_fraction();
    if (common_vertex.vectors[0].w != fraction) {
        common_vertex.vectors[0].w = fraction;
        common_vertex.raise();
    }
}

void set_depth_rendering_parameters(float p0, float p1, float a, float b, float p2, float p3) {
    // A zero scale would put infinities into every depth program.
    const float scale = p0 != 0.0f ? 1.0f / p0 : 0.0f;
    Vector4 values[depth_rendering_vector_count] = {
        {p0, p1 * scale, b * scale, std::fmax(a, b) * scale},
        {p2, p3, depth_rendering.vectors[1].z, depth_rendering.vectors[1].w},
    };
    store_vectors(depth_rendering, values, depth_rendering_vector_count);
}

void set_light_constants(const Vector4* pixel, uint32_t cascade_count, const Vector4& vertex) {
    if (cascade_count > max_cascade_count) {
        cascade_count = max_cascade_count;
    }
    const uint32_t index = light_index(GlslLightKind::global);
    store_vectors(light_pixel[index], pixel, global_light_fixed_pixel_vectors + vectors_per_cascade * cascade_count);
    store_vectors(light_vertex[index], &vertex, 1);
}

void set_spot_light_constants(const Vector4 (&pixel)[3], const Vector4 (&vertex)[5]) {
    const uint32_t index = light_index(GlslLightKind::spot);
    store_vectors(light_pixel[index], pixel, 3);
    store_vectors(light_vertex[index], vertex, 5);
}

void set_point_light_constants(const Vector4& pixel, const Vector4& vertex) {
    const uint32_t index = light_index(GlslLightKind::point);
    store_vectors(light_pixel[index], &pixel, 1);
    store_vectors(light_vertex[index], &vertex, 1);
}

void set_directional_light_constants(const Vector4& pixel, const Vector4& vertex) {
    const uint32_t index = light_index(GlslLightKind::directional);
    store_vectors(light_pixel[index], &pixel, 1);
    store_vectors(light_vertex[index], &vertex, 1);
}

void set_common_pixel_component(uint32_t component, float value) {
    Vector4& vector = common_pixel.vectors[2];
    if (store_component(component == 0 ? vector.x : vector.y, value)) {
        common_pixel.raise();
    }
}

void set_common_pixel_vector_1(const float values[4]) {
    if (store_vector(common_pixel.vectors[1], {values[0], values[1], values[2], values[3]})) {
        common_pixel.raise();
    }
}

void set_object_texture_matrix(const Matrix4& matrix) {
    for (uint32_t column = 0; column < 3; ++column) {
        const Vector4 values = get_column(matrix, column);
        set_texture_coordinate_constant(first_object_texture_unit + column, &values.x);
    }
}

void upload_cached_lighting_state() {
    GlslProgram* const program = get_current_glsl_program();
    if (program == nullptr) {
        return;
    }
    const auto location = [program](EngineUniform uniform) {
        return program->engine_locations[static_cast<uint32_t>(uniform)];
    };
    for (int32_t index = 0; index <= program->highest_user_vector; ++index) {
        upload_if_dirty(location(index == 0 ? EngineUniform::user_vector_0 : EngineUniform::user_vector_1),
                        program->user_vectors[index], program->user_vectors_dirty[index]);
    }
    for (int32_t index = 0; index <= program->highest_user_floats; ++index) {
        upload_if_dirty(location(index == 0 ? EngineUniform::user_floats_0 : EngineUniform::user_floats_1),
                        program->user_floats[index], program->user_floats_dirty[index]);
    }
    upload_if_dirty(location(EngineUniform::ambient_color), program->ambient_color, program->ambient_color_dirty);
    upload_block(*program, ParameterBlock::common_vertex, common_vertex.view());
    upload_block(*program, ParameterBlock::common_pixel, common_pixel.view());
    upload_block(*program, ParameterBlock::depth_rendering, depth_rendering.view());
    if (program->light_kind == 0) {
        return;
    }
    const auto kind = static_cast<GlslLightKind>(program->light_kind);
    upload_block(*program, ParameterBlock::light_pixel, get_light_pixel_parameters(kind));
    upload_block(*program, ParameterBlock::light_vertex, get_light_vertex_parameters(kind));
}

void reset_parameter_blocks() {
    common_vertex = {};
    common_pixel = {};
    depth_rendering = {};
    for (uint32_t index = 0; index < light_kind_count; ++index) {
        light_pixel[index] = {};
        light_pixel[index].count = light_pixel_counts[index];
        light_vertex[index] = {};
        light_vertex[index].count = light_vertex_counts[index];
    }
    store_transforms(Matrix4{}, Matrix4{});
    common_vertex.version = 1;
    common_pixel.vectors[0].w = pixel_eye_w;
    shader_time_seen = false;
}

}  // namespace zolt::renderer::shader_library

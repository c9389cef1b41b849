#include "zolt/renderer/batcher/bone_batches.h"

#include <algorithm>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/shader_objects.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_draw.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"
#include "zolt/renderer/shaders/shader_program_setup.h"

namespace zolt::renderer {
namespace {

using opengl::gl;

constexpr uint32_t rows_per_bone = 3;
constexpr uint32_t floats_per_bone = 12;
constexpr uint32_t uploaded_factor_vectors = 3;
constexpr float identity_rows[floats_per_bone] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};

uint32_t get_indices_per_primitive(uint32_t primitive_type) {
    switch (primitive_type) {
    case GL_TRIANGLES:
        return 3;
    case GL_QUADS:
        return 4;
    default:
        ZOLT_PANIC("Unrecognized geometrical primitive type 0x%x", primitive_type);
        return 0;
    }
}

int32_t get_current_glsl_location(shader_library::EngineUniform uniform) {
    const shader_library::GlslProgram* const program = shader_library::get_current_glsl_program();
    return program != nullptr ? program->engine_locations[static_cast<uint32_t>(uniform)]
                              : shader_library::no_uniform_location;
}

void upload_palette(const float* rows, uint32_t count) {
    if (count == 0) {
        return;
    }
    if (shader_library::get_current_arb_vertex_program() != 0) {
        if (gl.glProgramLocalParameter4fvARB != nullptr) {
            for (uint32_t vector = 0; vector < count * rows_per_bone; ++vector) {
                gl.glProgramLocalParameter4fvARB(GL_VERTEX_PROGRAM_ARB, first_skinning_local_parameter + vector,
                                                 rows + 4 * vector);
            }
        }
        return;
    }
    opengl::set_uniform_floats(get_current_glsl_location(shader_library::EngineUniform::skinning_matrices), 4,
                               static_cast<int32_t>(count * rows_per_bone), rows);
}

}  // namespace

uint32_t gather_batch_palette(const BoneBatchDraw& draw, const BoneBatch& batch, float* rows) {
    const uint32_t count = std::min(batch.palette_length, maximum_batch_palette);
    for (uint32_t entry = 0; entry < count; ++entry) {
        const uint64_t at = uint64_t{batch.first_palette_entry} + entry;
        const int32_t bone = at < draw.palette_size && draw.palette != nullptr ? draw.palette[at] : no_palette_bone;
        const float* source = identity_rows;
        if (draw.pose != nullptr && bone >= 0 && static_cast<uint32_t>(bone) < animation::maximum_skeleton_bones) {
            source = &draw.pose->bone_rows[bone][0][0];
        }
        std::copy(source, source + floats_per_bone, rows + floats_per_bone * entry);
    }
    return count;
}

void upload_animated_factors(const animation::PoseBuffer* pose) {
    const int32_t location = get_current_glsl_location(shader_library::EngineUniform::animated_factors);
    if (location == shader_library::no_uniform_location) {
        return;
    }
    float factors[4 * uploaded_factor_vectors] = {};
    if (pose != nullptr) {
        animation::get_animated_factors(*pose, factors, 4 * uploaded_factor_vectors);
    }
    opengl::set_uniform_floats(location, 4, uploaded_factor_vectors, factors);
}

void draw_bone_batches(const BoneBatchDraw& draw) {
    upload_animated_factors(draw.pose);
    const uint32_t per_primitive = get_indices_per_primitive(shader_library::get_index_stream().primitive_type);
    uint32_t first_index = 0;
    for (uint32_t index = 0; index < draw.batch_count; ++index) {
        const BoneBatch& batch = draw.batches[index];
        float rows[maximum_batch_palette * floats_per_bone];
        upload_palette(rows, gather_batch_palette(draw, batch, rows));
        const uint32_t count = batch.primitive_count * per_primitive;
        shader_library::draw_indexed(count, first_index);
        first_index += count;
    }
}

}  // namespace zolt::renderer

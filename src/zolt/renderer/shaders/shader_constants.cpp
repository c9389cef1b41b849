#include "zolt/renderer/shaders/shader_constants.h"

#include <cmath>
#include <cstring>

#include "libs/opengl/core_or_extension.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/shader_objects.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"

namespace zolt::renderer::shader_library {

using opengl::gl;

namespace {

constexpr float fixed_location_tolerance = 1.0f / 65536.0f;
constexpr uint32_t max_components = 4;
constexpr uint32_t user_floats_per_vector = 4;

struct TextureCoordinateConstant {
    bool valid = false;
    float values[4] = {};
};
TextureCoordinateConstant texture_coordinate_constants[texture_coordinate_constant_count];

// Floats as they are, integer words converted: what fixed function, ARB
// programs and the parameter blocks take.
void read_floats(const ConstantValue& value, bool integer, float (&out)[4]) {
    for (uint32_t lane = 0; lane < max_components; ++lane) {
        out[lane] = integer ? static_cast<float>(static_cast<int32_t>(value.words[lane])) : value.get_float(lane);
    }
}

void read_nudged_floats(const ConstantValue& value, bool integer, float (&out)[4]) {
    read_floats(value, integer, out);
    if (!integer) {
        for (float& component : out) {
            component = nudge_constant(component);
        }
    }
}

uint32_t get_value_count(uint32_t target_word) {
    return ((target_word >> constant_target_count_shift) & 0xF) + 1;
}

uint32_t require_component_count(uint32_t value_count) {
    if (value_count > max_components) {
        ZOLT_PANIC("Unsupported value count %u", value_count);
    }
    return value_count;
}

// Stores into a program's cached vector; a change makes it dirty.
void store_cached(float& stored, float value, bool& dirty) {
    if (std::fabs(stored - value) >= fixed_location_tolerance) {
        stored = value;
        dirty = true;
    }
}

void store_cached_vector(float (&stored)[4], const float (&values)[4], bool& dirty) {
    for (uint32_t lane = 0; lane < max_components; ++lane) {
        store_cached(stored[lane], values[lane], dirty);
    }
}

bool program_has(const GlslProgram& program, EngineUniform uniform) {
    return program.engine_locations[static_cast<uint32_t>(uniform)] != no_uniform_location;
}

void setup_fixed_location(uint32_t location, const ConstantValue& value, bool integer) {
    float values[4];
    read_nudged_floats(value, integer, values);
    switch (location) {
    case static_cast<uint32_t>(FixedLocation::pixel_vector_2_x):
    case static_cast<uint32_t>(FixedLocation::pixel_vector_2_y):
        set_common_pixel_component(location, values[0]);
        return;
    case static_cast<uint32_t>(FixedLocation::pixel_vector_1):
        set_common_pixel_vector_1(values);
        return;
    default:
        break;
    }
    const bool known = location == static_cast<uint32_t>(FixedLocation::ambient_color) ||
                       location == static_cast<uint32_t>(FixedLocation::user_vector_0) ||
                       location == static_cast<uint32_t>(FixedLocation::user_vector_1) ||
                       (location >= static_cast<uint32_t>(FixedLocation::first_user_float) &&
                        location <= static_cast<uint32_t>(FixedLocation::last_user_float));
    if (!known) {
        ZOLT_PANIC("Unsupported fixed location target %u", location);
    }
    GlslProgram* const program = get_current_glsl_program();
    if (program == nullptr) {
        return;
    }
    if (location == static_cast<uint32_t>(FixedLocation::ambient_color)) {
        store_cached_vector(program->ambient_color, values, program->ambient_color_dirty);
        return;
    }
    if (location == static_cast<uint32_t>(FixedLocation::user_vector_0) ||
        location == static_cast<uint32_t>(FixedLocation::user_vector_1)) {
        const uint32_t index = location - static_cast<uint32_t>(FixedLocation::user_vector_0);
        if (program_has(*program, index == 0 ? EngineUniform::user_vector_0 : EngineUniform::user_vector_1)) {
            store_cached_vector(program->user_vectors[index], values, program->user_vectors_dirty[index]);
        }
        return;
    }
    const uint32_t offset = location - static_cast<uint32_t>(FixedLocation::first_user_float);
    const uint32_t vector = offset / user_floats_per_vector;
    if (program_has(*program, vector == 0 ? EngineUniform::user_floats_0 : EngineUniform::user_floats_1)) {
        store_cached(program->user_floats[vector][offset % user_floats_per_vector], values[0],
                     program->user_floats_dirty[vector]);
    }
}

void setup_glsl_uniform(uint32_t index, uint32_t value_count, const ConstantValue& value, bool integer) {
    const GlslProgram* const program = get_current_glsl_program();
    if (program == nullptr || index >= program->constant_location_count) {
        return;
    }
    const uint32_t components = require_component_count(value_count);
    const int32_t location = program->constant_locations[index];
    if (integer) {
        int32_t values[4];
        std::memcpy(values, value.words, sizeof values);
        opengl::set_uniform_ints(location, components, values);
        return;
    }
    float values[4];
    read_nudged_floats(value, false, values);
    opengl::set_uniform_floats(location, components, 1, values);
}

void setup_arb_local(GLenum target, uint32_t index, const ConstantValue& value, bool integer) {
    // Absent without the assembly-program extensions, whose passes then are
    // never selected.
    if (gl.glProgramLocalParameter4fvARB == nullptr) {
        return;
    }
    float values[4];
    read_floats(value, integer, values);
    gl.glProgramLocalParameter4fvARB(target, index, values);
}

void upload_texture_coordinate(uint32_t unit, uint32_t components, const float* values) {
    const GLenum texture = GL_TEXTURE0 + unit;
    switch (components) {
    case 1:
        gl.glMultiTexCoord1fv(texture, values);
        return;
    case 2:
        gl.glMultiTexCoord2fv(texture, values);
        return;
    case 3:
        gl.glMultiTexCoord3fv(texture, values);
        return;
    default:
        gl.glMultiTexCoord4fv(texture, values);
        return;
    }
}

// GL fills the components a call leaves out with (0, 0, 0, 1); the caches
// compare what GL holds.
void complete_components(float (&values)[4], uint32_t components) {
    for (uint32_t lane = components; lane < max_components; ++lane) {
        values[lane] = lane + 1 == max_components ? 1.0f : 0.0f;
    }
}

bool store_if_changed(float (&cached)[4], bool& valid, const float (&values)[4]) {
    if (valid && std::memcmp(cached, values, sizeof cached) == 0) {
        return false;
    }
    std::memcpy(cached, values, sizeof cached);
    valid = true;
    return true;
}

void setup_texture_coordinate_constant(uint32_t unit, uint32_t value_count, const ConstantValue& value, bool integer) {
    const uint32_t components = require_component_count(value_count);
    float values[4];
    read_floats(value, integer, values);
    complete_components(values, components);
    if (unit < texture_coordinate_constant_count) {
        TextureCoordinateConstant& cached = texture_coordinate_constants[unit];
        if (!store_if_changed(cached.values, cached.valid, values)) {
            return;
        }
    }
    upload_texture_coordinate(unit, components, values);
}

void setup_vertex_attribute_constant(uint32_t slot, uint32_t value_count, const ConstantValue& value, bool integer) {
    const uint32_t components = require_component_count(value_count);
    float values[4];
    read_floats(value, integer, values);
    complete_components(values, components);
    if (slot < constant_vertex_attribute_count) {
        ConstantVertexAttribute& cached = get_constant_vertex_attribute(slot);
        if (!store_if_changed(cached.values, cached.valid, values)) {
            return;
        }
    }
    switch (components) {
    case 1:
        opengl::vertex_attrib_1fv(slot, values);
        return;
    case 2:
        opengl::vertex_attrib_2fv(slot, values);
        return;
    case 3:
        opengl::vertex_attrib_3fv(slot, values);
        return;
    default:
        opengl::vertex_attrib_4fv(slot, values);
        return;
    }
}

float nudge_magnitude(float value, float magnitude, float nudged) {
    return value == magnitude ? nudged : value == -magnitude ? -nudged : value;
}

}  // namespace

float nudge_constant(float value) {
    if (value == 0.0f) {
        return 0.0001f;
    }
    const float magnitude = std::fabs(value);
    const float sign = value < 0.0f ? -1.0f : 1.0f;
    if (magnitude == 2.0f) {
        return sign * 1.9999f;
    }
    if (magnitude == 1.0f) {
        return sign * 0.9999f;
    }
    if (magnitude == 0.5f) {
        return sign * 0.5001f;
    }
    if (magnitude == 0.25f) {
        return sign * 0.2501f;
    }
    if (magnitude == 0.125f) {
        return sign * 0.1251f;
    }
    return value;
}

float nudge_scalar(float value) {
    if (value >= 0.9999f) {
        return 0.9999f;
    }
    value = nudge_magnitude(value, 0.5f, 0.5001f);
    value = nudge_magnitude(value, 0.25f, 0.2501f);
    return nudge_magnitude(value, 0.125f, 0.1251f);
}

float nudge_scalar_above_zero(float value) {
    return value <= 0.0001f ? 0.0001f : nudge_scalar(value);
}

void setup_constant(const ConstantValue& value, bool integer, uint32_t target_word) {
    const uint32_t index = target_word & constant_target_index_mask;
    const uint32_t value_count = get_value_count(target_word);
    switch (static_cast<ConstantTargetClass>(target_word & constant_target_class_mask)) {
    case ConstantTargetClass::arb_vertex_local:
        setup_arb_local(GL_VERTEX_PROGRAM_ARB, index, value, integer);
        return;
    case ConstantTargetClass::arb_fragment_local:
        setup_arb_local(GL_FRAGMENT_PROGRAM_ARB, index, value, integer);
        return;
    case ConstantTargetClass::fixed_location:
        setup_fixed_location(index, value, integer);
        return;
    case ConstantTargetClass::glsl_uniform:
        setup_glsl_uniform(index, value_count, value, integer);
        return;
    case ConstantTargetClass::texture_coordinate_constant:
        setup_texture_coordinate_constant(index, value_count, value, integer);
        return;
    case ConstantTargetClass::vertex_attribute_constant:
        setup_vertex_attribute_constant(index, value_count, value, integer);
        return;
    }
    ZOLT_PANIC("Unsupported constant target %u", target_word);
}

void set_texture_coordinate_constant(uint32_t unit, const float values[4]) {
    ConstantValue value;
    std::memcpy(value.words, values, sizeof value.words);
    setup_texture_coordinate_constant(unit, max_components, value, false);
}

void forget_texture_coordinate_constants() {
    for (TextureCoordinateConstant& constant : texture_coordinate_constants) {
        constant.valid = false;
    }
}

void reset_constant_caches() {
    forget_texture_coordinate_constants();
    reset_parameter_blocks();
}

}  // namespace zolt::renderer::shader_library

#pragma once
// The GLSL program cache: 30000 entries indexed by a shader pass's program
// index, each built on first use from the pass's vertex and pixel GLSL shader
// records (their texts compiled through the shared shader cache), with the
// locations of the uniforms the engine sets and of the record's own uniform
// names. A program that fails to compile or link is reported once and not
// built again until every program is deleted. Rendering thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "zolt/renderer/shaders/shader_library_format.h"

namespace zolt::renderer::shader_library {

constexpr uint32_t glsl_location_pool_size = 160000;  // bytes
constexpr int32_t no_uniform_location = -1;
constexpr int32_t no_glsl_program = -1;

// When false every shader text gets "#define IGNORE_NV_DATA_TYPES" in front.
extern bool support_nv_data_types;

enum class EngineUniform : uint32_t {
    skinning_matrices,
    animated_factors,
    user_vector_0,
    user_vector_1,
    user_floats_0,
    user_floats_1,
    ambient_color,
    fake_shadow_parameters,
    count
};
constexpr uint32_t engine_uniform_count = static_cast<uint32_t>(EngineUniform::count);

// Parameter blocks a program receives when their version changes.
enum class ParameterBlock : uint32_t { common_vertex, common_pixel, depth_rendering, light_pixel, light_vertex, count };
constexpr uint32_t parameter_block_count = static_cast<uint32_t>(ParameterBlock::count);
constexpr uint32_t glsl_light_kind_count = 4;

struct GlslProgram {
    bool build_failed = false;
    bool drawn_since_built = false;
    uint32_t program = 0;
    // In the order of the record's uniform name list.
    int32_t* constant_locations = nullptr;
    uint32_t constant_location_count = 0;
    int32_t engine_locations[engine_uniform_count] = {-1, -1, -1, -1, -1, -1, -1, -1};
    uint32_t light_kind = 0;  // 1 to 4, 0 none
    int32_t highest_user_vector = -1;
    int32_t highest_user_floats = -1;
    float user_vectors[2][4] = {};
    float user_floats[2][4] = {};
    float ambient_color[4] = {};
    bool user_vectors_dirty[2] = {};
    bool user_floats_dirty[2] = {};
    bool ambient_color_dirty = false;
    int32_t block_locations[parameter_block_count] = {-1, -1, -1, -1, -1};
    uint32_t block_versions[parameter_block_count] = {};
};

// The entry of the pass's program, built on first use; null when it cannot
// be built (now or before).
GlslProgram* get_program(const ShaderPass& pass);
// After linking: samplers to their units, the engine's uniforms, the light
// kind and the record's uniform names. The program must be in use.
void bind_glsl_uniforms(GlslProgram& entry, const GlslShaderRecord& record);
// Makes the pass's program current (glUseProgram only on a change); a
// program that cannot be built leaves the current one as it is. Answers
// whether the pass's program is current.
bool use_glsl_program(const ShaderPass& pass);
void unbind_glsl_program();
// Forgets which program is current without a GL call, so that the next use
// binds again.
void forget_current_glsl_program();
// The current entry, null with none.
GlslProgram* get_current_glsl_program();
int32_t get_current_glsl_program_index();
const GlslProgram& get_glsl_program_entry(uint32_t program_index);

// The texts of one shader as GL gets them, prefix included: the prefix goes
// after a leading "#version" line, as GLSL wants that line first.
std::vector<std::string> build_glsl_sources(const char* const* texts, uint32_t text_count);

// Deletes every program and returns its locations; programs are built
// again on use.
void delete_glsl_programs();
// Forgets every entry without GL calls: for a new context.
void reset_glsl_program_cache();

}  // namespace zolt::renderer::shader_library

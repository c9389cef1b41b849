#include "zolt/renderer/shaders/shader_program_glsl.h"

#include <cstring>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/shader_objects.h"
#include "libs/utility/config_variable_row.h"
#include "libs/utility/fatal_error.h"
#include "libs/utility/message_handler.h"
#include "zolt/renderer/shaders/shader_library_data.h"

namespace zolt::renderer::shader_library {

using opengl::gl;

bool support_nv_data_types = true;

namespace {

const ConfigVariableRow<bool> support_nv_data_types_row(112, "support_nv_data_types", &support_nv_data_types, true,
                                                        false, true, config_written_when_changed);

constexpr uint32_t location_pool_capacity = glsl_location_pool_size / sizeof(int32_t);

GlslProgram programs[program_index_limit];
int32_t location_pool[location_pool_capacity];
uint32_t location_pool_used = 0;
int32_t current_program_index = no_glsl_program;

constexpr const char* engine_uniform_names[engine_uniform_count] = {
    "skinning_matrices", "animated_factors", "user_vector_0", "user_vector_1",
    "user_floats_0",     "user_floats_1",    "ambient_color", "fake_shadow_parameters",
};

// By light kind 1 to 4: the pixel uniform, then the vertex uniform.
constexpr const char* light_uniform_names[glsl_light_kind_count][2] = {
    {"sun_parameters_pixel", "sun_parameters_vertex"},
    {"spot_light_parameters_pixel", "spot_light_parameters_vertex"},
    {"point_light_parameters_pixel", "point_light_parameters_vertex"},
    {"directional_light_parameters_pixel", "directional_light_parameters_vertex"},
};

const char* get_prefix() {
    return support_nv_data_types ? "\n" : "#define IGNORE_NV_DATA_TYPES\n";
}

const char* read_text(uint32_t offset) {
    return reinterpret_cast<const char*>(get_loaded_library().data + offset);
}

uint32_t read_word(uint32_t offset) {
    uint32_t word;
    std::memcpy(&word, get_loaded_library().data + offset, sizeof word);
    return word;
}

GlslShaderRecord read_shader_record(uint32_t offset) {
    GlslShaderRecord record;
    std::memcpy(&record, get_loaded_library().data + offset, sizeof record);
    return record;
}

GlslNamedIndex read_named_index(uint32_t list_offset, uint32_t index) {
    GlslNamedIndex named;
    std::memcpy(&named, get_loaded_library().data + list_offset + size_t{index} * sizeof named, sizeof named);
    return named;
}

bool compile_record(uint32_t program, const GlslShaderRecord& record, GLenum shader_type) {
    std::vector<const char*> texts(record.source_count);
    for (uint32_t index = 0; index < record.source_count; ++index) {
        texts[index] = read_text(read_word(record.source_list_offset + index * sizeof(uint32_t)));
    }
    const std::vector<std::string> sources = build_glsl_sources(texts.data(), record.source_count);
    std::vector<const char*> source_pointers;
    source_pointers.reserve(sources.size());
    for (const std::string& source : sources) {
        source_pointers.push_back(source.c_str());
    }
    return opengl::add_shader(program, static_cast<uint32_t>(source_pointers.size()), record.cache_key,
                              source_pointers.data(), shader_type);
}

uint32_t create_program_object() {
    return opengl::capabilities.gl_2_0 ? gl.glCreateProgram() : gl.glCreateProgramObjectARB();
}

void bind_attribute_location(uint32_t program, uint32_t index, const char* name) {
    if (opengl::capabilities.gl_2_0) {
        gl.glBindAttribLocation(program, index, name);
    } else {
        gl.glBindAttribLocationARB(program, index, name);
    }
}

void report_build_failure(uint32_t program_index, uint32_t program, const char* stage) {
    char log[opengl::program_info_log_size] = "";
    if (program != 0 && std::strcmp(stage, "link") == 0) {
        opengl::get_program_info_log(program, log);
    }
    report_message(MessageKind::Warning, __PRETTY_FUNCTION__, __FILE__, __LINE__, "GLSL program %u failed to %s: %s",
                   program_index, stage, log);
}

int32_t* allocate_locations(uint32_t count) {
    if (count > location_pool_capacity - location_pool_used) {
        ZOLT_PANIC("GLSL location pool exhausted: %u locations wanted, %u left", count,
                   location_pool_capacity - location_pool_used);
    }
    int32_t* const locations = location_pool + location_pool_used;
    location_pool_used += count;
    return locations;
}

GlslProgram* build_program(const ShaderPass& pass, GlslProgram& entry) {
    const bool has_vertex = get_vertex_setup_kind(pass.setup_kinds) == VertexSetupKind::glsl;
    const bool has_pixel = get_pixel_setup_kind(pass.setup_kinds) == PixelSetupKind::glsl;
    const uint32_t program = create_program_object();
    if (program == 0) {
        report_build_failure(pass.program_index, 0, "be created");
        entry.build_failed = true;
        return nullptr;
    }
    const char* failed_stage = nullptr;
    if (has_vertex && !compile_record(program, read_shader_record(pass.vertex_record_offset), GL_VERTEX_SHADER)) {
        failed_stage = "compile its vertex shader";
    } else if (has_pixel && !compile_record(program, read_shader_record(pass.pixel_record), GL_FRAGMENT_SHADER)) {
        failed_stage = "compile its fragment shader";
    }
    // The vertex record names the program's attributes, samplers and
    // uniforms; a pixel-only program takes them from its pixel record.
    const GlslShaderRecord record = read_shader_record(has_vertex ? pass.vertex_record_offset : pass.pixel_record);
    if (failed_stage == nullptr) {
        for (uint32_t index = 0; index < record.attribute_count; ++index) {
            const GlslNamedIndex attribute = read_named_index(record.attribute_list_offset, index);
            bind_attribute_location(program, attribute.index, read_text(attribute.name_offset));
        }
        if (!opengl::link_program(program)) {
            failed_stage = "link";
        }
    }
    if (failed_stage != nullptr) {
        report_build_failure(pass.program_index, program, failed_stage);
        opengl::delete_program(program);
        entry.build_failed = true;
        return nullptr;
    }
    entry.program = program;
    entry.drawn_since_built = false;
    // Sampler uniforms are set on the program in use.
    opengl::use_program(program);
    current_program_index = static_cast<int32_t>(pass.program_index);
    bind_glsl_uniforms(entry, record);
    return &entry;
}

}  // namespace

std::vector<std::string> build_glsl_sources(const char* const* texts, uint32_t text_count) {
    std::vector<std::string> sources;
    sources.reserve(text_count + 2);
    uint32_t first = 0;
    if (text_count > 0 && std::strncmp(texts[0], "#version", 8) == 0) {
        const char* const line_end = std::strchr(texts[0], '\n');
        if (line_end == nullptr) {
            sources.emplace_back(std::string(texts[0]) + "\n");
            first = 1;
        } else {
            sources.emplace_back(texts[0], line_end + 1);
            sources.emplace_back(get_prefix());
            sources.emplace_back(line_end + 1);
            first = 1;
        }
    }
    if (first == 0 || sources.size() == 1) {
        sources.emplace_back(get_prefix());
    }
    for (uint32_t index = first; index < text_count; ++index) {
        sources.emplace_back(texts[index]);
    }
    return sources;
}

void bind_glsl_uniforms(GlslProgram& entry, const GlslShaderRecord& record) {
    const uint32_t program = entry.program;
    for (uint32_t index = 0; index < record.sampler_count; ++index) {
        const GlslNamedIndex sampler = read_named_index(record.sampler_list_offset, index);
        const int32_t unit = static_cast<int32_t>(sampler.index);
        opengl::set_uniform_ints(opengl::get_uniform_location(program, read_text(sampler.name_offset)), 1, &unit);
    }
    for (uint32_t index = 0; index < engine_uniform_count; ++index) {
        entry.engine_locations[index] = opengl::get_uniform_location(program, engine_uniform_names[index]);
    }
    entry.block_locations[static_cast<uint32_t>(ParameterBlock::common_vertex)] =
        opengl::get_uniform_location(program, "common_vertex_parameters");
    entry.block_locations[static_cast<uint32_t>(ParameterBlock::common_pixel)] =
        opengl::get_uniform_location(program, "common_pixel_parameters");
    entry.block_locations[static_cast<uint32_t>(ParameterBlock::depth_rendering)] =
        opengl::get_uniform_location(program, "depth_rendering_parameters");
    entry.light_kind = 0;
    entry.block_locations[static_cast<uint32_t>(ParameterBlock::light_pixel)] = no_uniform_location;
    entry.block_locations[static_cast<uint32_t>(ParameterBlock::light_vertex)] = no_uniform_location;
    for (uint32_t kind = 0; kind < glsl_light_kind_count; ++kind) {
        const int32_t pixel_location = opengl::get_uniform_location(program, light_uniform_names[kind][0]);
        if (pixel_location != no_uniform_location) {
            entry.light_kind = kind + 1;
            entry.block_locations[static_cast<uint32_t>(ParameterBlock::light_pixel)] = pixel_location;
            entry.block_locations[static_cast<uint32_t>(ParameterBlock::light_vertex)] =
                opengl::get_uniform_location(program, light_uniform_names[kind][1]);
            break;
        }
    }
    const auto present = [&entry](EngineUniform uniform) {
        return entry.engine_locations[static_cast<uint32_t>(uniform)] != no_uniform_location;
    };
    entry.highest_user_vector = present(EngineUniform::user_vector_1)   ? 1
                                : present(EngineUniform::user_vector_0) ? 0
                                                                        : -1;
    entry.highest_user_floats = present(EngineUniform::user_floats_1)   ? 1
                                : present(EngineUniform::user_floats_0) ? 0
                                                                        : -1;
    entry.constant_locations = allocate_locations(record.uniform_name_count);
    entry.constant_location_count = record.uniform_name_count;
    for (uint32_t index = 0; index < record.uniform_name_count; ++index) {
        const uint32_t name_offset = read_word(record.uniform_name_list_offset + index * sizeof(uint32_t));
        entry.constant_locations[index] = opengl::get_uniform_location(program, read_text(name_offset));
    }
}

GlslProgram* get_program(const ShaderPass& pass) {
    GlslProgram& entry = programs[pass.program_index];
    if (entry.program != 0) {
        return &entry;
    }
    if (entry.build_failed) {
        return nullptr;
    }
    return build_program(pass, entry);
}

bool use_glsl_program(const ShaderPass& pass) {
    GlslProgram* const entry = get_program(pass);
    if (entry == nullptr) {
        return false;
    }
    if (current_program_index != static_cast<int32_t>(pass.program_index)) {
        opengl::use_program(entry->program);
        current_program_index = static_cast<int32_t>(pass.program_index);
    }
    return true;
}

void unbind_glsl_program() {
    if (current_program_index != no_glsl_program) {
        opengl::use_program(0);
        current_program_index = no_glsl_program;
    }
}

void forget_current_glsl_program() {
    current_program_index = no_glsl_program;
}

GlslProgram* get_current_glsl_program() {
    return current_program_index == no_glsl_program ? nullptr : &programs[current_program_index];
}

int32_t get_current_glsl_program_index() {
    return current_program_index;
}

const GlslProgram& get_glsl_program_entry(uint32_t program_index) {
    return programs[program_index];
}

void delete_glsl_programs() {
    unbind_glsl_program();
    for (GlslProgram& entry : programs) {
        if (entry.program != 0) {
            opengl::delete_program(entry.program);
        }
    }
    reset_glsl_program_cache();
}

void reset_glsl_program_cache() {
    for (GlslProgram& entry : programs) {
        entry = GlslProgram{};
    }
    location_pool_used = 0;
    current_program_index = no_glsl_program;
}

}  // namespace zolt::renderer::shader_library

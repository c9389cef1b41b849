#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_gl_state.h"

#include <cstring>

#include "libs/utility/fatal_error.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_limits.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_tags.h"

namespace zolt::renderer::shader_library {

namespace {

ShaderLibraryState library_state;
ShaderLibraryHeader library_header{};

core::ResourceObject* find_kept_resource() {
    if (core::get_handle_server_type(library_state.resource) != core::server_type::resource) {
        return nullptr;
    }
    auto* const object = static_cast<core::ResourceObject*>(core::get_object(library_state.resource));
    if (object == nullptr || object->get_info() == nullptr || object->get_info()->id != shader_library_resource_id) {
        return nullptr;
    }
    return object;
}

// Per frame: the scripts' global textures take effect and programs see the
// shader time of this frame.
void begin_library_frame() {
    commit_global_textures();
    update_shader_time();
}

}  // namespace

ShaderLibraryState& get_library_state() {
    return library_state;
}

float get_shader_time_fraction() {
    return static_cast<float>(library_state.shader_time % shader_time_cycle_ticks) /
           static_cast<float>(shader_time_cycle_ticks);
}

const ShaderLibraryHeader& get_library_header() {
    return library_header;
}

void load_resource() {
    core::ResourceObject* resource = find_kept_resource();
    if (resource == nullptr) {
        resource = core::resource_server.open_resource(shader_library_resource_id);
        library_state.resource = resource->get_handle();
    }
    install_library(static_cast<const uint8_t*>(resource->get_data()), resource->get_info()->unpacked_size);
}

void install_library(const uint8_t* data, uint32_t size) {
    ShaderLibraryFault fault;
    if (check_shader_library(data, size, &fault) != ShaderLibraryFaultKind::ok) {
        char description[256];
        describe_shader_library_fault(fault, description, sizeof description);
        ZOLT_ERROR("Invalid version of shader library resource.\n%s", description);
    }
    std::memcpy(&library_header, data, sizeof library_header);
    set_loaded_library(data, size);
    refresh_library_constants();
}

void detect_limits() {
    load_resource();
    set_shader_limits(detect_shader_limits());
    reset_gl_caches();
    install_shader_gl_hooks();
    for (uint8_t& state_byte : library_state.state_bytes) {
        state_byte = 1;
    }
    for (uint32_t& word : library_state.script_words) {
        word = 0;
    }
    rendering_command_hooks.begin_shader_library_frame = &begin_library_frame;
}

void unload() {
    issue_rendering_command(reset_shader_programs_command);
    remove_shader_gl_hooks();
    rendering_command_hooks.begin_shader_library_frame = nullptr;
    set_loaded_library(nullptr, 0);
    library_header = {};
    refresh_library_constants();
    clear_constant_tag_overrides();
    clear_user_vectors();
    get_viewport_constants() = {};
    clear_renderer_textures();
    release_global_textures();
    if (core::ResourceObject* const resource = find_kept_resource()) {
        core::resource_server.destroy_object_internal(resource);
    }
    library_state.resource = 0;
}

void reload_after_resources_moved() {
    if (get_loaded_library().data != nullptr) {
        load_resource();
    }
}

}  // namespace zolt::renderer::shader_library

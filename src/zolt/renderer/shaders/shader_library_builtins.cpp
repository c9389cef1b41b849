#include "zolt/renderer/shaders/shader_library_builtins.h"

#include "libs/utility/fatal_error.h"
#include "zolt/builtins/builtin_binding.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_tags.h"

namespace zolt::renderer::shader_library {

namespace {

using TextureHandle = core::BuiltinHandle<core::BuiltinKind::texture_handle>;

void set_shader_time(uint32_t ticks) {
    get_library_state().shader_time = ticks;
}

uint32_t get_shader_time() {
    return get_library_state().shader_time;
}

TextureHandle get_global_texture_builtin(uint32_t slot) {
    return {get_global_texture(slot)};
}

void set_global_texture_builtin(uint32_t slot, TextureHandle texture) {
    set_global_texture(slot, texture.value);
}

void reset_shader_programs() {
    issue_rendering_command(reset_shader_programs_command);
}

void set_shader_condition_flags(uint32_t flags) {
    get_library_state().global_condition_flags = flags;
}

uint32_t get_shader_condition_flags() {
    return get_library_state().global_condition_flags;
}

bool warm_up_renderer() {
    return issue_rendering_command(warm_up_command);
}

[[noreturn]] void refuse_debugging_function() {
    ZOLT_PANIC("An unsupported debugging function was called from bytecode.");
}

void set_shader_debug_flags(uint32_t) {
    refuse_debugging_function();
}

void get_shader_debug_flags() {
    refuse_debugging_function();
}

void reload_textures() {
    issue_rendering_command(reload_textures_command);
}

template <uint32_t word>
void set_shader_script_word(uint32_t value) {
    get_library_state().script_words[word] = value;
}

}  // namespace

void bind_shader_library_builtins(core::BuiltinTable& table) {
    using core::BuiltinId;
    core::bind_builtin<BuiltinId::set_shader_time, &set_shader_time>(table);
    core::bind_builtin<BuiltinId::get_shader_time, &get_shader_time>(table);
    core::bind_builtin<BuiltinId::get_global_texture, &get_global_texture_builtin>(table);
    core::bind_builtin<BuiltinId::set_global_texture, &set_global_texture_builtin>(table);
    core::bind_builtin<BuiltinId::reset_shader_programs, &reset_shader_programs>(table);
    core::bind_builtin<BuiltinId::set_shader_condition_flags, &set_shader_condition_flags>(table);
    core::bind_builtin<BuiltinId::get_shader_condition_flags, &get_shader_condition_flags>(table);
    core::bind_builtin<BuiltinId::warm_up_renderer, &warm_up_renderer>(table);
    core::bind_builtin<BuiltinId::set_shader_debug_flags, &set_shader_debug_flags>(table);
    core::bind_builtin<BuiltinId::get_shader_debug_flags, &get_shader_debug_flags>(table);
    core::bind_builtin<BuiltinId::reload_textures, &reload_textures>(table);
    core::bind_builtin<BuiltinId::set_shader_script_word_0, &set_shader_script_word<0>>(table);
    core::bind_builtin<BuiltinId::set_shader_script_word_1, &set_shader_script_word<1>>(table);
    core::bind_builtin<BuiltinId::set_shader_script_word_2, &set_shader_script_word<2>>(table);
    core::bind_builtin<BuiltinId::set_shader_script_word_3, &set_shader_script_word<3>>(table);
    core::bind_builtin<BuiltinId::reload_textures_twin, &reload_textures>(table);
}

}  // namespace zolt::renderer::shader_library

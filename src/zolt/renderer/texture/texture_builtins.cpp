#include "zolt/renderer/texture/texture_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer {

namespace {

using core::AnyHandle;

void collect_dead_textures() {
    issue_rendering_command(collect_dead_textures_command);
}

void create_resource_textures(AnyHandle owner) {
    texture_server.create_resource_textures(owner.value);
}

void set_texture_streaming(bool enabled) {
    texture_server.set_streaming_enabled(enabled);
}

bool is_texture_streaming_pending() {
    return texture_server.is_streaming_pending();
}

void abandon_texture_streaming() {
    texture_server.abandon_streaming();
}

AnyHandle set_texture_owner(AnyHandle owner) {
    return {texture_server.set_texture_owner(owner.value)};
}

AnyHandle get_texture_owner() {
    return {texture_server.get_texture_owner()};
}

uint32_t get_video_memory_budget() {
    return texture_server.get_video_memory_budget();
}

}  // namespace

void bind_texture_builtins(core::BuiltinTable& table) {
    core::bind_builtin<core::BuiltinId::collect_dead_textures, &collect_dead_textures>(table);
    core::bind_builtin<core::BuiltinId::create_resource_textures, &create_resource_textures>(table);
    core::bind_builtin<core::BuiltinId::set_texture_streaming, &set_texture_streaming>(table);
    core::bind_builtin<core::BuiltinId::is_texture_streaming_pending, &is_texture_streaming_pending>(table);
    core::bind_builtin<core::BuiltinId::abandon_texture_streaming, &abandon_texture_streaming>(table);
    core::bind_builtin<core::BuiltinId::set_texture_owner, &set_texture_owner>(table);
    core::bind_builtin<core::BuiltinId::get_texture_owner, &get_texture_owner>(table);
    core::bind_builtin<core::BuiltinId::get_video_memory_budget, &get_video_memory_budget>(table);
}

}  // namespace zolt::renderer

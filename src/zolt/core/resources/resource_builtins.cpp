#include "zolt/core/resources/resource_builtins.h"

#include "libs/io/pack_format.h"
#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/resources/language.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/backend/rendering_command.h"

namespace zolt::core {

namespace {

void set_current_language(uint32_t language) {
    current_language = language;
}

uint32_t get_current_language() {
    return current_language;
}

uint32_t get_engine_version() {
    return io::pack_engine_version;
}

}  // namespace

void mark_resource_packs(uint32_t value, uint32_t mask) {
    resource_server.get_loader().mark_packs(mask, value);
}

void unmark_resource_packs(uint32_t value, uint32_t mask) {
    resource_server.get_loader().unmark_packs(mask, value);
}

bool apply_resource_marks(bool wait) {
    // Dead render objects may still hold resources.
    run_rendering_command(renderer::free_all_dead_objects_command);
    ResourceLoader& loader = resource_server.get_loader();
    if (wait) {
        loader.load_marked_packs();
        return true;
    }
    return loader.load_marked_packs_step();
}

bool find_resource(uint32_t id) {
    return resource_server.get_loader().find_resource(id) != nullptr;
}

bool is_resource_loaded(uint32_t id) {
    const ResourceInfo* const info = resource_server.get_loader().find_resource(id);
    return info != nullptr && info->has_state(resource_state::in_memory | resource_state::open);
}

void bind_resource_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::set_current_language, &set_current_language>(table);
    bind_builtin<BuiltinId::get_current_language, &get_current_language>(table);
    bind_builtin<BuiltinId::mark_resources, &mark_resource_packs>(table);
    bind_builtin<BuiltinId::unmark_resources, &unmark_resource_packs>(table);
    bind_builtin<BuiltinId::apply_resource_marks, &apply_resource_marks>(table);
    bind_builtin<BuiltinId::find_resource, &find_resource>(table);
    bind_builtin<BuiltinId::is_resource_loaded, &is_resource_loaded>(table);
    bind_builtin<BuiltinId::get_engine_version, &get_engine_version>(table);
}

}  // namespace zolt::core

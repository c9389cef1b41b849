#include "zolt/builtins/resource_builtins.h"

#include "zolt/core/resources/resource_server.h"
#include "zolt/core/object_server/server_base.h"

namespace zolt::core {
namespace {

// Rendering command 10: dead render objects may still hold resources.
constexpr uint32_t release_dead_render_objects_command = 10;

}  // namespace

void mark_resources(uint32_t mask, uint32_t value) {
    resource_server.get_loader().mark_packs(mask, value);
}

void unmark_resources(uint32_t mask, uint32_t value) {
    resource_server.get_loader().unmark_packs(mask, value);
}

uint32_t apply_resource_marks(uint32_t wait) {
    run_rendering_command(release_dead_render_objects_command);
    ResourceLoader& loader = resource_server.get_loader();
    if (wait != 0) {
        loader.load_marked_packs();
        return 1;
    }
    return loader.load_marked_packs_step() ? 1 : 0;
}

uint32_t find_resource(uint32_t id) {
    return resource_server.get_loader().find_resource(id) != nullptr ? 1 : 0;
}

uint32_t is_resource_loaded(uint32_t id) {
    const ResourceInfo* const info = resource_server.get_loader().find_resource(id);
    return info != nullptr && info->has_state(resource_state::in_memory | resource_state::open) ? 1 : 0;
}

}  // namespace zolt::core

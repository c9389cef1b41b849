#include "zolt/renderer/debug_draw/debug_draw_server.h"

#include "zolt/core/object_server/stream_words.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/debug_draw/debug_draw_primitives.h"
#include "zolt/renderer/debug_draw/debug_draw_world_outlines.h"

namespace zolt::renderer {

DebugDrawServer debug_draw_server;
DebugDrawHooks debug_draw_hooks;

void DebugDrawServer::register_server() {
    PooledServer::register_server();
    mask_ = 0;
    frame_object_count_ = 0;
    render_view_hooks.render_debug_draw = [] { debug_draw_server.render(); };
}

void DebugDrawServer::unregister_server() {
    render_view_hooks.render_debug_draw = nullptr;
    PooledServer::unregister_server();
    frame_object_count_ = 0;
}

void DebugDrawServer::save(storage::SaveStream& stream) {
    PooledServer::save(stream);
    core::write_u32(stream, mask_);
}

bool DebugDrawServer::load(storage::LoadStream& stream) {
    return PooledServer::load(stream) && core::read_u32(stream, mask_);
}

void DebugDrawServer::render() {
    PhysicsDebugGeometry physics;
    const bool has_physics =
        debug_draw_hooks.get_physics_debug_geometry != nullptr && debug_draw_hooks.get_physics_debug_geometry(&physics);
    const bool has_objects = !get_live_list().is_empty() && mask_ != 0;
    const bool has_outlines = has_world_outlines(mask_);
    if (!has_physics && !has_objects && !has_outlines) {
        return;
    }
    DebugDrawState state;
    state.begin();
    if (has_physics) {
        state.draw_physics_geometry(physics);
    }
    if (has_outlines) {
        draw_world_outlines(state, mask_);
    }
    if (has_objects) {
        const core::ServerObject* const head = get_live_list().get_head();
        const core::ServerObject* object = head;
        do {
            const auto* const primitive = static_cast<const DebugDrawObject*>(object);
            if ((primitive->get_settings().mask & mask_) != 0) {
                state.draw_object(*primitive);
            }
            object = core::ObjectList::get_next(object);
        } while (object != head);
    }
    state.end();
}

void DebugDrawServer::destroy_frame_objects() {
    for (uint32_t index = 0; index < frame_object_count_; ++index) {
        if (core::ServerObject* const object = get_object_internal(frame_objects_[index])) {
            core::destroy_object(object);
        }
    }
    frame_object_count_ = 0;
}

}  // namespace zolt::renderer

#include "zolt/renderer/batcher/batcher.h"

#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/batcher/lighting_warm_up.h"
#include "zolt/renderer/batcher/quad_batcher.h"
#include "zolt/renderer/batcher/render_layer.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/batcher/render_request.h"
#include "zolt/renderer/batcher/screen_copies.h"
#include "zolt/renderer/batcher/stream_pool.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/materials/material_warm_up.h"

namespace zolt::renderer {

namespace {

LayerActivity activity;

}  // namespace

const LayerActivity& get_layer_activity() {
    return activity;
}

void set_active_render_layers(uint32_t mask) {
    activity.active_layers = 0;
    activity.active_slots = 0;
    for (uint32_t index = 0; index < render_layer_count; ++index) {
        RenderLayer* const layer = get_render_layer(index);
        if (layer != nullptr && (mask >> index & 1) != 0) {
            activity.active_layers |= 1u << index;
            activity.active_slots |= layer->pass_slot_mask;
        }
    }
}

void clear_accepted_render_layers() {
    activity.accepted_layers = 0;
}

void queue_render_request(const RenderInfo& info, const Stream* const* streams, uint16_t stream_word,
                          Material* material, uint16_t first_index, uint16_t index_count) {
    const uint32_t layers = activity.active_layers & ~info.skipped_layers;
    for (uint32_t index = 0; index < render_layer_count; ++index) {
        if ((layers >> index & 1) == 0) {
            continue;
        }
        RenderLayer* const layer = get_render_layer(index);
        if ((layer->pass_slot_mask & material->pass_mask) == 0) {
            continue;
        }
        if (layer->queue_request(index, info, streams, stream_word, material, first_index, index_count)) {
            activity.accepted_layers |= 1u << index;
        }
    }
}

void install_batcher_rendering_steps() {
    RenderingCommandHooks& hooks = rendering_command_hooks;
    hooks.initialize_batcher = &initialize_batcher_pools;
    hooks.create_screen_copies = &create_screen_copies;
    hooks.initialize_render_layers = &initialize_render_layers;
    hooks.update_render_layers = &update_render_layers;
    hooks.warm_up_render_layers = &warm_up_render_layers;
    hooks.take_screen_copy_references = &take_screen_copies;
    hooks.clear_screen_copy_references = &clear_screen_copies;
    set_warm_up_lighting(&warm_up_lighting);
    hooks.shut_down_renderer = [] {
        release_batcher_pools();
        release_all_streams();
    };
}

void remove_batcher_rendering_steps() {
    RenderingCommandHooks& hooks = rendering_command_hooks;
    hooks.initialize_batcher = nullptr;
    hooks.create_screen_copies = nullptr;
    hooks.initialize_render_layers = nullptr;
    hooks.update_render_layers = nullptr;
    hooks.warm_up_render_layers = nullptr;
    hooks.take_screen_copy_references = nullptr;
    hooks.clear_screen_copy_references = nullptr;
    hooks.shut_down_renderer = nullptr;
    set_warm_up_lighting(nullptr);
}

}  // namespace zolt::renderer

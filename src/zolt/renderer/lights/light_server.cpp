#include "zolt/renderer/lights/light_server.h"

#include "zolt/renderer/lights/light_source_binding.h"

#include <cmath>
#include <initializer_list>

#include "zolt/core/object_server/stream_words.h"
#include "zolt/renderer/fake_shadows/fake_shadow_view.h"
#include "zolt/renderer/fake_shadows/fake_shadow_visuals.h"
#include "zolt/renderer/lights/light_selection.h"
#include "zolt/renderer/view/view_hooks.h"

namespace zolt::renderer {

LightServer light_server;

namespace {

// The view's lights, the fake shadows it admits, then the shadow maps.
void prepare_view_lights_and_shadows(VisibilityContext& context) {
    collect_view_lights(context);
    prepare_view_fake_shadows(context, light_server.get_shadow_maps().atlas);
    render_view_shadows(light_server.get_shadow_maps(), context);
}

}  // namespace

void GlobalLightSettings::recompute_on() {
    on = colour.x * intensity > 0 || colour.y * intensity > 0 || colour.z * intensity > 0 ? 1 : 0;
}

uint32_t LightServer::get_slot_index(const Light& light) const {
    // By address: a destroyed light's handle already names its next use.
    return static_cast<uint32_t>(&light - &const_cast<LightServer*>(this)->get_slot(0));
}

Light* LightServer::create_light() {
    return static_cast<Light*>(create_object_internal(0));
}

void LightServer::register_server() {
    PooledServer::register_server();
    global_ = GlobalLightSettings{};
    global_render_ = GlobalLightRender{};
    changed_head_ = nullptr;
    for (LightRender& render : renders_) {
        render = LightRender{};
    }
    view_hooks.prepare_lights_and_shadows = &prepare_view_lights_and_shadows;
    install_light_source();
    set_up_shadow_maps(shadow_maps_);
}

void LightServer::unregister_server() {
    remove_light_source();
    end_shadow_frame(shadow_maps_);
    if (view_hooks.prepare_lights_and_shadows == &prepare_view_lights_and_shadows) {
        view_hooks.prepare_lights_and_shadows = nullptr;
    }
    global_render_.object = nullptr;
    PooledServer::unregister_server();
    changed_head_ = nullptr;
    for (uint32_t slot = 0; slot < light_capacity; ++slot) {
        Light& light = get_slot(slot);
        light.next_changed = light.previous_changed = &light;
        light.state = light_state::released;
        renders_[slot] = LightRender{};
    }
}

void LightServer::link_changed(Light& light) {
    if (light.next_changed != &light || changed_head_ == &light) {
        return;
    }
    if (changed_head_ == nullptr) {
        changed_head_ = &light;
        return;
    }
    Light* const tail = changed_head_->previous_changed;
    light.previous_changed = tail;
    light.next_changed = changed_head_;
    tail->next_changed = &light;
    changed_head_->previous_changed = &light;
}

void LightServer::unlink_changed(Light& light) {
    if (light.next_changed == &light) {
        if (changed_head_ == &light) {
            changed_head_ = nullptr;
        }
        return;
    }
    if (changed_head_ == &light) {
        changed_head_ = light.next_changed;
    }
    light.previous_changed->next_changed = light.next_changed;
    light.next_changed->previous_changed = light.previous_changed;
    light.next_changed = light.previous_changed = &light;
}

void LightServer::object_created(core::ServerObject* object) {
    static_cast<Light*>(object)->state = light_state::live;
}

void LightServer::object_loaded(core::ServerObject* object) {
    static_cast<Light*>(object)->state = light_state::live;
}

void LightServer::object_destroyed(core::ServerObject* object) {
    auto* const light = static_cast<Light*>(object);
    light->state = light_state::destroyed;
    link_changed(*light);
}

void LightServer::object_released(core::ServerObject* object) {
    auto* const light = static_cast<Light*>(object);
    get_render(*light).projected_object = nullptr;
    unlink_changed(*light);
    light->state = light_state::released;
}

void LightServer::update() {
    // The last frame's tiles all come back before this frame's views.
    end_shadow_frame(shadow_maps_);
    global_render_.direction = global_.direction;
    global_render_.colour = global_.colour;
    global_render_.intensity = global_.intensity;
    global_render_.on = global_.on;
    global_render_.shadow_strength = global_.shadow_strength;
    global_render_.vector_a = global_.vector_a;
    global_render_.vector_b = global_.vector_b;
    // Held objects are looked up again each frame: a destroyed one is none.
    global_render_.object = core::resolve_handle(global_.object);
    global_render_.fake_shadow_time_step = global_.fake_shadow_time_step;
    for (uint32_t slot = 0; slot < light_capacity; ++slot) {
        const Light& light = get_slot(slot);
        if (light.state == light_state::live && renders_[slot].projected_object != nullptr) {
            renders_[slot].projected_object = core::resolve_handle(light.projected_object);
        }
    }
    // Before the viewports: every fake shadow turns towards this frame's lights.
    begin_fake_shadow_frame();
    if (changed_head_ == nullptr) {
        return;
    }
    // Lights changed during the walk wait for the next frame.
    Light* const last = changed_head_->previous_changed;
    for (bool done = false; !done && changed_head_ != nullptr;) {
        Light& light = *changed_head_;
        done = &light == last;
        if (light.state != light_state::destroyed) {
            light.sync_render(get_render(light));
        }
        unlink_changed(light);
    }
}

void LightServer::write_global_block(storage::SaveStream& stream) const {
    const auto vector = [&](const geometry::Vector4& value) {
        for (const float lane : {value.x, value.y, value.z, value.w}) {
            core::write_f32(stream, lane);
        }
    };
    vector(global_.direction);
    vector(global_.colour);
    core::write_f32(stream, global_.intensity);
    const uint8_t on_word[4] = {global_.on, 0, 0, 0};
    core::write_bytes(stream, on_word, sizeof on_word);
    core::write_f32(stream, global_.shadow_strength);
    core::write_u32(stream, 0);
    vector(global_.vector_a);
    vector(global_.vector_b);
    core::write_u32(stream, global_.object);
    core::write_u32(stream, global_.fake_shadow_time_step);
}

bool LightServer::read_global_block(storage::LoadStream& stream) {
    GlobalLightSettings read;
    const auto vector = [&](geometry::Vector4& value) {
        return core::read_f32(stream, value.x) && core::read_f32(stream, value.y) &&
               core::read_f32(stream, value.z) && core::read_f32(stream, value.w);
    };
    uint8_t on_word[4] = {};
    uint32_t padding = 0;
    if (!vector(read.direction) || !vector(read.colour) || !core::read_f32(stream, read.intensity) ||
        !core::read_bytes(stream, on_word, sizeof on_word) || !core::read_f32(stream, read.shadow_strength) ||
        !core::read_u32(stream, padding) || !vector(read.vector_a) || !vector(read.vector_b) ||
        !core::read_u32(stream, read.object) || !core::read_u32(stream, read.fake_shadow_time_step)) {
        return false;
    }
    read.on = on_word[0] != 0 ? 1 : 0;
    if (core::resolve_handle(read.object) == nullptr) {
        read.object = 0;
    }
    global_ = read;
    return true;
}

void LightServer::save(storage::SaveStream& stream) {
    PooledServer::save(stream);
    write_global_block(stream);
}

bool LightServer::load(storage::LoadStream& stream) {
    return PooledServer::load(stream) && read_global_block(stream);
}

}  // namespace zolt::renderer

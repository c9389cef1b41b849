#pragma once
// The light server (type 27): the 255 lights, their render records (same
// index), the global light's settings and its render-side copy. Lights that
// changed wait in a ring and reach their records in the per-frame update,
// so a frame reads one snapshot. Light instances (server 28) hang on the
// instance hook. Main thread (the rendering thread is the main thread).
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/renderer/fake_shadows/fake_shadow.h"
#include "zolt/renderer/fake_shadows/fake_shadow_settings.h"
#include "zolt/renderer/lights/light.h"
#include "zolt/renderer/lights/light_render.h"
#include "zolt/renderer/shadows/shadow_passes.h"

namespace zolt::renderer {

// What a light asks of its instances.
enum class LightInstanceEvent : uint8_t { attach, detach, relight, destroy };
using LightInstanceHook = void (*)(Light& light, LightInstanceEvent event);

// The script-side global light; saved as one 80-byte block.
struct GlobalLightSettings {
    geometry::Vector4 direction{0.57735f, 0.57735f, -0.57735f, 0};
    geometry::Vector4 colour{1, 1, 1, 1};
    float intensity = 1.0f;
    uint8_t on = 1;
    float shadow_strength = 0.5f;
    geometry::Vector4 vector_a{0, 0, 1, 1};
    geometry::Vector4 vector_b{0, 0, 1, 1};
    core::ObjectHandle object = 0;
    uint32_t fake_shadow_time_step = 0;

    // On while colour x intensity has a positive channel.
    void recompute_on();
};

constexpr uint32_t global_light_block_size = 80;

class LightServer final : public core::PooledServer<Light, light_capacity> {
public:
    LightServer() : PooledServer(light_server_type) {}

    const char* get_name() const override { return "LightServer"; }
    void register_server() override;
    void unregister_server() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    void object_created(core::ServerObject* object) override;
    void object_loaded(core::ServerObject* object) override;
    void object_destroyed(core::ServerObject* object) override;
    // Destroyed lights stay in the changed ring until the render side saw them.
    bool is_object_in_use(core::ServerObject* object, bool on_rendering_thread) override {
        return !on_rendering_thread;
    }
    void object_released(core::ServerObject* object) override;
    // Rendering thread: the global light and every changed light reach
    // their render-side copies.
    void update() override;
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    Light* create_light();
    Light* find_light(core::ObjectHandle handle) { return is_registered() ? get_typed_object(handle) : nullptr; }
    uint32_t get_slot_index(const Light& light) const;
    LightRender& get_render(const Light& light) { return renders_[get_slot_index(light)]; }
    LightRender& get_render_slot(uint32_t slot) { return renders_[slot]; }
    void link_changed(Light& light);
    void unlink_changed(Light& light);
    bool is_changed_ring_empty() const { return changed_head_ == nullptr; }

    // The frame's shadow maps and the tiles the lights hold in them.
    ShadowMapSet& get_shadow_maps() { return shadow_maps_; }
    GlobalLightSettings& get_global_light() { return global_; }
    const GlobalLightRender& get_global_light_render() const { return global_render_; }

    // Light instances (server 28) answer this; null: the light has none.
    LightInstanceHook light_instances_hook = nullptr;

    // The visuals' fake-shadow settings blocks and the records drawn from them.
    FakeShadowSettingsPool fake_shadow_settings;
    FakeShadowRecords fake_shadows;

private:
    void write_global_block(storage::SaveStream& stream) const;
    bool read_global_block(storage::LoadStream& stream);

    LightRender renders_[light_capacity];
    GlobalLightSettings global_;
    GlobalLightRender global_render_;
    Light* changed_head_ = nullptr;
    ShadowMapSet shadow_maps_;
};

extern LightServer light_server;

}  // namespace zolt::renderer

#pragma once
// Light instances (server type 28, 500 of them): each ties one light to one
// sector it reaches. While its light is on, an instance's render record sits
// in one of the sector render record's six light lists (static or dynamic
// set, by light type), which is how the renderer finds the lights of a
// visible sector. Records are relinked in the server's per-frame update.
// Main thread.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/renderer/lights/light.h"

namespace zolt::servers {
struct SectorRender;
}

namespace zolt::renderer {

constexpr uint32_t light_instance_server_type = 28;
constexpr uint32_t light_instance_capacity = 500;

namespace light_instance_property {
constexpr uint32_t instance_mask = 0x3000012, light = 0x10000E6, sector = 0x10000E7;
}  // namespace light_instance_property

struct LightInstanceRender {
    LightRender* light = nullptr;
    // Null while not linked into a sector's lists.
    servers::SectorRender* sector = nullptr;
    uint8_t static_set = 0;
    uint8_t list_index = 0;
    uint32_t instance_mask = 0;
    LightInstanceRender* next = nullptr;
    LightInstanceRender* previous = nullptr;
};

class LightInstance final : public core::ServerObject {
public:
    // The argument is the handle of a live light.
    void initialize(uint32_t light_handle) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;

    void set_active(uint8_t value);
    // Marks the visuals of the instance's sector for relighting.
    void relight();
    bool set_sector(core::ObjectHandle sector_handle);

    uint32_t state = light_state::released;
    LightInstance* next_changed = this;
    LightInstance* previous_changed = this;
    uint8_t active = 0;
    // Null for an instance whose creation was refused.
    Light* light = nullptr;
    core::ObjectHandle sector = 0;
    uint32_t instance_mask = 0xFFFFFFFF;
    // The light's ring of instances.
    LightInstance* next_of_light = this;
    LightInstance* previous_of_light = this;

private:
    void attach_to_light(Light& owner);
    void detach_from_light();
};

// Marks the visuals of a sector for relighting; the visual code answers it.
using SectorRelightHook = void (*)(core::ObjectHandle sector, const Light& light);

class LightInstanceServer final : public core::PooledServer<LightInstance, light_instance_capacity> {
public:
    LightInstanceServer() : PooledServer(light_instance_server_type) {}

    const char* get_name() const override { return "LightInstanceServer"; }
    void register_server() override;
    void unregister_server() override;
    void object_created(core::ServerObject* object) override;
    void object_loaded(core::ServerObject* object) override;
    void object_destroyed(core::ServerObject* object) override;
    bool is_object_in_use(core::ServerObject* object, bool on_rendering_thread) override {
        return !on_rendering_thread;
    }
    void object_released(core::ServerObject* object) override;
    // Rendering thread: every changed instance's record is relinked.
    void update() override;
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    // Null when the handle names no live light.
    LightInstance* create_instance(core::ObjectHandle light);
    LightInstance* find_instance(core::ObjectHandle handle) {
        return is_registered() ? get_typed_object(handle) : nullptr;
    }
    uint32_t get_slot_index(const LightInstance& instance) const;
    LightInstanceRender& get_render(const LightInstance& instance) { return renders_[get_slot_index(instance)]; }
    void link_changed(LightInstance& instance);
    void unlink_changed(LightInstance& instance);
    void unlink_render(LightInstanceRender& record);
    // Unlinks every record still linked to a sector record about to be cleared.
    void forget_sector_render(servers::SectorRender& record);

    SectorRelightHook relight_hook = nullptr;

private:
    LightInstanceRender renders_[light_instance_capacity];
    LightInstance* changed_head_ = nullptr;
};

extern LightInstanceServer light_instance_server;

}  // namespace zolt::renderer

#pragma once
// A light placed by scripts (server type 27, 255 of them): a spot,
// directional or point light with colour, intensity, range, cone, distance
// fades, masks and shadow settings, optionally following a placement.
// Setters only raise change flags; the server copies the light into its
// render record once per frame. Main thread only.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/lights/light_render.h"

namespace zolt::renderer {

class LightInstance;

namespace light_state {
constexpr uint32_t released = 0, live = 1, destroyed = 2;
}  // namespace light_state

namespace light_property {
constexpr uint32_t placement = 0x100000A, position = 0x3000000B, direction = 0x3000000D, light_mask = 0x3000012,
                   shadow_mask = 0x3000013, fake_shadow_strength = 0x5000016, type = 0x3000021, on = 0x300005B,
                   priority = 0x3000076, casts_fake_shadows = 0x30000C8, colour = 0x300000D9,
                   intensity = 0x50000DA, range = 0x50000DB, light_fade_start = 0x50000DC,
                   light_fade_length = 0x50000DD, shadow_fade_start = 0x50000DE, shadow_fade_length = 0x50000DF,
                   cone = 0x50000E0, sector_list = 0x30000E1, parameter_226 = 0x50000E2,
                   projected_object = 0x10000E3, shadow_map_resolution = 0x30000E4, casts_shadows = 0x30000E5,
                   dynamic = 0x300013F;
}  // namespace light_property

constexpr float light_cone_limit = 0.5f;
constexpr uint32_t no_sector_list = 0xFFFFFFFF;

// Turns +Y onto the direction with no roll.
geometry::Quaternion get_rotation_towards(const geometry::Vector3& direction);

class Light final : public core::ServerObject {
public:
    void initialize(uint32_t argument) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    void placement_changed() override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;
    bool remove_property(uint32_t id) override;

    // Position, rotation and direction from the placement when it moved.
    void update_from_placement();
    // Marks the visuals of the light's sectors for relighting; nothing for a
    // dynamic light.
    void relight();
    void raise_parameters_changed();
    void raise_geometry_changed();

    // Copies what changed into the render record and clears the flags.
    void sync_render(LightRender& render);
    void reset_render(LightRender& render) const;

    uint32_t state = light_state::released;
    // Changed-ring links; a light outside the ring points to itself.
    Light* next_changed = this;
    Light* previous_changed = this;
    uint8_t dynamic = 0;
    uint8_t on = 0;
    uint8_t type = static_cast<uint8_t>(LightType::point);
    uint32_t light_mask = 0xFFFFFFFF;
    uint32_t priority = 0;
    uint32_t sector_list = no_sector_list;
    core::ObjectHandle placement = 0;
    uint8_t placement_dirty = 0;
    geometry::Vector3 position;
    geometry::Quaternion rotation;
    geometry::Vector3 direction{0, 1, 0};
    geometry::Vector4 colour{1, 1, 1, 1};
    float intensity = 1.0f;
    float range = 1000.0f;
    float cone = 0.25f;
    float light_fade_start = 0;
    float light_fade_length = 1.0f;
    float shadow_fade_start = 0;
    float shadow_fade_length = 1.0f;
    uint8_t casts_shadows = 1;
    uint32_t shadow_mask = 0xFFFFFFFF;
    float parameter_226 = 63.0f;
    uint32_t shadow_map_resolution = 2048;
    uint8_t casts_fake_shadows = 0;
    float fake_shadow_strength = 0.5f;
    core::ObjectHandle projected_object = 0;
    core::ObjectHandle dictionary = 0;
    // The ring of the light's instances, one per sector it reaches.
    LightInstance* first_instance = nullptr;
    uint8_t geometry_changed = 0;
    uint8_t parameters_changed = 0;

private:
    bool set_placement(core::ObjectHandle handle);
    bool set_position(const geometry::Vector3& value);
    bool set_direction(const geometry::Vector3& value);
    void set_on(uint8_t value);
    void set_dynamic(uint8_t value);
};

}  // namespace zolt::renderer

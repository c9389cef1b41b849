#pragma once
// A visual's fake-shadow settings, their 40-byte saved form and the light
// server's pool of 200 blocks. A visual names its block by a 1-based index
// (0: none), so nothing holds a pointer into the pool across frames. Main
// thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"

namespace zolt::renderer {

constexpr uint32_t fake_shadow_settings_save_size = 40;
constexpr uint32_t fake_shadow_settings_capacity = 200;
// Ten ordering classes.
constexpr uint16_t fake_shadow_priority_limit = 9;

struct FakeShadowSettings {
    uint16_t priority = 0;
    // Wanted tile side in texels; 0 disables the shadow.
    uint16_t resolution = 256;
    float volume_extension = 0;
    float parameter_4 = 0;
    float parameter_5 = 0.003f;
    // 0 or less disables the shadow.
    float strength = 0.5f;
    float fade_start = 1000;
    float fade_length = 20;
    // Largest change of the direction vector per second.
    float turn_speed = 10;
    float colour_speed = 1;
    float darkness_speed = 1;
};

// The float fields in saved order, for the visual's numbered properties.
constexpr uint32_t fake_shadow_settings_float_count = 9;
float* get_fake_shadow_settings_float(FakeShadowSettings& settings, uint32_t ordinal);
// The visual's properties 203 to 210 name these floats but the strength,
// which has a property of its own: the saved ordinal of property 203 + n.
constexpr uint32_t get_fake_shadow_property_ordinal(uint32_t offset) {
    return offset < 3 ? offset : offset + 1;
}

// What a visual's setter accepts; a loaded block is held to the same rules.
bool is_valid_fake_shadow_float(uint32_t ordinal, float value);
bool is_valid_fake_shadow_strength(float value);

void encode_fake_shadow_settings(const FakeShadowSettings& settings, uint8_t (&bytes)[fake_shadow_settings_save_size]);
// False, leaving the settings as they were, for a block no setter could have
// made (a priority above 9, a NaN, a negative speed, ...).
bool decode_fake_shadow_settings(const uint8_t (&bytes)[fake_shadow_settings_save_size], FakeShadowSettings& settings);

class FakeShadowSettingsPool {
public:
    FakeShadowSettingsPool() { clear(); }

    // A block with the defaults, owned by the visual; 0 when all are taken.
    uint16_t allocate(core::ObjectHandle owner);
    void release(uint16_t index);
    // Null for 0, a stale or an out-of-range index.
    FakeShadowSettings* get(uint16_t index);
    core::ObjectHandle get_owner(uint16_t index) const;
    uint32_t get_used_count() const { return used_; }
    void clear();

private:
    struct Entry {
        FakeShadowSettings settings;
        core::ObjectHandle owner = 0;
        uint16_t next_free = 0;
        uint8_t used = 0;
    };

    Entry entries_[fake_shadow_settings_capacity];
    // 1-based; 0 ends the list.
    uint16_t first_free_ = 0;
    uint32_t used_ = 0;
};

}  // namespace zolt::renderer

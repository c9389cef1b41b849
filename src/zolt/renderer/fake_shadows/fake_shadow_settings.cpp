#include "zolt/renderer/fake_shadows/fake_shadow_settings.h"

#include <cmath>
#include <cstring>

namespace zolt::renderer {

namespace {

// Ordinal of parameter 4, the only float a setter takes whatever its sign.
constexpr uint32_t parameter_4_ordinal = 1;

void put_u16(uint8_t* out, uint16_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void put_f32(uint8_t* out, float value) {
    uint32_t word = 0;
    std::memcpy(&word, &value, sizeof word);
    for (uint32_t byte = 0; byte < 4; ++byte) {
        out[byte] = static_cast<uint8_t>(word >> (8 * byte));
    }
}

uint16_t get_u16(const uint8_t* in) {
    return static_cast<uint16_t>(in[0] | in[1] << 8);
}

float get_f32(const uint8_t* in) {
    const uint32_t word = static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
                          static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
    float value = 0;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

}  // namespace

float* get_fake_shadow_settings_float(FakeShadowSettings& settings, uint32_t ordinal) {
    float* const fields[fake_shadow_settings_float_count] = {
        &settings.volume_extension, &settings.parameter_4,  &settings.parameter_5,
        &settings.strength,         &settings.fade_start,   &settings.fade_length,
        &settings.turn_speed,       &settings.colour_speed, &settings.darkness_speed};
    return ordinal < fake_shadow_settings_float_count ? fields[ordinal] : nullptr;
}

bool is_valid_fake_shadow_float(uint32_t ordinal, float value) {
    if (ordinal == parameter_4_ordinal) {
        return !std::isnan(value);
    }
    return value >= 0.0f && std::isfinite(value);
}

bool is_valid_fake_shadow_strength(float value) {
    return value >= 0.0f && value <= 1.0f;
}

void encode_fake_shadow_settings(const FakeShadowSettings& settings, uint8_t (&bytes)[fake_shadow_settings_save_size]) {
    put_u16(bytes, settings.priority);
    put_u16(bytes + 2, settings.resolution);
    FakeShadowSettings copy = settings;
    for (uint32_t ordinal = 0; ordinal < fake_shadow_settings_float_count; ++ordinal) {
        put_f32(bytes + 4 + 4 * ordinal, *get_fake_shadow_settings_float(copy, ordinal));
    }
}

bool decode_fake_shadow_settings(const uint8_t (&bytes)[fake_shadow_settings_save_size], FakeShadowSettings& settings) {
    FakeShadowSettings read;
    read.priority = get_u16(bytes);
    read.resolution = get_u16(bytes + 2);
    if (read.priority > fake_shadow_priority_limit) {
        return false;
    }
    for (uint32_t ordinal = 0; ordinal < fake_shadow_settings_float_count; ++ordinal) {
        float* const field = get_fake_shadow_settings_float(read, ordinal);
        *field = get_f32(bytes + 4 + 4 * ordinal);
        if (!is_valid_fake_shadow_float(ordinal, *field)) {
            return false;
        }
    }
    if (!is_valid_fake_shadow_strength(read.strength)) {
        return false;
    }
    settings = read;
    return true;
}

uint16_t FakeShadowSettingsPool::allocate(core::ObjectHandle owner) {
    if (first_free_ == 0) {
        return 0;
    }
    const uint16_t index = first_free_;
    Entry& entry = entries_[index - 1];
    first_free_ = entry.next_free;
    entry = Entry{};
    entry.owner = owner;
    entry.used = 1;
    ++used_;
    return index;
}

void FakeShadowSettingsPool::release(uint16_t index) {
    if (get(index) == nullptr) {
        return;
    }
    Entry& entry = entries_[index - 1];
    entry.used = 0;
    entry.owner = 0;
    entry.next_free = first_free_;
    first_free_ = index;
    --used_;
}

FakeShadowSettings* FakeShadowSettingsPool::get(uint16_t index) {
    if (index == 0 || index > fake_shadow_settings_capacity || entries_[index - 1].used == 0) {
        return nullptr;
    }
    return &entries_[index - 1].settings;
}

core::ObjectHandle FakeShadowSettingsPool::get_owner(uint16_t index) const {
    if (index == 0 || index > fake_shadow_settings_capacity || entries_[index - 1].used == 0) {
        return 0;
    }
    return entries_[index - 1].owner;
}

void FakeShadowSettingsPool::clear() {
    for (uint32_t slot = 0; slot < fake_shadow_settings_capacity; ++slot) {
        entries_[slot] = Entry{};
        entries_[slot].next_free = slot + 1 < fake_shadow_settings_capacity ? static_cast<uint16_t>(slot + 2) : 0;
    }
    first_free_ = 1;
    used_ = 0;
}

}  // namespace zolt::renderer

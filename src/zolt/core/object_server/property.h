#pragma once
// A typed property value. A property id's top byte is its value type; bits
// 28-30 read alone give the number of float components; the low bits are the
// key. Getters accept the typed id or the bare key (below 0x1000000).
#include <cstdint>
#include <cstring>

namespace zolt::core {

namespace property_type {
constexpr uint32_t none = 0x00, object_link = 0x01, code_reference = 0x02, unsigned_integer = 0x03,
                   signed_integer = 0x04, floating = 0x05, vector2 = 0x20, vector3 = 0x30, vector4 = 0x40,
                   quaternion = 0x41, vector4_other = 0x42;
}  // namespace property_type

constexpr uint32_t get_property_value_type(uint32_t id) {
    return id >> 24;
}

constexpr uint32_t get_property_component_count(uint32_t id) {
    return (id >> 28) & 7u;
}

constexpr bool is_bare_property_key(uint32_t id) {
    return id < 0x1000000u;
}

constexpr uint32_t make_property_id(uint32_t value_type, uint32_t key) {
    return value_type << 24 | key;
}

struct Vector4 {
    float x, y, z, w;
};

struct Property {
    uint32_t id = 0;
    alignas(16) uint32_t value[4] = {0, 0, 0, 0};

    uint32_t get_u32() const { return value[0]; }
    int32_t get_s32() const { return static_cast<int32_t>(value[0]); }
    float get_float(int lane = 0) const {
        float result;
        std::memcpy(&result, &value[lane], sizeof result);
        return result;
    }
    Vector4 get_vector() const {
        Vector4 result;
        std::memcpy(&result, value, sizeof result);
        return result;
    }
    void set_u32(uint32_t type_word, uint32_t word) {
        id = type_word;
        value[0] = word;
        value[1] = value[2] = value[3] = 0;
    }
    void set_float(uint32_t type_word, float number) {
        set_u32(type_word, 0);
        std::memcpy(&value[0], &number, sizeof number);
    }
    void set_floats(uint32_t type_word, const float* numbers, uint32_t count) {
        set_u32(type_word, 0);
        std::memcpy(value, numbers, count * sizeof(float));
    }

    // Same id and equal value lanes for the id's type; a float lane holding
    // a value that is not a number is never equal.
    bool operator==(const Property& other) const;
};

}  // namespace zolt::core

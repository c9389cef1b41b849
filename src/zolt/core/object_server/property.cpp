#include "zolt/core/object_server/property.h"

#include "libs/utility/fatal_error.h"

namespace zolt::core {

bool Property::operator==(const Property& other) const {
    if (id != other.id) {
        return false;
    }
    uint32_t float_lanes = 0;
    switch (get_property_value_type(id)) {
    case property_type::none:
        return true;
    case property_type::object_link:
    case property_type::code_reference:
    case property_type::unsigned_integer:
    case property_type::signed_integer:
        return value[0] == other.value[0];
    case property_type::floating:
        float_lanes = 1;
        break;
    case property_type::vector2:
        float_lanes = 2;
        break;
    case property_type::vector3:
        float_lanes = 3;
        break;
    case property_type::vector4:
    case property_type::quaternion:
    case property_type::vector4_other:
        float_lanes = 4;
        break;
    default:
        ZOLT_PANIC("Invalid property type %u", id & 0xFF000000u);
    }
    for (uint32_t lane = 0; lane < float_lanes; ++lane) {
        if (!(get_float(static_cast<int>(lane)) == other.get_float(static_cast<int>(lane)))) {
            return false;
        }
    }
    return true;
}

}  // namespace zolt::core

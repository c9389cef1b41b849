#include "zolt/builtins/random_builtins.h"

#include "zolt/core/script_objects/random_generator.h"

namespace zolt::core {

geometry::Vector3 random_global_unit_vector3() {
    return random_unit_vector3(global_random_generator);
}

geometry::Vector3 random_global_unit_vector2() {
    return random_unit_vector2(global_random_generator);
}

geometry::Vector3 random_point_in_ellipsoid(float a, float b, float c) {
    return random_vector3_in_ellipsoid({a, b, c}, global_random_generator);
}

geometry::Vector3 random_point_in_ellipse(float a, float b) {
    return random_vector2_in_ellipse(a, b, global_random_generator);
}

geometry::Vector3 random_global_direction_in_cone(float x, float y, float z, float angle) {
    return random_direction_in_cone(angle, global_random_generator, {x, y, z});
}

}  // namespace zolt::core

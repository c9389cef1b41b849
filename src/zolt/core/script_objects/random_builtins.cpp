#include "zolt/core/script_objects/random_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/script_objects/random_generator.h"
#include "zolt/core/script_objects/random_generator_server.h"

namespace zolt::core {

namespace {

ScriptVector2 get_xy(const geometry::Vector3& vector) {
    return {vector.x, vector.y};
}

}  // namespace

geometry::Vector3 random_global_unit_vector3() {
    return random_unit_vector3(global_random_generator);
}

ScriptVector2 random_global_unit_vector2() {
    return get_xy(random_unit_vector2(global_random_generator));
}

geometry::Vector3 random_point_in_ellipsoid(const geometry::Vector3& radii) {
    return random_vector3_in_ellipsoid(radii, global_random_generator);
}

ScriptVector2 random_point_in_ellipse(ScriptVector2 radii) {
    return get_xy(random_vector2_in_ellipse(radii.x, radii.y, global_random_generator));
}

ScriptVector2 random_point_in_rectangle(ScriptVector2 half_sizes) {
    return get_xy(random_vector2_in_rectangle(half_sizes.x, half_sizes.y));
}

geometry::Vector3 random_global_direction_in_cone(const geometry::Vector3& direction, float angle) {
    return random_direction_in_cone(angle, global_random_generator, direction);
}

uint32_t random_integer_from_generator_object(RandomGeneratorHandle generator, uint32_t low, uint32_t high) {
    return random_integer_from_generator(generator, low, high);
}

void bind_random_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::random_unit_vector3, &random_global_unit_vector3>(table);
    bind_builtin<BuiltinId::random_vector3_in_ball, &random_vector3_in_ball>(table);
    bind_builtin<BuiltinId::random_vector3_in_ellipsoid, &random_point_in_ellipsoid>(table);
    bind_builtin<BuiltinId::random_vector3_in_box, &random_vector3_in_box>(table);
    bind_builtin<BuiltinId::random_direction_in_cone, &random_global_direction_in_cone>(table);
    bind_builtin<BuiltinId::random_unit_vector2, &random_global_unit_vector2>(table);
    bind_builtin<BuiltinId::random_vector2_in_ellipse, &random_point_in_ellipse>(table);
    bind_builtin<BuiltinId::random_vector2_in_rectangle, &random_point_in_rectangle>(table);
    bind_builtin<BuiltinId::random_float_inclusive, &random_float_inclusive>(table);
    bind_builtin<BuiltinId::random_float, &random_float>(table);
    bind_builtin<BuiltinId::random_integer, &random_integer>(table);
    bind_builtin<BuiltinId::random_integer_twin, &random_integer>(table);
    bind_builtin<BuiltinId::random_integer_from_generator, &random_integer_from_generator_object>(table);
    bind_builtin<BuiltinId::random_integer_from_generator_twin, &random_integer_from_generator_object>(table);
}

}  // namespace zolt::core

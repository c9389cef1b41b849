#pragma once
// The script builtins of random numbers (1-8, 10-13, 195, 196), one function
// per body. All but the generator-object draws use the global generator
// (random_generator.h and random_generator_server.h hold the rest); the
// two-lane vectors come back as x, y. Main thread only.
#include <cstdint>

#include "libs/geometry/vector.h"
#include "zolt/builtins/builtin_table.h"
#include "zolt/builtins/builtin_values.h"

namespace zolt::core {

void bind_random_builtins(BuiltinTable& table);

geometry::Vector3 random_global_unit_vector3();
ScriptVector2 random_global_unit_vector2();
geometry::Vector3 random_point_in_ellipsoid(const geometry::Vector3& radii);
ScriptVector2 random_point_in_ellipse(ScriptVector2 radii);
ScriptVector2 random_point_in_rectangle(ScriptVector2 half_sizes);
// The angle in turns.
geometry::Vector3 random_global_direction_in_cone(const geometry::Vector3& direction, float angle);
// 0 for a handle that names no generator.
uint32_t random_integer_from_generator_object(RandomGeneratorHandle generator, uint32_t low, uint32_t high);

}  // namespace zolt::core

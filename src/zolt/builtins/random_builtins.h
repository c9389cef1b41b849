#pragma once
// The script builtins of random numbers, one function per body, arguments as
// plain values listed top of the stack first. All but the generator-object
// draws use the global generator (random_generator.h, random_generator_server.h
// hold the rest). The two-lane vectors have z = 0. Main thread only.
//   1                                        -> vector   random_global_unit_vector3
//   2                                        -> vector   random_vector3_in_ball
//   3       radii a, b, c                    -> vector   random_point_in_ellipsoid
//   4       half sizes x, y, z               -> vector   random_vector3_in_box
//   5       direction x, y, z, angle (turns) -> vector   random_global_direction_in_cone
//   6                                        -> x, y     random_global_unit_vector2
//   7       radii a, b                       -> x, y     random_point_in_ellipse
//   8       half sizes x, y                  -> x, y     random_vector2_in_rectangle
//   10                                       -> float    random_float_inclusive
//   11                                       -> float    random_float
//   12, 13  low, high                        -> integer  random_integer
//   195,196 generator handle, low, high      -> integer  random_integer_from_generator
#include "libs/geometry/vector.h"

namespace zolt::core {

geometry::Vector3 random_global_unit_vector3();
geometry::Vector3 random_global_unit_vector2();
geometry::Vector3 random_point_in_ellipsoid(float a, float b, float c);
geometry::Vector3 random_point_in_ellipse(float a, float b);
geometry::Vector3 random_global_direction_in_cone(float x, float y, float z, float angle);

}  // namespace zolt::core

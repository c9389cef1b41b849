#pragma once
// Range draws of the generator's parameters: the base plus a uniform amount
// from 0 to the range, drawn only when the range is not 0. Tick counts and
// counts wrap as unsigned words do.
#include <cstdint>

#include "zolt/core/script_objects/random_generator.h"

namespace zolt::renderer {

inline float draw_in_range(float base, float range, core::RandomGenerator& random) {
    return range != 0.0f ? base + random.next_float_inclusive() * range : base;
}

inline uint32_t draw_in_range(uint32_t base, uint32_t range, core::RandomGenerator& random) {
    return range != 0 ? base + random.next_integer(0, range) : base;
}

}  // namespace zolt::renderer

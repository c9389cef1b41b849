#pragma once
// The player's quality choices, kept in the profile. The renderer only
// declares them; scripts read them to choose materials and options.
#include <cstdint>

namespace zolt::renderer {

extern uint32_t texture_quality;
extern uint32_t texture_filtering;
extern uint32_t light_quality;
extern uint32_t shadow_quality;

}  // namespace zolt::renderer

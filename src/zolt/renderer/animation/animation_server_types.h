#pragma once
// The server types of the animation objects, which name each other's
// handles.
#include <cstdint>

namespace zolt::animation {

constexpr uint32_t animator_server_type = 40;
constexpr uint32_t skeleton_server_type = 41;
constexpr uint32_t track_mixer_server_type = 42;

}  // namespace zolt::animation

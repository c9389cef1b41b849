#pragma once
// The graphics card's memory in MB, where the driver tells it for the current
// GL context; 0 when it does not. Rendering thread only, with a context
// current.
#include <cstdint>

namespace zolt::platform {

uint32_t query_video_memory_megabytes();

}  // namespace zolt::platform

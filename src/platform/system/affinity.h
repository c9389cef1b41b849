#pragma once
// Process affinity as 32-bit processor masks (processors 0 to 31). Linux has no
// system mask apart from the process's own, so the mask the process started
// with stands for it.
#include <cstdint>

namespace zolt::platform {

bool get_process_affinity_masks(uint32_t* process_mask, uint32_t* system_mask);

// Applies the mask to every thread of the process.
bool set_process_affinity_mask(uint32_t mask);

}  // namespace zolt::platform

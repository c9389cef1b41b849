#pragma once
// Large fixed regions reserved once at start: the pages are taken from the
// system only when first touched, so a region of hundreds of megabytes costs
// nothing until it is used.
#include <cstddef>
#include <cstdint>

namespace zolt::platform {

// Zero-filled, 4096-aligned, never given back; null when the address space
// cannot be had.
uint8_t* reserve_memory_region(size_t size);

}  // namespace zolt::platform

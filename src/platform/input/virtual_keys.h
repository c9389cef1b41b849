#pragma once
// The virtual key that the game window's key-down events carry, for the key
// code of the window layer's key_down event: letters and digits their upper-
// case characters, the others the system's numbers (both shift keys 16, both
// control keys 17, both alt keys 18, numpad enter 13 like enter). Any thread.
#include <cstdint>

namespace zolt::platform {

// 0 for a key the system gives no virtual key.
uint32_t get_virtual_key(uint32_t key_code);

}  // namespace zolt::platform

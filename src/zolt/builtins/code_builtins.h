#pragma once
// The script builtins of code objects, one function per body, arguments as
// plain values, the first named being the top of the stack. Main thread only.
//   132  chain index, key  -> handle or 0   get_code_object_handle: loads the code when needed
//   133                    -> code CRC      compute_code_crc
//   134                    -> none          release_unused_code_objects
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"

namespace zolt::core {

// 0 for a chain index above 15 or a key above 16383.
ObjectHandle get_code_object_handle(uint32_t chain_index, uint32_t key);
uint32_t compute_code_crc();
void release_unused_code_objects();

}  // namespace zolt::core

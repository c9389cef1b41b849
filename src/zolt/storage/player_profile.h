#pragma once
// The player profile: the online file store's "profile.zpr", a CRC-32 of the
// data and then at most 1000 bytes of data, taken from and given to the
// element words of a script array. A profile that cannot be read is reported
// with a warning and the script keeps its defaults. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"

namespace zolt::storage {

constexpr uint32_t profile_data_capacity = 1000;
constexpr const char* profile_file_name = "profile.zpr";

// Panics with "Incorrect handle 0x%08x provided to profile save builtin"
// when the handle names no array. False when the array holds more than 1000
// bytes, there is no store, or the write failed; a success clears
// simulate_missing_profile.
bool save_to_profile(core::ObjectHandle array);
// 1 loaded into the array; 0 no profile (or simulate_missing_profile), the
// array unchanged; -1 no store or a profile that cannot be read, the array
// unchanged. The same panic as above.
int32_t load_from_profile(core::ObjectHandle array);

}  // namespace zolt::storage

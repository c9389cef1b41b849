#pragma once
// The runtime core's configuration variables that other modules read; the
// variables only scripts read are kept inside config_support_variables.cpp.
// Each owning module may take its rows into its own files later.
#include <cstdint>

namespace zolt {

// The resource pack list file.
extern const char* pack_list;
extern float mouse_sensitivity_x;
extern float mouse_sensitivity_y;
extern float mouse_acceleration_threshold;
extern float mouse_acceleration_factor;
// The configuration file to read and write: null when never given, empty
// for none.
extern const char* config;
extern bool simulate_missing_profile;
extern const char* save_path;

}  // namespace zolt

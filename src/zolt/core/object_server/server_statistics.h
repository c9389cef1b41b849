#pragma once
// What the statistics builtins answer about a server type: zeros for a type
// of 58 or more, an unregistered type, or a server without statistics.
#include <cstdint>

#include "zolt/core/object_server/server_base.h"

namespace zolt::core {

ServerStatistics get_server_statistics(uint32_t type);
// Null for a type of 58 or more or an unregistered one.
const char* get_server_name(uint32_t type);
uint32_t get_server_free_count(uint32_t type);
// Live and high-water counts over the capacity; 0 when the capacity is 0.
float get_server_usage(uint32_t type);
float get_server_peak_usage(uint32_t type);

}  // namespace zolt::core

#include "zolt/core/object_server/server_statistics.h"

namespace zolt::core {
namespace {
ServerBase* get_script_visible_server(uint32_t type) {
    return type < first_invalid_server_type ? get_server(type) : nullptr;
}
}  // namespace

ServerStatistics get_server_statistics(uint32_t type) {
    ServerStatistics statistics{0, 0, 0, 0};
    if (ServerBase* const server = get_script_visible_server(type)) {
        server->get_statistics(statistics);
    }
    return statistics;
}

const char* get_server_name(uint32_t type) {
    ServerBase* const server = get_script_visible_server(type);
    return server != nullptr ? server->get_name() : nullptr;
}

uint32_t get_server_free_count(uint32_t type) {
    const ServerStatistics statistics = get_server_statistics(type);
    return statistics.capacity - statistics.live_count;
}

float get_server_usage(uint32_t type) {
    const ServerStatistics statistics = get_server_statistics(type);
    return statistics.capacity != 0
               ? static_cast<float>(statistics.live_count) / static_cast<float>(statistics.capacity)
               : 0.0f;
}

float get_server_peak_usage(uint32_t type) {
    const ServerStatistics statistics = get_server_statistics(type);
    return statistics.capacity != 0
               ? static_cast<float>(statistics.high_water_count) / static_cast<float>(statistics.capacity)
               : 0.0f;
}

}  // namespace zolt::core

#pragma once
// The server of motions (type 51): one motion, advanced with every other
// live motion by builtin 664. Main thread only.
#include <cstdint>

#include "zolt/builtins/builtin_table.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/script_objects/motion.h"

namespace zolt::core {

class MotionServer final : public PooledServer<Motion, 1> {
public:
    MotionServer() : PooledServer(server_type::motion) {}

    const char* get_name() const override { return "MotionServer"; }
    // Moves the time of every live motion with a rate by ticks of 10
    // microseconds times the rate.
    void advance_all(int32_t ticks);
};

extern MotionServer motion_server;

void bind_motion_builtins(BuiltinTable& table);

}  // namespace zolt::core

#pragma once
// Ends a test's world: every registered server unregistered, last first as
// engine stop does, so the next test of the process starts with none.
#include "zolt/core/object_server/server_base.h"

namespace zolt::test {

inline void unregister_all_servers() {
    while (core::ServerBase* const last = core::get_last_server()) {
        last->unregister_server();
    }
}

}  // namespace zolt::test

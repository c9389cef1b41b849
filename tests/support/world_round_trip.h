#pragma once
// A whole world saved into a memory slot and loaded back over the running
// one, as a saved game would be.
#include <cstdint>

#include "zolt/core/object_server/server_base.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::test {

// False when the slot cannot be written or the world does not load back.
inline bool save_and_load_world(uint32_t save_id) {
    {
        storage::MemorySaveStream stream;
        if (!stream.open(save_id)) {
            return false;
        }
        core::save_all_servers(stream);
        if (!stream.finish()) {
            return false;
        }
    }
    storage::MemoryLoadStream stream;
    return stream.open(save_id) && core::load_all_servers(stream);
}

}  // namespace zolt::test

#pragma once
// The running world kept in memory while a save is loaded over it, so that
// a save refused half-way leaves the game as it was. It lives in the file
// save buffer, which no save uses during a load. Main thread only.
#include <cstdint>

#include "zolt/storage/load_stream.h"
#include "zolt/storage/save_stream.h"

namespace zolt::storage {

class WorldSnapshot {
public:
    // Saves every server; false when the world does not fit the buffer.
    bool take();
    // Loads the snapshot back; false when it does not load.
    bool restore();

private:
    uint32_t size_ = 0;
};

}  // namespace zolt::storage

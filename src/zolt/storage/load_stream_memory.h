#pragma once
// A save read back from one of the four memory slots: the whole slot is the
// stream, so reading past it panics.
#include <cstdint>

#include "zolt/storage/load_stream.h"

namespace zolt::storage {

class MemoryLoadStream final : public LoadStream {
public:
    // The same slot rule as MemorySaveStream::open.
    bool open(uint32_t save_id) override;
};

}  // namespace zolt::storage

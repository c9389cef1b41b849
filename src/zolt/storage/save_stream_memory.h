#pragma once
// A save kept in one of the four memory slots (the save id's low 16 bits,
// with bits 16-23 clear). The stream is written into scratch space and copied
// into the slot only when it fits, so a save too large for a slot fails and
// keeps the slot's earlier save.
#include <cstdint>

#include "zolt/storage/save_stream.h"

namespace zolt::storage {

class MemorySaveStream final : public SaveStream {
public:
    // Until an open succeeds, writes go to scratch space and finish fails.
    MemorySaveStream();

    bool open(uint32_t save_id) override;
    bool finish() override;

protected:
    // The buffer is full: the save no longer fits a slot.
    void flush_buffer(uint8_t*& buffer, uint32_t& buffer_size, uint32_t used) override;

private:
    uint8_t* slot_ = nullptr;
    bool overflow_ = false;
};

// The slot of a memory save id, or memory_save_slot_count when the id names none.
uint32_t get_memory_save_slot_index(uint32_t save_id);

}  // namespace zolt::storage

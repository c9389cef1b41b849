#pragma once
// A storage object (server type 6): 512 bytes of script data read and written
// as bit fields, chained to further storage objects when a field lies beyond
// them. A field id's top byte gives its width and signedness, its low 16 bits
// its index; field i of width w is bits (w i) mod 32 of word (w i) div 32 of
// the chain, never straddling words. The save system copies the first 4096
// bytes of a chain in and out of save files. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"

namespace zolt::core {

constexpr uint32_t storage_data_size = 512;
constexpr uint32_t storage_word_count = storage_data_size / 4;

class Storage final : public ServerObject {
public:
    void initialize(uint32_t argument) override;
    // Destroys the rest of the chain.
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    // Storage fields, then the base properties; false past the chain's end.
    bool get_property(uint32_t id, Property& out) const override;
    // Storage fields grow the chain as needed; false when the pool cannot
    // hold the blocks it would take.
    bool set_property(uint32_t id, const Property& value) override;

    ObjectHandle get_next_block() const { return next_block_; }
    const uint32_t* get_words() const { return words_; }

private:
    friend class StorageServer;
    friend void write_storage_bytes(Storage* storage, const uint8_t* source, uint32_t count);
    friend void read_storage_bytes(uint32_t count, const Storage* storage, uint8_t* destination);

    ObjectHandle next_block_ = 0;
    uint32_t words_[storage_word_count] = {};
};

// Copies count bytes into the chain, 512 per block in order, growing it as
// needed (as far as the pool allows).
void write_storage_bytes(Storage* storage, const uint8_t* source, uint32_t count);
// Copies count bytes out of the chain; what lies past its last block reads as
// zeros.
void read_storage_bytes(uint32_t count, const Storage* storage, uint8_t* destination);

}  // namespace zolt::core

#pragma once
// A script array: a growable run of 32-bit words in the array server's pool.
// The storage holds exactly capacity words, of which the first length are in
// use; words past the length are undefined. Growth is exact (a full array
// grows by one word at a time), and any growth may compact the pool and move
// the storage of any array. An index whose array could never fit the pool is
// refused: the operation answers 0 and changes nothing. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"

namespace zolt::core {

// Capacity: 14 or 0x300000E; length: 26 or 0x300001A.
constexpr uint32_t array_capacity_property = 0x300000E;
constexpr uint32_t array_length_property = 0x300001A;

class ArrayObject final : public ServerObject {
public:
    // Storage for that many words, none in use.
    void initialize(uint32_t capacity) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    // Refuses a record whose length exceeds its capacity or whose storage
    // the pool cannot hold.
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, Property& out) const override;
    bool set_property(uint32_t id, const Property& value) override;

    // 0 at or past the length.
    uint32_t get_element(uint32_t index) const override { return index < length_ ? elements_[index] : 0; }
    // Grows the array to reach index (the words between become 0) and
    // answers the word that was there.
    uint32_t set_element(uint32_t index, uint32_t value) override;
    // Moves the words from index on up by one; at or past the length the same
    // as set_element. Answers the word that was at index.
    uint32_t insert_element(uint32_t index, uint32_t value) override;
    // Answers the word and moves the later ones down; 0 at or past the length.
    uint32_t remove_element(uint32_t index) override;
    uint32_t append_element(uint32_t value) override { return set_element(length_, value); }

    // Reallocates to exactly n words (0 frees the storage), keeping the words
    // that fit; false when n words could never fit the pool.
    bool set_capacity(uint32_t capacity);
    // Shortens, or grows with zero words.
    bool set_length(uint32_t length);

    uint32_t get_capacity() const { return capacity_; }
    uint32_t get_length() const { return length_; }
    const uint32_t* get_elements() const { return elements_; }

private:
    friend class ArrayServer;

    void release_elements();

    // May be moved by the server's compaction whenever storage is allocated.
    uint32_t* elements_ = nullptr;
    uint32_t capacity_ = 0;
    uint32_t length_ = 0;
};

}  // namespace zolt::core

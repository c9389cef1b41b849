#pragma once
// A small hash table of properties keyed by property id, the free-form
// property bag of scripts and of objects that keep properties they do not
// know. One block from the dictionary server holds n buckets of (key word,
// value word) and then an extra area for the words of vector values. The
// table is coalesced hashing: every chain is circular, holds the entries of
// one home bucket, and links through bits 16-23 of the stored ids; free
// buckets form a circular doubly linked list. Bucket counts, indices and the
// extra area are 8-bit, so a dictionary holds at most 255 buckets and 255
// extra words; a set that would need more is refused. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"

namespace zolt::core {

constexpr uint32_t dictionary_bucket_limit = 255;
constexpr uint32_t dictionary_extra_word_limit = 255;
// The largest block: 255 buckets of two words and 255 extra words.
constexpr uint32_t dictionary_block_word_limit = dictionary_bucket_limit * 2 + dictionary_extra_word_limit;

class Dictionary final : public ServerObject {
public:
    // An empty table of that many buckets; 0, or more than a dictionary can
    // hold, gives one.
    void initialize(uint32_t bucket_count) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    // Refuses a block that is not a consistent table.
    bool load(storage::LoadStream& stream) override;
    // A typed id must match the stored id; a bare key matches any type.
    bool get_property(uint32_t id, Property& out) const override;
    // Refuses an id of no valid value type, a key stored with another type,
    // and growth past the 8-bit limits; a refusal changes nothing.
    bool set_property(uint32_t id, const Property& value) override;
    bool remove_property(uint32_t id) override;

    // Properties other than the keys 240 to 250.
    uint32_t count_properties() const;
    // A new dictionary holding the counted properties, or 0 when there are none.
    ObjectHandle copy() const;
    // Whether the other object is a dictionary with the same counted
    // properties and equal values; true also when neither has any.
    bool equals(ObjectHandle other) const;
    void clear();
    // Replaces the table with a block from outside (a peer, a file) after
    // checking it is consistent; false, changing nothing, when it is not.
    bool assign_block(const uint8_t shape[4], const uint32_t* words);

    const uint32_t* get_block() const { return block_; }
    uint32_t get_block_size() const { return bucket_count_ * 8u + extra_capacity_ * 4u; }
    uint32_t get_bucket_count() const { return bucket_count_; }
    uint32_t get_free_head() const { return free_head_; }
    uint32_t get_extra_capacity() const { return extra_capacity_; }
    uint32_t get_extra_used() const { return extra_used_; }

private:
    friend class DictionaryServer;

    void set_up_table(uint32_t bucket_count, uint32_t extra_capacity);
    // A new table with the surviving entries re-inserted in bucket order;
    // skipped_bucket (when below the bucket count) is left out.
    void rebuild(uint32_t bucket_count, uint32_t extra_capacity, uint32_t skipped_bucket);
    void release_block();
    // The bucket whose key has the id's low 16 bits, or -1.
    int32_t find_bucket(uint32_t id) const;

    // May be moved by the server's compaction whenever a block is allocated.
    uint32_t* block_ = nullptr;
    uint8_t bucket_count_ = 0;
    uint8_t free_head_ = 0;
    uint8_t extra_capacity_ = 0;
    uint8_t extra_used_ = 0;
};

// Whether a block of that shape is a table this code could have written:
// free list, chains, homes, keys and the extra area all consistent.
bool is_valid_dictionary_block(const uint32_t* words, uint32_t bucket_count, uint32_t free_head,
                               uint32_t extra_capacity, uint32_t extra_used);

}  // namespace zolt::core

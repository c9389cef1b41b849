#include "zolt/core/script_objects/dictionary.h"

#include <algorithm>
#include <cstring>

#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script_objects/dictionary_server.h"

namespace zolt::core {
namespace {

constexpr uint32_t link_bits = 0x00FF0000u;
constexpr uint32_t id_bits = ~link_bits;

bool is_free_key(uint32_t key) {
    return (key >> 24) == 0;
}

uint32_t get_link(uint32_t key) {
    return (key >> 16) & 0xFFu;
}

uint32_t make_key(uint32_t id, uint32_t link) {
    return (id & id_bits) | link << 16;
}

uint32_t get_home(uint32_t id, uint32_t bucket_count) {
    return (id & 0xFFFFu) % bucket_count;
}

bool is_copy_excluded_key(uint32_t id) {
    const uint32_t key = id & 0xFFFFu;
    return key >= 240 && key <= 250;
}

// Only the value types a property may have; a stored key word with a zero
// type byte would read as a free bucket, and no type holds more than four
// words in a property.
bool is_storable_type(uint32_t id) {
    switch (get_property_value_type(id)) {
    case property_type::object_link:
    case property_type::code_reference:
    case property_type::unsigned_integer:
    case property_type::signed_integer:
    case property_type::floating:
    case property_type::vector2:
    case property_type::vector3:
    case property_type::vector4:
    case property_type::quaternion:
    case property_type::vector4_other:
        return true;
    default:
        return false;
    }
}

// The bucket part of a block; the extra area follows it.
struct Table {
    uint32_t* words;
    uint32_t bucket_count;
    uint32_t free_head;

    uint32_t& key(uint32_t bucket) { return words[bucket * 2]; }
    uint32_t& value(uint32_t bucket) { return words[bucket * 2 + 1]; }

    bool has_free_bucket() { return is_free_key(key(free_head)); }

    // Every bucket free, linked in index order.
    void set_up() {
        for (uint32_t bucket = 0; bucket < bucket_count; ++bucket) {
            key(bucket) = (bucket + bucket_count - 1) % bucket_count * 2;
            value(bucket) = (bucket + 1) % bucket_count * 2;
        }
        free_head = 0;
    }

    // Unlinks a free bucket; its next free bucket becomes the head. Taking
    // the last one leaves the head on it, now occupied: the table is full.
    void take_free_bucket(uint32_t bucket) {
        const uint32_t previous = key(bucket) / 2;
        const uint32_t next = value(bucket) / 2;
        value(previous) = next * 2;
        key(next) = previous * 2;
        free_head = next;
    }

    // Stores the id in a bucket of its chain and answers that bucket; the
    // caller has made sure a bucket is free.
    uint32_t insert(uint32_t id) {
        const uint32_t home = get_home(id, bucket_count);
        const uint32_t occupant = key(home);
        if (is_free_key(occupant)) {
            take_free_bucket(home);
            key(home) = make_key(id, home);
            return home;
        }
        const uint32_t free = free_head;
        take_free_bucket(free);
        if (get_home(occupant, bucket_count) == home) {
            key(free) = make_key(id, get_link(occupant));
            key(home) = make_key(occupant, free);
            return free;
        }
        // The occupant belongs to another chain: it moves to the free bucket
        // and the home bucket starts the new chain.
        key(free) = occupant;
        value(free) = value(home);
        uint32_t predecessor = get_link(occupant);
        while (get_link(key(predecessor)) != home) {
            predecessor = get_link(key(predecessor));
        }
        key(predecessor) = make_key(key(predecessor), free);
        key(home) = make_key(id, home);
        return home;
    }

    // When another chain holds the home bucket, walking that chain finds
    // nothing: its keys have another home, so other low 16 bits.
    int32_t find(uint32_t id) {
        const uint32_t home = get_home(id, bucket_count);
        if (is_free_key(key(home))) {
            return -1;
        }
        uint32_t bucket = home;
        do {
            if (((key(bucket) ^ id) & 0xFFFFu) == 0) {
                return static_cast<int32_t>(bucket);
            }
            bucket = get_link(key(bucket));
        } while (bucket != home);
        return -1;
    }
};

bool is_valid_free_list(const uint32_t* words, uint32_t bucket_count, uint32_t free_head, uint32_t free_count) {
    if (free_count == 0) {
        return true;
    }
    uint32_t bucket = free_head;
    for (uint32_t step = 0; step < free_count; ++step) {
        const uint32_t previous_word = words[bucket * 2];
        const uint32_t next_word = words[bucket * 2 + 1];
        if (!is_free_key(previous_word) || previous_word % 2 != 0 || previous_word / 2 >= bucket_count ||
            next_word % 2 != 0 || next_word / 2 >= bucket_count) {
            return false;
        }
        const uint32_t next = next_word / 2;
        if (!is_free_key(words[next * 2]) || words[next * 2] / 2 != bucket) {
            return false;
        }
        bucket = next;
        // Coming back early means a shorter ring that misses free buckets.
        if (bucket == free_head && step + 1 != free_count) {
            return false;
        }
    }
    return bucket == free_head;
}

}  // namespace

bool is_valid_dictionary_block(const uint32_t* words, uint32_t bucket_count, uint32_t free_head,
                               uint32_t extra_capacity, uint32_t extra_used) {
    if (bucket_count == 0 || bucket_count > dictionary_bucket_limit || free_head >= bucket_count ||
        extra_capacity > dictionary_extra_word_limit || extra_used > extra_capacity) {
        return false;
    }
    uint32_t free_count = 0;
    uint32_t chain_lengths[dictionary_bucket_limit] = {};
    uint16_t keys[dictionary_bucket_limit];
    uint32_t key_count = 0;
    bool extra_words_taken[dictionary_extra_word_limit] = {};
    uint32_t extra_words_counted = 0;
    for (uint32_t bucket = 0; bucket < bucket_count; ++bucket) {
        const uint32_t key = words[bucket * 2];
        if (is_free_key(key)) {
            ++free_count;
            continue;
        }
        if (!is_storable_type(key) || get_link(key) >= bucket_count) {
            return false;
        }
        ++chain_lengths[get_home(key, bucket_count)];
        keys[key_count++] = static_cast<uint16_t>(key & 0xFFFFu);
        const uint32_t components = get_property_component_count(key);
        if (components == 0) {
            continue;
        }
        const uint32_t index = words[bucket * 2 + 1];
        if (index < bucket_count * 2 || index - bucket_count * 2 > extra_used ||
            extra_used - (index - bucket_count * 2) < components) {
            return false;
        }
        for (uint32_t word = index - bucket_count * 2; word < index - bucket_count * 2 + components; ++word) {
            if (extra_words_taken[word]) {
                return false;
            }
            extra_words_taken[word] = true;
        }
        extra_words_counted += components;
    }
    if (extra_words_counted != extra_used) {
        return false;
    }
    if (free_count == 0 ? is_free_key(words[free_head * 2]) : !is_free_key(words[free_head * 2])) {
        return false;
    }
    if (!is_valid_free_list(words, bucket_count, free_head, free_count)) {
        return false;
    }
    std::sort(keys, keys + key_count);
    if (std::adjacent_find(keys, keys + key_count) != keys + key_count) {
        return false;
    }
    // Each chain starts in its home bucket and runs through exactly the
    // entries of that home before coming back.
    for (uint32_t home = 0; home < bucket_count; ++home) {
        if (chain_lengths[home] == 0) {
            continue;
        }
        uint32_t bucket = home;
        for (uint32_t step = 0; step < chain_lengths[home]; ++step) {
            const uint32_t key = words[bucket * 2];
            if (is_free_key(key) || get_home(key, bucket_count) != home) {
                return false;
            }
            bucket = get_link(key);
            if (bucket == home && step + 1 != chain_lengths[home]) {
                return false;
            }
        }
        if (bucket != home) {
            return false;
        }
    }
    return true;
}

void Dictionary::initialize(uint32_t bucket_count) {
    if (bucket_count == 0 || bucket_count > dictionary_bucket_limit) {
        bucket_count = 1;
    }
    set_up_table(bucket_count, 0);
}

void Dictionary::finalize() {
    release_block();
}

void Dictionary::set_up_table(uint32_t bucket_count, uint32_t extra_capacity) {
    block_ = static_cast<uint32_t*>(dictionary_server.allocate_block(bucket_count * 8 + extra_capacity * 4));
    Table table{block_, bucket_count, 0};
    table.set_up();
    std::memset(block_ + bucket_count * 2, 0, extra_capacity * 4);
    bucket_count_ = static_cast<uint8_t>(bucket_count);
    free_head_ = 0;
    extra_capacity_ = static_cast<uint8_t>(extra_capacity);
    extra_used_ = 0;
}

void Dictionary::release_block() {
    if (block_ != nullptr) {
        dictionary_server.free_block(block_, get_block_size());
        block_ = nullptr;
    }
    bucket_count_ = free_head_ = extra_capacity_ = extra_used_ = 0;
}

void Dictionary::rebuild(uint32_t bucket_count, uint32_t extra_capacity, uint32_t skipped_bucket) {
    const uint32_t old_bucket_count = bucket_count_;
    const uint32_t old_size = get_block_size();
    uint32_t* const new_block =
        static_cast<uint32_t*>(dictionary_server.allocate_block(bucket_count * 8 + extra_capacity * 4));
    // Read only now: making room for the new block may have moved the old one.
    const uint32_t* const old_block = block_;
    Table table{new_block, bucket_count, 0};
    table.set_up();
    std::memset(new_block + bucket_count * 2, 0, extra_capacity * 4);
    uint32_t extra_used = 0;
    for (uint32_t bucket = 0; bucket < old_bucket_count; ++bucket) {
        const uint32_t key = old_block[bucket * 2];
        if (is_free_key(key) || bucket == skipped_bucket) {
            continue;
        }
        const uint32_t stored = table.insert(key & id_bits);
        const uint32_t components = get_property_component_count(key);
        if (components == 0) {
            table.value(stored) = old_block[bucket * 2 + 1];
            continue;
        }
        const uint32_t index = bucket_count * 2 + extra_used;
        std::memcpy(new_block + index, old_block + old_block[bucket * 2 + 1], components * 4);
        table.value(stored) = index;
        extra_used += components;
    }
    dictionary_server.free_block(block_, old_size);
    block_ = new_block;
    bucket_count_ = static_cast<uint8_t>(bucket_count);
    free_head_ = static_cast<uint8_t>(table.free_head);
    extra_capacity_ = static_cast<uint8_t>(extra_capacity);
    extra_used_ = static_cast<uint8_t>(extra_used);
}

int32_t Dictionary::find_bucket(uint32_t id) const {
    if (block_ == nullptr) {
        return -1;
    }
    Table table{block_, bucket_count_, free_head_};
    return table.find(id);
}

bool Dictionary::get_property(uint32_t id, Property& out) const {
    const int32_t bucket = find_bucket(id);
    if (bucket < 0) {
        return false;
    }
    const uint32_t stored = block_[bucket * 2] & id_bits;
    if (stored != (id & id_bits) && !is_bare_property_key(id)) {
        return false;
    }
    const uint32_t value = block_[bucket * 2 + 1];
    const uint32_t components = get_property_component_count(stored);
    if (components == 0) {
        out.set_u32(stored, value);
    } else {
        out.set_u32(stored, 0);
        std::memcpy(out.value, block_ + value, components * 4);
    }
    return true;
}

bool Dictionary::set_property(uint32_t id, const Property& value) {
    if (block_ == nullptr || !is_storable_type(id)) {
        return false;
    }
    const uint32_t components = get_property_component_count(id);
    int32_t bucket = find_bucket(id);
    if (bucket >= 0) {
        if ((block_[bucket * 2] & id_bits) != (id & id_bits)) {
            return false;
        }
    } else {
        const uint32_t needed = extra_used_ + components;
        if (needed > dictionary_extra_word_limit) {
            return false;
        }
        Table table{block_, bucket_count_, free_head_};
        if (!table.has_free_bucket()) {
            if (bucket_count_ + 2u > dictionary_bucket_limit) {
                return false;
            }
            rebuild(bucket_count_ + 2u, std::max<uint32_t>(needed, extra_capacity_), dictionary_bucket_limit);
        } else if (extra_capacity_ < needed) {
            rebuild(bucket_count_, needed, dictionary_bucket_limit);
        }
        table = Table{block_, bucket_count_, free_head_};
        bucket = static_cast<int32_t>(table.insert(id));
        free_head_ = static_cast<uint8_t>(table.free_head);
        if (components > 0) {
            table.value(static_cast<uint32_t>(bucket)) = bucket_count_ * 2u + extra_used_;
            extra_used_ = static_cast<uint8_t>(extra_used_ + components);
        }
    }
    if (components == 0) {
        block_[bucket * 2 + 1] = value.value[0];
    } else {
        std::memcpy(block_ + block_[bucket * 2 + 1], value.value, components * 4);
    }
    return true;
}

bool Dictionary::remove_property(uint32_t id) {
    const int32_t bucket = find_bucket(id);
    if (bucket < 0) {
        return false;
    }
    const uint32_t stored = block_[bucket * 2] & id_bits;
    if (stored != (id & id_bits) && !is_bare_property_key(id)) {
        return false;
    }
    rebuild(std::max<uint32_t>(bucket_count_ - 1u, 1), extra_capacity_ - get_property_component_count(stored),
            static_cast<uint32_t>(bucket));
    return true;
}

uint32_t Dictionary::count_properties() const {
    uint32_t count = 0;
    if (block_ == nullptr) {
        return 0;
    }
    for (uint32_t bucket = 0; bucket < bucket_count_; ++bucket) {
        const uint32_t key = block_[bucket * 2];
        if (!is_free_key(key) && !is_copy_excluded_key(key)) {
            ++count;
        }
    }
    return count;
}

ObjectHandle Dictionary::copy() const {
    const uint32_t count = count_properties();
    if (count == 0) {
        return 0;
    }
    Dictionary* const result = static_cast<Dictionary*>(dictionary_server.create_object_internal(count));
    // Every set on the copy may allocate and so move this block: it is read
    // afresh for each bucket.
    for (uint32_t bucket = 0; bucket < bucket_count_; ++bucket) {
        const uint32_t key = block_[bucket * 2];
        if (is_free_key(key) || is_copy_excluded_key(key)) {
            continue;
        }
        Property property;
        get_property(key & 0xFFFFu, property);
        result->set_property(property.id, property);
    }
    return result->get_handle();
}

bool Dictionary::equals(ObjectHandle other_handle) const {
    const ServerObject* const other = resolve_handle(other_handle);
    const Dictionary* const other_dictionary =
        other != nullptr && get_handle_server_type(other->get_handle()) == server_type::dictionary
            ? static_cast<const Dictionary*>(other)
            : nullptr;
    // Each compares as a subset of the other only when the counts agree too.
    if (other_dictionary != nullptr && other_dictionary->count_properties() != count_properties()) {
        return false;
    }
    for (uint32_t bucket = 0; block_ != nullptr && bucket < bucket_count_; ++bucket) {
        const uint32_t key = block_[bucket * 2];
        if (is_free_key(key) || is_copy_excluded_key(key)) {
            continue;
        }
        if (other_dictionary == nullptr) {
            return false;
        }
        Property mine;
        Property theirs;
        get_property(key & id_bits, mine);
        if (!other_dictionary->get_property(key & id_bits, theirs) || !(mine == theirs)) {
            return false;
        }
    }
    return true;
}

void Dictionary::clear() {
    release_block();
    set_up_table(1, 0);
}

void Dictionary::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u8(stream, bucket_count_);
    write_u8(stream, free_head_);
    write_u8(stream, extra_capacity_);
    write_u8(stream, extra_used_);
    write_bytes(stream, block_, get_block_size());
}

bool Dictionary::load(storage::LoadStream& stream) {
    release_block();
    uint8_t shape[4];
    if (!ServerObject::load(stream) || !read_bytes(stream, shape, sizeof shape)) {
        return false;
    }
    const uint32_t bucket_count = shape[0];
    const uint32_t free_head = shape[1];
    const uint32_t extra_capacity = shape[2];
    const uint32_t extra_used = shape[3];
    if (bucket_count == 0) {
        return false;
    }
    uint32_t words[dictionary_block_word_limit];
    const uint32_t size = bucket_count * 8 + extra_capacity * 4;
    if (!read_bytes(stream, words, size) ||
        !is_valid_dictionary_block(words, bucket_count, free_head, extra_capacity, extra_used)) {
        return false;
    }
    block_ = static_cast<uint32_t*>(dictionary_server.allocate_block(size));
    std::memcpy(block_, words, size);
    bucket_count_ = shape[0];
    free_head_ = shape[1];
    extra_capacity_ = shape[2];
    extra_used_ = shape[3];
    return true;
}

bool Dictionary::assign_block(const uint8_t shape[4], const uint32_t* words) {
    if (shape[0] == 0 || !is_valid_dictionary_block(words, shape[0], shape[1], shape[2], shape[3])) {
        return false;
    }
    release_block();
    const uint32_t size = shape[0] * 8u + shape[2] * 4u;
    block_ = static_cast<uint32_t*>(dictionary_server.allocate_block(size));
    std::memcpy(block_, words, size);
    bucket_count_ = shape[0];
    free_head_ = shape[1];
    extra_capacity_ = shape[2];
    extra_used_ = shape[3];
    return true;
}

}  // namespace zolt::core

#include "zolt/core/script_objects/storage_object.h"

#include <algorithm>
#include <cstring>

#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script_objects/storage_server.h"

namespace zolt::core {

namespace {

constexpr uint32_t first_field_kind = 0x10;
constexpr uint32_t last_field_kind = 0x18;

struct FieldKind {
    uint32_t width;
    bool is_signed;
};

constexpr FieldKind field_kinds[] = {{32, false}, {32, true}, {16, false}, {16, true}, {8, false},
                                     {8, true},   {4, false}, {2, false},  {1, false}};

struct FieldPlace {
    uint32_t word;
    uint32_t shift;
    uint32_t mask;
    bool is_signed;
    uint32_t width;
};

bool find_field(uint32_t id, FieldPlace& place) {
    const uint32_t kind = id >> 24;
    if (kind < first_field_kind || kind > last_field_kind || (id & 0xFF0000u) != 0) {
        return false;
    }
    const FieldKind& field = field_kinds[kind - first_field_kind];
    const uint32_t bit = field.width * (id & 0xFFFFu);
    place.word = bit / 32;
    place.shift = bit % 32;
    place.mask = field.width == 32 ? 0xFFFFFFFFu : (1u << field.width) - 1;
    place.is_signed = field.is_signed;
    place.width = field.width;
    return true;
}

uint32_t count_blocks(const Storage* storage) {
    uint32_t count = 0;
    for (; storage != nullptr; storage = find_storage(storage->get_next_block())) {
        ++count;
    }
    return count;
}

}  // namespace

void Storage::initialize(uint32_t) {
    next_block_ = 0;
    std::memset(words_, 0, sizeof words_);
}

void Storage::finalize() {
    const ObjectHandle next = next_block_;
    next_block_ = 0;
    if (Storage* const block = find_storage(next)) {
        storage_server.destroy_object_internal(block);
    }
}

void Storage::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u32(stream, next_block_);
    write_bytes(stream, words_, sizeof words_);
}

bool Storage::load(storage::LoadStream& stream) {
    return ServerObject::load(stream) && read_u32(stream, next_block_) && read_bytes(stream, words_, sizeof words_);
}

bool Storage::get_property(uint32_t id, Property& out) const {
    FieldPlace place;
    if (!find_field(id, place)) {
        return ServerObject::get_property(id, out);
    }
    const Storage* block = this;
    for (uint32_t word = place.word; word >= storage_word_count; word -= storage_word_count) {
        block = find_storage(block->next_block_);
        if (block == nullptr) {
            return false;
        }
    }
    const uint32_t value = block->words_[place.word % storage_word_count] >> place.shift & place.mask;
    if (place.is_signed) {
        const uint32_t sign = 1u << (place.width - 1);
        out.set_u32(property_type::signed_integer << 24, (value ^ sign) - sign);
    } else {
        out.set_u32(property_type::unsigned_integer << 24, value);
    }
    return true;
}

bool Storage::set_property(uint32_t id, const Property& value) {
    FieldPlace place;
    if (!find_field(id, place)) {
        return ServerObject::set_property(id, value);
    }
    const uint32_t blocks_needed = place.word / storage_word_count + 1;
    const uint32_t blocks_held = count_blocks(this);
    // A script's field index must not exhaust the pool, which is fatal.
    if (blocks_needed > blocks_held && blocks_needed - blocks_held > storage_server.get_free_count()) {
        return false;
    }
    Storage* block = this;
    for (uint32_t word = place.word; word >= storage_word_count; word -= storage_word_count) {
        Storage* next = find_storage(block->next_block_);
        if (next == nullptr) {
            next = storage_server.create_block();
            block->next_block_ = next->get_handle();
        }
        block = next;
    }
    uint32_t& word = block->words_[place.word % storage_word_count];
    word = (word & ~(place.mask << place.shift)) | (value.get_u32() & place.mask) << place.shift;
    return true;
}

void write_storage_bytes(Storage* storage, const uint8_t* source, uint32_t count) {
    Storage* block = storage;
    for (uint32_t offset = 0; block != nullptr && offset < count;) {
        const uint32_t part = std::min(count - offset, storage_data_size);
        std::memcpy(block->words_, source + offset, part);
        offset += part;
        if (offset == count) {
            break;
        }
        Storage* next = find_storage(block->next_block_);
        if (next == nullptr && (next = storage_server.create_block()) != nullptr) {
            block->next_block_ = next->get_handle();
        }
        block = next;
    }
}

void read_storage_bytes(uint32_t count, const Storage* storage, uint8_t* destination) {
    const Storage* block = storage;
    for (uint32_t offset = 0; offset < count;) {
        const uint32_t part = std::min(count - offset, storage_data_size);
        if (block != nullptr) {
            std::memcpy(destination + offset, block->words_, part);
            block = find_storage(block->next_block_);
        } else {
            std::memset(destination + offset, 0, part);
        }
        offset += part;
    }
}

}  // namespace zolt::core

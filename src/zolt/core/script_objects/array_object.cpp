#include "zolt/core/script_objects/array_object.h"

#include <algorithm>
#include <cstring>

#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script_objects/array_server.h"

namespace zolt::core {
namespace {
constexpr uint32_t word_size = sizeof(uint32_t);
}  // namespace

void ArrayObject::initialize(uint32_t capacity) {
    set_capacity(capacity);
    length_ = 0;
}

void ArrayObject::release_elements() {
    if (elements_ != nullptr) {
        array_server.free_elements(elements_, capacity_);
    }
    elements_ = nullptr;
    capacity_ = 0;
    length_ = 0;
}

void ArrayObject::finalize() {
    release_elements();
}

void ArrayObject::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u32(stream, capacity_);
    write_u32(stream, length_);
    if (length_ != 0) {
        write_bytes(stream, elements_, length_ * word_size);
    }
}

bool ArrayObject::load(storage::LoadStream& stream) {
    uint32_t capacity = 0;
    uint32_t length = 0;
    if (!ServerObject::load(stream) || !read_u32(stream, capacity) || !read_u32(stream, length)) {
        return false;
    }
    if (capacity > array_word_limit || length > capacity || !stream.can_read(length * word_size)) {
        return false;
    }
    if (capacity != 0) {
        uint32_t* const elements = array_server.try_allocate_elements(capacity);
        if (elements == nullptr) {
            return false;
        }
        elements_ = elements;
        capacity_ = capacity;
        length_ = length;
        read_bytes(stream, elements_, length * word_size);
    }
    return true;
}

bool ArrayObject::get_property(uint32_t id, Property& out) const {
    const uint32_t type_word = property_type::unsigned_integer << 24;
    if (id == array_capacity_property || id == (array_capacity_property & 0xFFFFFFu)) {
        out.set_u32(type_word, capacity_);
        return true;
    }
    if (id == array_length_property || id == (array_length_property & 0xFFFFFFu)) {
        out.set_u32(type_word, length_);
        return true;
    }
    return ServerObject::get_property(id, out);
}

bool ArrayObject::set_property(uint32_t id, const Property& value) {
    switch (id) {
    case array_capacity_property:
        return set_capacity(value.get_u32());
    case array_length_property:
        return set_length(value.get_u32());
    default:
        return ServerObject::set_property(id, value);
    }
}

bool ArrayObject::set_capacity(uint32_t capacity) {
    if (capacity == capacity_) {
        return true;
    }
    if (capacity > array_word_limit) {
        return false;
    }
    if (capacity == 0) {
        release_elements();
        return true;
    }
    uint32_t* const elements = array_server.allocate_elements(capacity);
    // The allocation may have moved this array's storage: read it only now.
    const uint32_t kept = std::min(length_, capacity);
    if (kept != 0) {
        std::memcpy(elements, elements_, kept * word_size);
    }
    release_elements();
    elements_ = elements;
    capacity_ = capacity;
    length_ = kept;
    return true;
}

bool ArrayObject::set_length(uint32_t length) {
    if (length < length_) {
        length_ = length;
    } else if (length > length_) {
        if (length > array_word_limit) {
            return false;
        }
        set_element(length - 1, 0);
    }
    return true;
}

uint32_t ArrayObject::set_element(uint32_t index, uint32_t value) {
    if (index >= array_word_limit) {
        return 0;
    }
    if (index >= capacity_) {
        set_capacity(index + 1);
    }
    if (index >= length_) {
        std::fill(elements_ + length_, elements_ + index + 1, 0u);
        length_ = index + 1;
    }
    const uint32_t previous = elements_[index];
    elements_[index] = value;
    return previous;
}

uint32_t ArrayObject::insert_element(uint32_t index, uint32_t value) {
    if (index >= length_) {
        return set_element(index, value);
    }
    if (length_ == capacity_ && !set_capacity(length_ + 1)) {
        return 0;
    }
    const uint32_t previous = elements_[index];
    std::memmove(elements_ + index + 1, elements_ + index, (length_ - index) * word_size);
    elements_[index] = value;
    ++length_;
    return previous;
}

uint32_t ArrayObject::remove_element(uint32_t index) {
    if (index >= length_) {
        return 0;
    }
    const uint32_t removed = elements_[index];
    std::memmove(elements_ + index, elements_ + index + 1, (length_ - index - 1) * word_size);
    --length_;
    return removed;
}

}  // namespace zolt::core

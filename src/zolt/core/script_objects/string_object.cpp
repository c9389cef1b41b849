#include "zolt/core/script_objects/string_object.h"

#include <algorithm>
#include <cstring>

#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script_objects/string_object_numbers.h"
#include "zolt/core/script_objects/string_object_utf8.h"
#include "zolt/core/script_objects/string_server.h"

namespace zolt::core {
namespace {

constexpr uint32_t unit_size = sizeof(char16_t);

bool fits_length_limit(uint32_t length, uint64_t added) {
    return length + added <= string_length_limit;
}

uint32_t count_utf16_units(const char16_t* units) {
    uint32_t count = 0;
    while (units[count] != 0) {
        ++count;
    }
    return count;
}

}  // namespace

void String::release_text() {
    if (text_ != nullptr) {
        string_server.free_text(text_, length_);
    }
    text_ = nullptr;
    length_ = 0;
    ++revision_;
}

void String::finalize() {
    release_text();
}

void String::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u32(stream, length_);
    write_u32(stream, revision_);
    if (length_ != 0) {
        write_bytes(stream, text_, length_ * unit_size);
    }
}

bool String::load(storage::LoadStream& stream) {
    uint32_t length = 0;
    uint32_t revision = 0;
    if (!ServerObject::load(stream) || !read_u32(stream, length) || !read_u32(stream, revision)) {
        return false;
    }
    if (length > string_length_limit || !stream.can_read(length * unit_size)) {
        return false;
    }
    if (length != 0) {
        char16_t* const text = string_server.try_allocate_text(length);
        if (text == nullptr) {
            return false;
        }
        text_ = text;
        length_ = length;
        read_bytes(stream, text_, length * unit_size);
    }
    revision_ = revision;
    return true;
}

bool String::get_property(uint32_t id, Property& out) const {
    if (id == string_length_property || id == (string_length_property & 0xFFFFFFu)) {
        out.set_u32(property_type::unsigned_integer << 24, length_);
        return true;
    }
    return ServerObject::get_property(id, out);
}

bool String::set_property(uint32_t id, const Property& value) {
    if (id != string_length_property) {
        return ServerObject::set_property(id, value);
    }
    const uint32_t length = value.get_u32();
    if (length > length_) {
        return false;
    }
    if (length == 0) {
        clear();
    } else if (length < length_) {
        resize(length);
    }
    return true;
}

bool String::resize(uint32_t length) {
    if (length > string_length_limit) {
        return false;
    }
    char16_t* const text = length != 0 ? string_server.allocate_text(length) : nullptr;
    // The allocation may have moved this string's text: read it only now.
    const uint32_t kept = std::min(length_, length);
    if (kept != 0) {
        std::memcpy(text, text_, kept * unit_size);
    }
    release_text();
    text_ = text;
    length_ = length;
    return true;
}

void String::clear() {
    release_text();
}

bool String::append_utf16(const char16_t* units, uint32_t count) {
    if (count == 0) {
        return true;
    }
    const uint32_t start = length_;
    if (!fits_length_limit(start, count) || !resize(start + count)) {
        return false;
    }
    std::memcpy(text_ + start, units, count * unit_size);
    return true;
}

bool String::append_utf16_string(const char16_t* units) {
    return append_utf16(units, count_utf16_units(units));
}

bool String::append_string(const String& other) {
    return append_substring(other, 0, 0);
}

bool String::append_substring(const String& other, int32_t count, int32_t start) {
    const int64_t source_length = other.length_;
    int64_t first = start < 0 ? start + source_length : start;
    int64_t end = count > 0 ? first + count : source_length + count;
    first = std::clamp<int64_t>(first, 0, source_length);
    end = std::clamp<int64_t>(end, 0, source_length);
    if (first >= end) {
        return true;
    }
    const uint32_t added = static_cast<uint32_t>(end - first);
    const uint32_t position = length_;
    if (!fits_length_limit(position, added) || !resize(position + added)) {
        return false;
    }
    // Only now is the source's address known: the allocation may have moved
    // it, and when the source is this string its text is the new one.
    std::memcpy(text_ + position, other.text_ + first, added * unit_size);
    return true;
}

bool String::append_latin1(const uint8_t* bytes, uint32_t count) {
    if (count == 0) {
        return true;
    }
    const uint32_t start = length_;
    if (!fits_length_limit(start, count) || !resize(start + count)) {
        return false;
    }
    for (uint32_t index = 0; index < count; ++index) {
        text_[start + index] = bytes[index];
    }
    return true;
}

bool String::append_utf8(const uint8_t* bytes, uint32_t count) {
    const uint8_t* const end = bytes + count;
    uint64_t added = 0;
    for (const uint8_t* cursor = bytes; cursor != end;) {
        added += utf8_decode(cursor, static_cast<uint32_t>(end - cursor)) > 0xFFFF ? 2 : 1;
    }
    if (added == 0) {
        return true;
    }
    const uint32_t start = length_;
    if (!fits_length_limit(start, added) || !resize(start + static_cast<uint32_t>(added))) {
        return false;
    }
    char16_t* unit = text_ + start;
    for (const uint8_t* cursor = bytes; cursor != end;) {
        const uint32_t value = utf8_decode(cursor, static_cast<uint32_t>(end - cursor));
        if (value > 0xFFFF) {
            *unit++ = get_high_surrogate(value);
            *unit++ = get_low_surrogate(value);
        } else {
            *unit++ = static_cast<char16_t>(value);
        }
    }
    return true;
}

bool String::append_c_string(const char* text) {
    return append_utf8(reinterpret_cast<const uint8_t*>(text), static_cast<uint32_t>(std::strlen(text)));
}

bool String::append_unsigned(uint32_t value, uint32_t minimum_digit_count, bool group) {
    NumberText text;
    format_unsigned(text, value, minimum_digit_count, group);
    return append_utf16(text.units, text.length);
}

bool String::append_signed(int32_t value, bool group) {
    NumberText text;
    format_signed(text, value, group);
    return append_utf16(text.units, text.length);
}

bool String::append_float(float value, uint32_t decimals, bool group) {
    NumberText text;
    format_float(text, value, decimals, group);
    return append_utf16(text.units, text.length);
}

uint32_t String::to_utf8(char (&buffer)[string_utf8_buffer_size]) const {
    uint8_t* const bytes = reinterpret_cast<uint8_t*>(buffer);
    const uint32_t room = string_utf8_buffer_size - 1;
    uint32_t used = 0;
    uint32_t total = 0;
    bool full = false;
    for (uint32_t index = 0; index < length_; ++index) {
        uint32_t value = text_[index];
        if (is_high_surrogate(value) && index + 1 < length_ && is_low_surrogate(text_[index + 1])) {
            value = combine_surrogates(value, text_[++index]);
        }
        // Once a character does not fit, the text ends before it.
        const uint32_t left = full ? 0 : room - used;
        const uint32_t byte_count = utf8_encode(left, value, bytes + used);
        total += byte_count;
        if (byte_count <= left) {
            used += byte_count;
        } else {
            full = true;
        }
    }
    bytes[used] = 0;
    return total;
}

uint32_t String::find_character(uint32_t start, char16_t unit) const {
    for (uint32_t index = start; index < length_; ++index) {
        if (text_[index] == unit) {
            return index;
        }
    }
    return length_;
}

char16_t String::character_at(uint32_t index) const {
    return index < length_ ? text_[index] : 0;
}

}  // namespace zolt::core

#pragma once
// A script string: UTF-16 units in the string server's pool, exactly as many
// as its length (no spare room, no terminator; no text at all when empty).
// Every append reallocates to the new length, so any append may compact the
// pool and move the text of any string, this one included: text taken from
// another string goes through append_string or append_substring, never
// through a pointer to its units. The revision rises whenever the text is
// replaced or freed. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"

namespace zolt::core {

// Length property: 52 or 0x3000034.
constexpr uint32_t string_length_property = 0x3000034;
constexpr uint32_t string_utf8_buffer_size = 32;

class String final : public ServerObject {
public:
    void initialize(uint32_t argument) override {}
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    // Refuses a record whose text the pool could never hold.
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, Property& out) const override;
    // Cuts the string to a shorter length; 0 clears it. Refuses a length
    // above the current one, which would need units nobody gave.
    bool set_property(uint32_t id, const Property& value) override;

    uint32_t get_length() const { return length_; }
    const char16_t* get_text() const { return text_; }
    uint32_t get_revision() const { return revision_; }

    // The appends answer false, changing nothing, only when the result would
    // be longer than the pool could ever hold.
    bool resize(uint32_t length);
    void clear();
    bool append_utf16(const char16_t* units, uint32_t count);
    bool append_utf16_string(const char16_t* units);
    bool append_string(const String& other);
    // Units [start, end) of other, L its length: a negative start counts
    // from the end (start + L); end is start + count for a positive count,
    // else L + count; both are clamped to [0, L]; nothing when end <= start.
    bool append_substring(const String& other, int32_t count, int32_t start);
    bool append_latin1(const uint8_t* bytes, uint32_t count);
    // Decodes UTF-8 (see string_object_utf8.h), four-byte sequences to
    // surrogate pairs.
    bool append_utf8(const uint8_t* bytes, uint32_t count);
    bool append_c_string(const char* text);
    bool append_unsigned(uint32_t value, uint32_t minimum_digit_count, bool group);
    bool append_signed(int32_t value, bool group);
    bool append_float(float value, uint32_t decimals, bool group);

    // UTF-8 of the whole units that fit in 31 bytes, NUL-terminated; a
    // surrogate pair is one four-byte character. Answers the length the
    // whole string takes in UTF-8, which may be more than 31.
    uint32_t to_utf8(char (&buffer)[string_utf8_buffer_size]) const;

    // The index of the first unit equal to unit at or after start; the
    // length when there is none.
    uint32_t find_character(uint32_t start, char16_t unit) const;
    // 0 past the end.
    char16_t character_at(uint32_t index) const;

private:
    friend class StringServer;

    void release_text();

    uint32_t length_ = 0;
    // May be moved by the server's compaction whenever text is allocated.
    char16_t* text_ = nullptr;
    uint32_t revision_ = 0;
};

}  // namespace zolt::core

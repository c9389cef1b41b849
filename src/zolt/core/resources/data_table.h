#pragma once
// Reading the tables that scripts keep in resource data: key-indexed
// records, keyed sections, run-coded two-key tables, a byte block and a list
// of 28-byte records. Every offset comes from the data, so every read is
// bounded by the data's size: a table whose offsets, counts or runs leave
// the data answers "not found" instead of reading past it. Any thread; the
// view does not own the bytes.
#include <cstdint>
#include <optional>

namespace zolt::core {

namespace data_table_header {
constexpr uint32_t key_index_or_count = 0;
constexpr uint32_t records_or_byte_block = 4;
constexpr uint32_t sections_or_records28 = 8;
constexpr uint32_t run_table_a = 12;
constexpr uint32_t run_table_b = 16;
constexpr uint32_t run_table_c = 20;
constexpr uint32_t first_key = 28;
constexpr uint32_t key_count = 32;
}  // namespace data_table_header

constexpr uint16_t no_key_index = 0xFFFF;
constexpr uint32_t no_table_byte = 255;
constexpr uint32_t table_record_size = 12;
constexpr uint32_t table_record28_size = 28;

class DataTableView {
public:
    DataTableView(const void* data, uint32_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}

    std::optional<uint32_t> read_u32(uint64_t offset) const;
    std::optional<uint16_t> read_u16(uint64_t offset) const;
    std::optional<float> read_f32(uint64_t offset) const;

    // The key's entry in the key index, when the key is in the key range and
    // its entry is not 0xFFFF.
    std::optional<uint32_t> find_key_index(uint32_t key) const;
    // The word of the run table (header offset 12, 16 or 20) at the row and
    // column keys' indexes.
    std::optional<uint32_t> find_run_value(uint32_t table_header_offset, uint32_t row_key, uint32_t column_key) const;
    // Word 0, 1 or 2 of the key's 12-byte record.
    std::optional<uint32_t> find_record_word(uint32_t key, uint32_t word) const;
    // The offset of the section the directory lists first for the key.
    std::optional<uint32_t> find_section(uint32_t section_key) const;
    std::optional<uint32_t> find_section_value(uint32_t section_key, uint32_t key) const;
    // 255 outside the block.
    uint32_t get_byte(uint32_t key) const;
    // The offset of 28-byte record n, when n is below the count.
    std::optional<uint64_t> find_record28(uint32_t record) const;

private:
    const uint8_t* data_;
    uint32_t size_;
};

}  // namespace zolt::core

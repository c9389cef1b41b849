#include "zolt/core/resources/data_table.h"

#include <cstring>

namespace zolt::core {

namespace header = data_table_header;

namespace {
template <class T>
std::optional<T> read_value(const uint8_t* data, uint32_t size, uint64_t offset) {
    if (data == nullptr || offset > size || size - offset < sizeof(T)) {
        return std::nullopt;
    }
    T value;
    std::memcpy(&value, data + offset, sizeof value);
    return value;
}
}  // namespace

std::optional<uint32_t> DataTableView::read_u32(uint64_t offset) const {
    return read_value<uint32_t>(data_, size_, offset);
}

std::optional<uint16_t> DataTableView::read_u16(uint64_t offset) const {
    return read_value<uint16_t>(data_, size_, offset);
}

std::optional<float> DataTableView::read_f32(uint64_t offset) const {
    return read_value<float>(data_, size_, offset);
}

std::optional<uint32_t> DataTableView::find_key_index(uint32_t key) const {
    const std::optional<uint32_t> index_offset = read_u32(header::key_index_or_count);
    const std::optional<uint32_t> first = read_u32(header::first_key);
    const std::optional<uint32_t> count = read_u32(header::key_count);
    if (!index_offset || !first || !count || key < *first || key - *first >= *count) {
        return std::nullopt;
    }
    const std::optional<uint16_t> entry = read_u16(uint64_t{*index_offset} + 2 * uint64_t{key - *first});
    if (!entry || *entry == no_key_index) {
        return std::nullopt;
    }
    return *entry;
}

std::optional<uint32_t> DataTableView::find_run_value(uint32_t table_header_offset, uint32_t row_key,
                                                      uint32_t column_key) const {
    const std::optional<uint32_t> row = find_key_index(row_key);
    const std::optional<uint32_t> column = find_key_index(column_key);
    const std::optional<uint32_t> table = read_u32(table_header_offset);
    if (!row || !column || !table) {
        return std::nullopt;
    }
    const std::optional<uint32_t> row_offset = read_u32(uint64_t{*table} + 4 * uint64_t{*row});
    if (!row_offset) {
        return std::nullopt;
    }
    // Each run is 8 bytes further on, so the walk ends at the data's end.
    uint32_t remaining = *column;
    for (uint64_t run = *row_offset;; run += 8) {
        const std::optional<uint32_t> length = read_u32(run);
        const std::optional<uint32_t> value = read_u32(run + 4);
        if (!length || !value) {
            return std::nullopt;
        }
        if (remaining < *length) {
            return *value;
        }
        remaining -= *length;
    }
}

std::optional<uint32_t> DataTableView::find_record_word(uint32_t key, uint32_t word) const {
    const std::optional<uint32_t> index = find_key_index(key);
    const std::optional<uint32_t> records = read_u32(header::records_or_byte_block);
    if (!index || !records) {
        return std::nullopt;
    }
    return read_u32(uint64_t{*records} + uint64_t{*index} * table_record_size + 4 * uint64_t{word});
}

std::optional<uint32_t> DataTableView::find_section(uint32_t section_key) const {
    const std::optional<uint32_t> directory = read_u32(header::sections_or_records28);
    if (!directory) {
        return std::nullopt;
    }
    const std::optional<uint32_t> count = read_u32(*directory);
    if (!count) {
        return std::nullopt;
    }
    for (uint64_t entry = 0; entry < *count; ++entry) {
        const uint64_t entry_offset = uint64_t{*directory} + 4 + entry * 8;
        const std::optional<uint32_t> key = read_u32(entry_offset);
        const std::optional<uint32_t> section = read_u32(entry_offset + 4);
        if (!key || !section) {
            return std::nullopt;
        }
        if (*key == section_key) {
            return *section;
        }
    }
    return std::nullopt;
}

std::optional<uint32_t> DataTableView::find_section_value(uint32_t section_key, uint32_t key) const {
    const std::optional<uint32_t> section = find_section(section_key);
    const std::optional<uint32_t> index = find_key_index(key);
    if (!section || !index) {
        return std::nullopt;
    }
    return read_u32(uint64_t{*section} + 4 * uint64_t{*index});
}

uint32_t DataTableView::get_byte(uint32_t key) const {
    const std::optional<uint32_t> block = read_u32(header::records_or_byte_block);
    if (!block) {
        return no_table_byte;
    }
    const std::optional<uint32_t> first = read_u32(*block);
    const std::optional<uint32_t> count = read_u32(uint64_t{*block} + 4);
    if (!first || !count || key < *first || key - *first >= *count) {
        return no_table_byte;
    }
    const uint64_t offset = uint64_t{*block} + 8 + (key - *first);
    return offset < size_ ? data_[offset] : no_table_byte;
}

std::optional<uint64_t> DataTableView::find_record28(uint32_t record) const {
    const std::optional<uint32_t> count = read_u32(header::key_index_or_count);
    const std::optional<uint32_t> records = read_u32(header::sections_or_records28);
    if (!count || !records || record >= *count) {
        return std::nullopt;
    }
    const uint64_t offset = uint64_t{*records} + uint64_t{record} * table_record28_size;
    if (offset > size_ || size_ - offset < table_record28_size) {
        return std::nullopt;
    }
    return offset;
}

}  // namespace zolt::core

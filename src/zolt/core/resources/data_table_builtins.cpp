#include "zolt/core/resources/data_table_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/resources/data_table.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_object.h"

namespace zolt::core {
namespace {

// Only a resource object has resource data; any other object answers an
// empty view, whose reads all fail.
DataTableView get_table(ObjectHandle handle) {
    const ServerObject* const object = resolve_handle(handle);
    if (object == nullptr || get_handle_server_type(object->get_handle()) != server_type::resource) {
        return {nullptr, 0};
    }
    const auto* const resource = static_cast<const ResourceObject*>(object);
    if (resource->get_data() == nullptr || resource->get_info() == nullptr) {
        return {nullptr, 0};
    }
    return {resource->get_data(), resource->get_info()->unpacked_size};
}

float word_as_float(uint32_t word) {
    return word_to_float(word);
}

geometry::Vector4 read_record28_floats(AnyHandle table, uint32_t record, const uint32_t (&byte_offsets)[4]) {
    const DataTableView view = get_table(table);
    const std::optional<uint64_t> offset = view.find_record28(record);
    if (!offset) {
        return {0.0f, 0.0f, 0.0f, 0.0f};
    }
    float lanes[4];
    for (uint32_t lane = 0; lane < 4; ++lane) {
        lanes[lane] = view.read_f32(*offset + byte_offsets[lane]).value_or(0.0f);
    }
    return {lanes[0], lanes[1], lanes[2], lanes[3]};
}

uint32_t read_record28_u16(AnyHandle table, uint32_t record, uint32_t byte_offset) {
    const DataTableView view = get_table(table);
    const std::optional<uint64_t> offset = view.find_record28(record);
    return offset ? view.read_u16(*offset + byte_offset).value_or(0) : 0;
}

}  // namespace

uint32_t get_table_run_value_a(AnyHandle table, uint32_t row_key, uint32_t column_key) {
    return get_table(table).find_run_value(data_table_header::run_table_a, row_key, column_key).value_or(0);
}

uint32_t get_table_run_value_b(AnyHandle table, uint32_t row_key, uint32_t column_key) {
    return get_table(table).find_run_value(data_table_header::run_table_b, row_key, column_key).value_or(0);
}

float get_table_run_float(AnyHandle table, uint32_t row_key, uint32_t column_key) {
    return word_as_float(
        get_table(table).find_run_value(data_table_header::run_table_c, row_key, column_key).value_or(0));
}

uint32_t find_table_record_word0(AnyHandle table, uint32_t key) {
    return get_table(table).find_record_word(key, 0).value_or(0);
}

uint32_t find_table_record_word1(AnyHandle table, uint32_t key) {
    return get_table(table).find_record_word(key, 1).value_or(0);
}

uint32_t find_table_record_word2(AnyHandle table, uint32_t key) {
    return get_table(table).find_record_word(key, 2).value_or(0);
}

bool has_table_key(AnyHandle table, uint32_t key) {
    return get_table(table).find_key_index(key).has_value();
}

bool find_table_section(AnyHandle table, uint32_t key) {
    return get_table(table).find_section(key).has_value();
}

float get_table_section_value(AnyHandle table, uint32_t section_key, uint32_t key) {
    return word_as_float(get_table(table).find_section_value(section_key, key).value_or(0));
}

uint32_t get_table_byte(AnyHandle table, uint32_t key) {
    return get_table(table).get_byte(key);
}

uint32_t get_table_count(AnyHandle table) {
    return get_table(table).read_u32(data_table_header::key_index_or_count).value_or(0);
}

uint32_t get_table_record28_u16_0(AnyHandle table, uint32_t record) {
    return read_record28_u16(table, record, 0);
}

uint32_t get_table_record28_u16_2(AnyHandle table, uint32_t record) {
    return read_record28_u16(table, record, 2);
}

geometry::Vector4 get_table_record28_vector_a(AnyHandle table, uint32_t record) {
    return read_record28_floats(table, record, {4, 8, 12, 16});
}

geometry::Vector4 get_table_record28_vector_b(AnyHandle table, uint32_t record) {
    return read_record28_floats(table, record, {16, 20, 24, 12});
}

void bind_data_table_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::get_table_run_value_a, &get_table_run_value_a>(table);
    bind_builtin<BuiltinId::get_table_run_value_b, &get_table_run_value_b>(table);
    bind_builtin<BuiltinId::get_table_run_float, &get_table_run_float>(table);
    bind_builtin<BuiltinId::find_table_record_word0, &find_table_record_word0>(table);
    bind_builtin<BuiltinId::find_table_record_word1, &find_table_record_word1>(table);
    bind_builtin<BuiltinId::find_table_record_word2, &find_table_record_word2>(table);
    bind_builtin<BuiltinId::has_table_key, &has_table_key>(table);
    bind_builtin<BuiltinId::find_table_section, &find_table_section>(table);
    bind_builtin<BuiltinId::get_table_section_value, &get_table_section_value>(table);
    bind_builtin<BuiltinId::get_table_byte, &get_table_byte>(table);
    bind_builtin<BuiltinId::get_table_count, &get_table_count>(table);
    bind_builtin<BuiltinId::get_table_record28_u16_0, &get_table_record28_u16_0>(table);
    bind_builtin<BuiltinId::get_table_record28_u16_2, &get_table_record28_u16_2>(table);
    bind_builtin<BuiltinId::get_table_record28_vector_a, &get_table_record28_vector_a>(table);
    bind_builtin<BuiltinId::get_table_record28_vector_b, &get_table_record28_vector_b>(table);
}

}  // namespace zolt::core

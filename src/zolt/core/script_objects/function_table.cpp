#include "zolt/core/script_objects/function_table.h"

#include <cstring>

#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"

namespace zolt::core {
namespace {

bool is_key(uint32_t id, uint32_t typed_id) {
    return id == typed_id || id == (typed_id & 0xFFFFFFu);
}

}  // namespace

void FunctionTable::initialize(uint32_t resource_id) {
    reference_count_ = 0;
    resource_id_ = resource_id;
    ResourceObject* const resource = resource_server.open_resource(resource_id);
    resource_handle_ = resource->get_handle();
    resource->set_context_handle(get_handle());
    bind();
}

void FunctionTable::finalize() {
    samples_ = nullptr;
    auto* const resource = static_cast<ResourceObject*>(resource_server.get_object_internal(resource_handle_));
    if (resource != nullptr) {
        resource->set_context_handle(resource->get_handle());
        resource_server.destroy_object_internal(resource);
    }
    resource_handle_ = 0;
}

void FunctionTable::bind() {
    const auto* const resource = static_cast<const ResourceObject*>(get_object(resource_handle_));
    const void* const data = resource != nullptr ? resource->get_data() : nullptr;
    const uint32_t size = data != nullptr ? resource->get_info()->unpacked_size : 0;
    const char* error = nullptr;
    if (!check_function_table_resource(data, size, &error)) {
        ZOLT_PANIC("function table resource 0x%08x is broken: %s", resource_id_, error);
    }
    header_ = read_function_table_header(data);
    samples_ = static_cast<const uint8_t*>(data) + function_table_header_size;
    end_input_ = header_.x0 + header_.step * static_cast<float>(header_.count - 1);
}

float FunctionTable::evaluate(float x) const {
    return samples_ != nullptr ? evaluate_function_table_resource(samples_ - function_table_header_size, x) : 0.0f;
}

void FunctionTable::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u32(stream, reference_count_);
    write_u32(stream, resource_id_);
    write_u32(stream, resource_handle_);
}

bool FunctionTable::load(storage::LoadStream& stream) {
    uint32_t reference_count = 0;
    uint32_t resource_id = 0;
    uint32_t resource_handle = 0;
    if (!ServerObject::load(stream) || !read_u32(stream, reference_count) || !read_u32(stream, resource_id) ||
        !read_u32(stream, resource_handle)) {
        return false;
    }
    const auto* const resource = static_cast<const ResourceObject*>(
        get_handle_server_type(resource_handle) == server_type::resource ? get_object(resource_handle) : nullptr);
    if (resource == nullptr || resource->get_info() == nullptr || resource->get_info()->id != resource_id ||
        reference_count == 0) {
        return false;
    }
    reference_count_ = reference_count;
    resource_id_ = resource_id;
    resource_handle_ = resource_handle;
    bind();
    return true;
}

bool FunctionTable::get_property(uint32_t id, Property& out) const {
    constexpr uint32_t floating = property_type::floating << 24;
    constexpr uint32_t unsigned_integer = property_type::unsigned_integer << 24;
    if (is_key(id, function_table_property::first_input)) {
        out.set_float(floating, header_.x0);
        return true;
    }
    if (is_key(id, function_table_property::end_input)) {
        out.set_float(floating, end_input_);
        return true;
    }
    if (is_key(id, function_table_property::before_mode)) {
        out.set_u32(unsigned_integer, header_.before_mode);
        return true;
    }
    if (is_key(id, function_table_property::after_mode)) {
        out.set_u32(unsigned_integer, header_.after_mode);
        return true;
    }
    const bool wants_smallest = is_key(id, function_table_property::smallest_sample);
    if ((wants_smallest || is_key(id, function_table_property::largest_sample)) && samples_ != nullptr) {
        float smallest;
        std::memcpy(&smallest, samples_, sizeof smallest);
        float largest = smallest;
        for (uint32_t index = 0; index < header_.count; ++index) {
            float value;
            std::memcpy(&value, samples_ + 4 * size_t{index}, sizeof value);
            if (value < smallest) {
                smallest = value;
            }
            if (!(value < largest)) {
                largest = value;
            }
        }
        out.set_float(floating, wants_smallest ? smallest : largest);
        return true;
    }
    return ServerObject::get_property(id, out);
}

}  // namespace zolt::core

#include "zolt/core/script/code_object.h"

#include <cinttypes>
#include <cstdint>

#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/script/code_resource_format.h"
#include "zolt/core/script/code_server.h"

namespace zolt::core {
namespace {

constexpr uint32_t selected_property_key = code_selected_property & 0xFFFFFFu;
constexpr uint32_t signed_integer_type_word = property_type::signed_integer << 24;
constexpr uint32_t check_message_capacity = 256;

}  // namespace

void CodeObject::initialize(uint32_t resource_id) {
    reference_count_ = 0;
    resource_handle_ = resource_server.create_object_internal(resource_id)->get_handle();
    check_versions();
    code_server.link_object(this);
    if (code_server.get_selected_object(chain_index_) == nullptr) {
        code_server.set_selected_object(chain_index_, this);
    }
}

void CodeObject::finalize() {
    if (is_linked_) {
        if (code_server.get_selected_object(chain_index_) == this) {
            code_server.set_selected_object(chain_index_, nullptr);
        }
        code_server.unlink_object(this);
    }
    if (ResourceObject* const resource = get_resource()) {
        resource_server.destroy_object_internal(resource);
    }
    resource_handle_ = 0;
    entry_table_ = nullptr;
    code_start_ = nullptr;
    entry_count_ = 0;
    code_size_ = 0;
}

void CodeObject::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u32(stream, reference_count_);
    write_u32(stream, resource_handle_);
}

bool CodeObject::load(storage::LoadStream& stream) {
    is_linked_ = false;
    if (!ServerObject::load(stream) || !read_u32(stream, reference_count_) || !read_u32(stream, resource_handle_)) {
        return false;
    }
    if (get_resource() == nullptr) {
        return false;
    }
    check_versions();
    // The server's own record restores the selected objects.
    code_server.link_object(this);
    return true;
}

void CodeObject::resources_moved() {
    check_versions();
}

bool CodeObject::get_property(uint32_t id, Property& out) const {
    if (id == selected_property_key || id == code_selected_property) {
        out.set_u32(signed_integer_type_word, is_selected() ? 1 : 0);
        return true;
    }
    return ServerObject::get_property(id, out);
}

bool CodeObject::set_property(uint32_t id, const Property& value) {
    if (id != code_selected_property) {
        return false;
    }
    if (value.get_u32() != 0) {
        code_server.set_selected_object(chain_index_, this);
    } else if (is_selected()) {
        code_server.set_selected_object(chain_index_, nullptr);
    }
    return true;
}

void CodeObject::check_versions() {
    const ResourceObject* const resource = get_resource();
    if (resource == nullptr) {
        ZOLT_PANIC("code object 0x%08" PRIx32 " has no resource", get_handle());
    }
    const auto* const bytes = static_cast<const uint8_t*>(resource->get_data());
    const uint32_t size = get_resource_size();
    const CodeResourceCheckResult result = check_code_resource(bytes, size);
    if (result.check != CodeResourceCheck::intact) {
        char message[check_message_capacity];
        describe_code_resource_check(result, get_resource_id(), message, sizeof message);
        ZOLT_ERROR("%s", message);
    }
    const CodeResourceHeader& header = result.header;
    chain_index_ = get_code_chain_index(header.identity);
    key_ = get_code_key(header.identity);
    entry_table_ = bytes + header.entry_table_offset;
    entry_count_ = header.entry_count;
    code_start_ = bytes + header.code_offset;
    code_size_ = header.code_end_offset - header.code_offset;
    // The operands' alignment counts from the code start.
    if (reinterpret_cast<uintptr_t>(code_start_) % code_alignment != 0) {
        ZOLT_PANIC("the code of resource 0x%08" PRIx32 " is not aligned to 4 bytes in memory", get_resource_id());
    }
}

uint32_t CodeObject::get_entry_offset(uint32_t entry_index) const {
    return entry_index < entry_count_ ? read_code_entry(entry_table_, entry_index) : 0xFFFFFFFFu;
}

ResourceObject* CodeObject::get_resource() const {
    if (get_handle_server_type(resource_handle_) != server_type::resource) {
        return nullptr;
    }
    return resource_server.get_typed_object(resource_handle_);
}

uint32_t CodeObject::get_resource_id() const {
    const ResourceObject* const resource = get_resource();
    return resource != nullptr && resource->get_info() != nullptr ? resource->get_info()->id : 0;
}

const uint8_t* CodeObject::get_resource_bytes() const {
    const ResourceObject* const resource = get_resource();
    return resource != nullptr ? static_cast<const uint8_t*>(resource->get_data()) : nullptr;
}

uint32_t CodeObject::get_resource_size() const {
    const ResourceObject* const resource = get_resource();
    return resource != nullptr && resource->get_info() != nullptr ? resource->get_info()->unpacked_size : 0;
}

bool CodeObject::is_selected() const {
    return is_linked_ && code_server.get_selected_object(chain_index_) == this;
}

}  // namespace zolt::core

#pragma once
// A code object: one loaded code resource, held open through a resource
// object for the object's whole life. It checks the version words and the
// shape of the resource, and derives the entry table and the code from the
// resource's bytes, again whenever resources move. The code runs in place in
// the resource's memory. Tasks and state machines count their call frames in
// it through add_reference and release_reference; the code server keeps it
// in the chain its identity word names. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"

namespace zolt::core {

class ResourceObject;

// The property of the chain's selected object (bare key 28 for reading).
constexpr uint32_t code_selected_property = 0x300001C;

class CodeObject final : public ServerObject {
public:
    // Opens the resource with this id (an unknown id is fatal), checks it
    // and links the object into its chain.
    void initialize(uint32_t resource_id) override;
    // Leaves the chain (and its selection) and releases the resource.
    void finalize() override;
    // Handle, context handle, reference count, resource handle.
    void save(storage::SaveStream& stream) override;
    // False when the resource handle names no live resource object.
    bool load(storage::LoadStream& stream) override;
    void resources_moved() override;
    bool get_property(uint32_t id, Property& out) const override;
    bool set_property(uint32_t id, const Property& value) override;

    // Checks the resource's bytes and derives the fields from them; a
    // resource with other versions, or whose header or tables do not fit
    // its size, is a fatal error.
    void check_versions();

    // The entry's offset from the code start; -1 when the index is not
    // below the entry count.
    uint32_t get_entry_offset(uint32_t entry_index) const;
    uint32_t get_entry_count() const { return entry_count_; }
    const uint8_t* get_code_start() const { return code_start_; }
    uint32_t get_code_size() const { return code_size_; }
    uint32_t get_chain_index() const { return chain_index_; }
    uint32_t get_key() const { return key_; }

    uint32_t get_reference_count() const { return reference_count_; }
    void add_reference() { ++reference_count_; }
    // A count already at 0 stays there.
    void release_reference() {
        if (reference_count_ != 0) {
            --reference_count_;
        }
    }

    ObjectHandle get_resource_handle() const { return resource_handle_; }
    // The id of the resource that holds the bytes (its language resolved).
    uint32_t get_resource_id() const;
    // The whole code resource: header, entry table and code.
    const uint8_t* get_resource_bytes() const;
    uint32_t get_resource_size() const;
    bool is_selected() const;

    CodeObject* get_next_in_chain() const { return next_in_chain_; }

private:
    friend class CodeServer;

    ResourceObject* get_resource() const;

    CodeObject* next_in_chain_ = nullptr;
    CodeObject* previous_in_chain_ = nullptr;
    bool is_linked_ = false;
    uint32_t reference_count_ = 0;
    ObjectHandle resource_handle_ = 0;
    uint32_t chain_index_ = 0;
    uint32_t key_ = 0;
    const uint8_t* entry_table_ = nullptr;
    uint32_t entry_count_ = 0;
    const uint8_t* code_start_ = nullptr;
    uint32_t code_size_ = 0;
};

}  // namespace zolt::core

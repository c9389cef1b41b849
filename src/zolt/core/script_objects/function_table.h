#pragma once
// A function table (server type 56): a sampled curve from a resource read as
// a function of one float, with or without linear interpolation, and with a
// chosen behaviour before the first and after the last sample. Tables are
// shared: the resource object's context handle names the table that holds
// it, so a second creation for the resource finds it (function_table_server.h).
// Main thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"
#include "zolt/core/script_objects/function_table_format.h"

namespace zolt::core {

namespace function_table_property {
constexpr uint32_t first_input = 0x05000205, end_input = 0x05000206, before_mode = 0x03000207, after_mode = 0x03000208,
                   smallest_sample = 0x03000209, largest_sample = 0x0300020A;
}  // namespace function_table_property

class FunctionTable final : public ServerObject {
public:
    // Opens the resource of this id and reads it; a broken resource is fatal,
    // naming its id.
    void initialize(uint32_t resource_id) override;
    void finalize() override;
    // Handle, context handle, reference count, resource id, resource object.
    void save(storage::SaveStream& stream) override;
    // Refuses a record whose resource object is not the open resource of its id.
    bool load(storage::LoadStream& stream) override;
    void resources_moved() override { bind(); }
    bool get_property(uint32_t id, Property& out) const override;

    // evaluate_function_table_resource on the table's resource.
    float evaluate(float x) const;

    uint32_t get_reference_count() const { return reference_count_; }
    void add_reference() { ++reference_count_; }
    uint32_t release_reference() { return --reference_count_; }
    uint32_t get_resource_id() const { return resource_id_; }
    ObjectHandle get_resource_handle() const { return resource_handle_; }

private:
    void bind();

    uint32_t reference_count_ = 0;
    uint32_t resource_id_ = 0;
    ObjectHandle resource_handle_ = 0;
    // Derived from the resource on every bind.
    FunctionTableHeader header_{};
    const uint8_t* samples_ = nullptr;
    float end_input_ = 0;
};

}  // namespace zolt::core

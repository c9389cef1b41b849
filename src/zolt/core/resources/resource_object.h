#pragma once
// A resource object: how the rest of the engine holds a loaded resource. At
// most one exists per resource; it counts its holders, keeps the resource's
// memory while open (the loader's record then names the object) and gives
// the memory back to the record, or frees a deferred resource's, on close.
// The memory pointer is valid until the next shake; holders read it again
// when told that resources moved. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"

namespace zolt::core {

struct ResourceInfo;

class ResourceObject final : public ServerObject {
public:
    // Opens the resource with this id; an unknown id is fatal.
    void initialize(uint32_t id) override;
    // Closes the resource if open.
    void finalize() override;
    // Handle, context handle, resource id, reference count.
    void save(storage::SaveStream& stream) override;
    // Reopens the resource, or destroys the object at once when the
    // resource is not to be reopened with a saved game.
    bool load(storage::LoadStream& stream) override;
    bool set_property(uint32_t id, const Property& value) override { return false; }

    ResourceInfo* get_info() const { return info_; }
    void* get_data() const { return data_; }
    uint32_t get_reference_count() const { return reference_count_; }
    void add_reference() { ++reference_count_; }
    // Answers the count left.
    uint32_t release_reference() { return --reference_count_; }
    void set_reference_count(uint32_t count) { reference_count_ = count; }

    // For the loader's shake, which moves records and memory.
    void set_info(ResourceInfo* info) { info_ = info; }
    void set_data(void* data) { data_ = data; }

private:
    void attach(ResourceInfo& info);
    void close();

    ResourceInfo* info_ = nullptr;
    void* data_ = nullptr;
    uint32_t reference_count_ = 0;
};

}  // namespace zolt::core

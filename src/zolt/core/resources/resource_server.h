#pragma once
// The server of resource objects (type 3, 10000 of them) and owner of the
// resource loader. Registering it opens the packs and loads those of key 0;
// unregistering it closes every object and shuts the loader down; saving and
// loading it saves and loads the marked packs before the objects. Together
// with the loader and its pools it is one static object of about 381 MiB.
// Main thread only; opening a deferred resource blocks until it is loaded.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/resources/resource_loader.h"
#include "zolt/core/resources/resource_object.h"

namespace zolt::core {

constexpr uint32_t resource_object_capacity = 10000;

class ResourceServer final : public PooledServer<ResourceObject, resource_object_capacity> {
public:
    ResourceServer();

    const char* get_name() const override { return "ResourceServer"; }
    void register_server() override;
    void unregister_server() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    // The object of the id with one more holder; the first open creates it.
    ServerObject* create_object_internal(uint32_t id) override;
    // One holder less; the last one destroys the object. Nothing when no
    // holder is left.
    void destroy_object_internal(ServerObject* object) override;
    // Every object goes, whatever its holders.
    void destroy_all_objects() override;
    // The loader's pools are reserved regions outside the object.
    uint32_t get_memory_size() const override {
        return static_cast<uint32_t>(sizeof(*this)) + general_resource_pool_size + second_resource_pool_size;
    }

    ResourceObject* open_resource(uint32_t id) { return static_cast<ResourceObject*>(create_object_internal(id)); }
    // Destroys the object now, whatever its holders.
    void destroy_object_now(ResourceObject* object) { ServerBase::destroy_object_internal(object); }

    ResourceLoader& get_loader() { return loader_; }

private:
    ResourceLoader loader_;
};

extern ResourceServer resource_server;

}  // namespace zolt::core

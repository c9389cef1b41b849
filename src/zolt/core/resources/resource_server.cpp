#include "zolt/core/resources/resource_server.h"

namespace zolt::core {

ResourceServer resource_server;

ResourceServer::ResourceServer() : PooledServer(server_type::resource) {}

void ResourceServer::register_server() {
    ServerBase::register_server();
    loader_.read_pack_list();
}

void ResourceServer::unregister_server() {
    ServerBase::unregister_server();
    loader_.shutdown();
}

void ResourceServer::save(storage::SaveStream& stream) {
    loader_.save_state(stream);
    ServerBase::save(stream);
}

bool ResourceServer::load(storage::LoadStream& stream) {
    return loader_.load_state(stream) && ServerBase::load(stream);
}

ServerObject* ResourceServer::create_object_internal(uint32_t id) {
    const ResourceInfo& info = loader_.get_resource_info(id);
    if (info.has_state(resource_state::open) && info.data.object != nullptr) {
        info.data.object->add_reference();
        return info.data.object;
    }
    auto* const object = static_cast<ResourceObject*>(ServerBase::create_object_internal(id));
    // A resource object belongs to the system: no script can give it away.
    ServerObject::make_self_owned(object);
    object->set_reference_count(1);
    return object;
}

void ResourceServer::destroy_object_internal(ServerObject* object) {
    auto* const resource = static_cast<ResourceObject*>(object);
    if (resource->get_reference_count() == 0) {
        return;
    }
    if (resource->release_reference() == 0) {
        ServerBase::destroy_object_internal(resource);
    }
}

void ResourceServer::destroy_all_objects() {
    // Releasing one holder each would leave objects with several holders
    // alive and this loop without end.
    while (ServerObject* const last = get_live_list().get_tail()) {
        ServerBase::destroy_object_internal(last);
    }
    free_all_dead_objects();
}

}  // namespace zolt::core

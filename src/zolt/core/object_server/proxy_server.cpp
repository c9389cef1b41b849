#include "zolt/core/object_server/proxy_server.h"

#include "zolt/core/object_server/stream_words.h"

namespace zolt::core {

ProxyServer proxy_server;

namespace {
bool is_proxy_own_property(uint32_t id) {
    return (id >= 1 && id <= 4) || (id >= base_property::handle && id <= base_property::alias);
}
}  // namespace

void Proxy::finalize() {
    if (ServerObject* const target = get_object(target_)) {
        destroy_object(target);
    }
    target_ = 0;
}

void Proxy::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u32(stream, target_);
}

bool Proxy::load(storage::LoadStream& stream) {
    return ServerObject::load(stream) && read_u32(stream, target_);
}

bool Proxy::get_property(uint32_t id, Property& out) const {
    if (is_proxy_own_property(id)) {
        return ServerObject::get_property(id, out);
    }
    const ServerObject* const target = resolve_handle(target_);
    return target != nullptr && target->get_property(id, out);
}

bool Proxy::set_property(uint32_t id, const Property& value) {
    if (id >= base_property::handle && id <= base_property::alias) {
        return ServerObject::set_property(id, value);
    }
    ServerObject* const target = resolve_handle(target_);
    return target != nullptr && target->set_property(id, value);
}

bool Proxy::remove_property(uint32_t id) {
    if (id >= base_property::handle && id <= base_property::alias) {
        return false;
    }
    ServerObject* const target = resolve_handle(target_);
    return target != nullptr && target->remove_property(id);
}

ServerObject* ProxyServer::get_object_resolved(ObjectHandle handle) {
    const Proxy* const proxy = get_typed_object(handle);
    return proxy != nullptr ? resolve_handle(proxy->get_target()) : nullptr;
}

}  // namespace zolt::core

#pragma once
// Proxies stand for another object: an object that owns itself (a shared
// resource, say) is given to scripts through a proxy, which can be owned,
// saved and destroyed like any object; destroying it releases the target.
#include "zolt/core/object_server/pooled_server.h"

namespace zolt::core {

class Proxy final : public ServerObject {
public:
    void initialize(uint32_t target) override { target_ = target; }
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, Property& out) const override;
    bool set_property(uint32_t id, const Property& value) override;
    bool remove_property(uint32_t id) override;

    ObjectHandle get_target() const { return target_; }

private:
    ObjectHandle target_ = 0;
};

class ProxyServer final : public PooledServer<Proxy, 2000> {
public:
    ProxyServer() : PooledServer(server_type::proxy) {}
    const char* get_name() const override { return "ProxyServer"; }
    ServerObject* get_object_resolved(ObjectHandle handle) override;
};

extern ProxyServer proxy_server;

}  // namespace zolt::core

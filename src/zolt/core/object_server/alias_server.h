#pragma once
// Aliases: fixed handles (server type 1, generation 0, index below 20000)
// chosen by the content, each pointed at any live object; lookups through an
// alias reach the object it points at. The server has no objects of its own,
// only the table of targets.
#include <cstdint>

#include "zolt/core/object_server/server_base.h"

namespace zolt::core {

constexpr uint32_t alias_count = 20000;

constexpr bool is_alias_handle(ObjectHandle handle) {
    return get_handle_server_type(handle) == server_type::alias && get_handle_generation(handle) == 0 &&
           get_handle_index(handle) < alias_count;
}

constexpr ObjectHandle make_alias_handle(uint32_t index) {
    return (server_type::alias << 20) + index;
}

class AliasServer final : public ServerBase {
public:
    AliasServer() : ServerBase(server_type::alias) {}

    const char* get_name() const override { return "AliasServer"; }
    uint32_t get_capacity() const override { return alias_count; }
    void register_server() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    ServerObject* get_object_address(ObjectHandle handle) override;
    ServerObject* get_object_internal(ObjectHandle handle) override;
    ServerObject* get_object_resolved(ObjectHandle handle) override;
    void destroy_object_internal(ServerObject* object) override;
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    // Refuses a non-alias, an alias target, and repointing an alias whose
    // target is still live.
    bool set_alias(ObjectHandle alias, ObjectHandle target);
    void clear_alias(ObjectHandle alias);
    // Clears every slot whose target no longer resolves.
    void purge_aliases();
    void remove_aliases_of(ObjectHandle target);
    ObjectHandle get_target(ObjectHandle alias) const;

private:
    uint32_t targets_[alias_count] = {};
};

extern AliasServer alias_server;

void remove_aliases_of(ServerObject* object);

}  // namespace zolt::core

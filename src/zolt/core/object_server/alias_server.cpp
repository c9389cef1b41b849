#include "zolt/core/object_server/alias_server.h"

#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/stream_words.h"

namespace zolt::core {

AliasServer alias_server;

void AliasServer::register_server() {
    ServerBase::register_server();
    for (uint32_t& target : targets_) {
        target = 0;
    }
}

void AliasServer::save(storage::SaveStream& stream) {
    ServerBase::save(stream);
    for (const uint32_t target : targets_) {
        write_u32(stream, target);
    }
}

bool AliasServer::load(storage::LoadStream& stream) {
    // The framework's record of a server without objects: its type and two
    // empty lists. A slot named there has no object to take it.
    uint32_t record[3] = {};
    for (uint32_t& word : record) {
        if (!read_u32(stream, word)) {
            return false;
        }
    }
    if (record[0] != get_type() || record[1] != 0 || record[2] != 0) {
        return false;
    }
    for (uint32_t& target : targets_) {
        if (!read_u32(stream, target)) {
            return false;
        }
    }
    return true;
}

ServerObject* AliasServer::get_object_address(ObjectHandle) {
    ZOLT_PANIC("can't take address of an alias");
}

ObjectHandle AliasServer::get_target(ObjectHandle alias) const {
    const uint32_t index = get_handle_index(alias);
    return index < alias_count ? targets_[index] : 0;
}

ServerObject* AliasServer::get_object_internal(ObjectHandle handle) {
    const ObjectHandle target = get_target(handle);
    ServerBase* const server = target != 0 ? get_server(get_handle_server_type(target)) : nullptr;
    return server != nullptr ? server->get_object_internal(target) : nullptr;
}

ServerObject* AliasServer::get_object_resolved(ObjectHandle handle) {
    const ObjectHandle target = get_target(handle);
    ServerBase* const server = target != 0 ? get_server(get_handle_server_type(target)) : nullptr;
    return server != nullptr ? server->get_object_resolved(target) : nullptr;
}

void AliasServer::destroy_object_internal(ServerObject* object) {
    destroy_object(object);
}

bool AliasServer::set_alias(ObjectHandle alias, ObjectHandle target) {
    if (!is_alias_handle(alias) || get_handle_server_type(target) == server_type::alias) {
        return false;
    }
    uint32_t& slot = targets_[get_handle_index(alias)];
    if (target != 0 && slot != 0 && slot != target && resolve_handle(slot) != nullptr) {
        return false;
    }
    slot = target;
    return true;
}

void AliasServer::clear_alias(ObjectHandle alias) {
    if (get_handle_server_type(alias) == server_type::alias && get_handle_index(alias) < alias_count) {
        targets_[get_handle_index(alias)] = 0;
    }
}

void AliasServer::purge_aliases() {
    for (uint32_t& target : targets_) {
        if (target != 0 && resolve_handle(target) == nullptr) {
            target = 0;
        }
    }
}

void AliasServer::remove_aliases_of(ObjectHandle target) {
    for (uint32_t& slot : targets_) {
        if (slot == target) {
            slot = 0;
        }
    }
}

void remove_aliases_of(ServerObject* object) {
    alias_server.remove_aliases_of(object->get_handle());
}

}  // namespace zolt::core

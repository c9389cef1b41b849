#include "zolt/core/script/code_server.h"

#include "libs/utility/crc32.h"
#include "libs/utility/ring_list.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_server.h"

namespace zolt::core {

CodeServer code_server;

CodeServer::CodeServer() : PooledServer(server_type::code) {}

void CodeServer::save(storage::SaveStream& stream) {
    ServerBase::save(stream);
    for (const CodeObject* const selected : selected_objects_) {
        write_u32(stream, selected != nullptr ? selected->get_handle() : 0);
    }
}

bool CodeServer::load(storage::LoadStream& stream) {
    for (CodeObject*& selected : selected_objects_) {
        selected = nullptr;
    }
    if (!ServerBase::load(stream)) {
        return false;
    }
    for (uint32_t chain_index = 0; chain_index < code_chain_count; ++chain_index) {
        uint32_t handle = 0;
        if (!read_u32(stream, handle)) {
            return false;
        }
        selected_objects_[chain_index] = get_code_object(handle);
    }
    return true;
}

void CodeServer::destroy_object_internal(ServerObject* object) {
    if (static_cast<CodeObject*>(object)->get_reference_count() != 0) {
        // Tasks would resume in freed code. Leaving the owner lets an owner
        // that is being destroyed finish.
        ServerObject::attach_to_owner(object, nullptr);
        return;
    }
    ServerBase::destroy_object_internal(object);
}

void CodeServer::destroy_all_objects() {
    while (ServerObject* const last = get_live_list().get_tail()) {
        ServerBase::destroy_object_internal(last);
    }
    free_all_dead_objects();
}

CodeObject* CodeServer::find_loaded_code_object(uint32_t key, uint32_t chain_index) const {
    if (chain_index >= code_chain_count) {
        return nullptr;
    }
    if (key == 0 && selected_objects_[chain_index] != nullptr) {
        return selected_objects_[chain_index];
    }
    if (CodeObject* const head = chain_heads_[chain_index]) {
        CodeObject* object = head;
        do {
            if (object->get_key() == key) {
                return object;
            }
            object = object->next_in_chain_;
        } while (object != head);
    }
    return nullptr;
}

CodeObject* CodeServer::find_code_object(uint32_t key, uint32_t chain_index) {
    if (chain_index >= code_chain_count) {
        return nullptr;
    }
    if (CodeObject* const loaded = find_loaded_code_object(key, chain_index)) {
        return loaded;
    }
    const uint32_t resource_id = make_code_resource_id(chain_index, key != 0 ? key : 1);
    const ResourceInfo* const info = resource_server.get_loader().find_resource(resource_id);
    if (info == nullptr) {
        return nullptr;
    }
    // A resource whose identity names another chain or key is already
    // loaded when an object holds it; a new object each time would fill the
    // pool.
    if (info->has_state(resource_state::open) && info->data.object != nullptr) {
        if (CodeObject* const holder = find_object_holding(info->data.object->get_handle())) {
            return holder;
        }
    }
    return static_cast<CodeObject*>(create_object_internal(resource_id));
}

ObjectHandle CodeServer::get_code_object_handle(uint32_t chain_index, uint32_t key) {
    if (key > max_code_key) {
        return 0;
    }
    const CodeObject* const object = find_code_object(key, chain_index);
    return object != nullptr ? object->get_handle() : 0;
}

uint32_t CodeServer::compute_code_crc() {
    uint32_t crc_register = crc32_start;
    for (const CodeObject* const head : chain_heads_) {
        if (head == nullptr) {
            continue;
        }
        const CodeObject* object = head;
        do {
            update_crc32(crc_register, object->get_resource_size(), object->get_resource_bytes());
            object = object->next_in_chain_;
        } while (object != head);
    }
    code_crc_ = crc_register;
    return crc_register;
}

void CodeServer::release_unused_code_objects() {
    // Destroying one object may destroy others it owns, so the candidates
    // are taken first and looked up again by handle.
    ObjectHandle candidates[code_object_capacity];
    uint32_t count = 0;
    const ObjectList& live = get_live_list();
    for (ServerObject* object = live.get_head(); object != nullptr;) {
        const auto* const code_object = static_cast<const CodeObject*>(object);
        if (code_object->get_reference_count() == 0 && !code_object->is_selected()) {
            candidates[count++] = code_object->get_handle();
        }
        object = ObjectList::get_next(object) != live.get_head() ? ObjectList::get_next(object) : nullptr;
    }
    for (uint32_t index = 0; index < count; ++index) {
        CodeObject* const object = get_typed_object(candidates[index]);
        if (object != nullptr && object->get_reference_count() == 0 && !object->is_selected()) {
            destroy_object_internal(object);
        }
    }
}

void CodeServer::link_object(CodeObject* object) {
    RingList<CodeObject, &CodeObject::next_in_chain_, &CodeObject::previous_in_chain_>::append(
        chain_heads_[object->chain_index_], object);
    object->is_linked_ = true;
}

void CodeServer::unlink_object(CodeObject* object) {
    RingList<CodeObject, &CodeObject::next_in_chain_, &CodeObject::previous_in_chain_>::remove(
        chain_heads_[object->chain_index_], object);
    object->next_in_chain_ = object->previous_in_chain_ = nullptr;
    object->is_linked_ = false;
}

CodeObject* CodeServer::find_object_holding(ObjectHandle resource_handle) {
    const ObjectList& live = get_live_list();
    for (ServerObject* object = live.get_head(); object != nullptr;) {
        auto* const code_object = static_cast<CodeObject*>(object);
        if (code_object->is_linked_ && code_object->get_resource_handle() == resource_handle) {
            return code_object;
        }
        object = ObjectList::get_next(object) != live.get_head() ? ObjectList::get_next(object) : nullptr;
    }
    return nullptr;
}

CodeObject* get_code_object(ObjectHandle handle) {
    if (get_handle_server_type(handle) != server_type::code) {
        return nullptr;
    }
    return code_server.get_typed_object(handle);
}

}  // namespace zolt::core

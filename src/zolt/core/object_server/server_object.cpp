#include "zolt/core/object_server/server_object.h"

#include "libs/utility/fatal_error.h"
#include "libs/utility/ring_list.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/object_server/stream_words.h"

namespace zolt::core {

ServerObject::~ServerObject() {
    previous_->next_ = next_;
    next_->previous_ = previous_;
    next_ = previous_ = this;
}

void ServerObject::save(storage::SaveStream& stream) {
    write_u32(stream, handle_);
    write_u32(stream, context_handle_);
}

bool ServerObject::load(storage::LoadStream& stream) {
    return read_u32(stream, context_handle_);
}

void ServerObject::placement_changed() {
    ZOLT_PANIC("object 0x%08x received unexpected placement update notification", handle_);
}

namespace {
ObjectHandle handle_of(const ServerObject* object) {
    return object != nullptr ? object->get_handle() : 0;
}
}  // namespace

bool ServerObject::get_property(uint32_t id, Property& out) const {
    const uint32_t key = id & 0xFFFFFFu;
    if (!is_bare_property_key(id) && get_property_value_type(id) != property_type::object_link) {
        return false;
    }
    const uint32_t type_word = property_type::unsigned_integer << 24;
    switch (key) {
    case 1:
        out.set_u32(type_word, handle_);
        return true;
    case 2:
        out.set_u32(type_word, context_handle_);
        return true;
    case 3:
        out.set_u32(type_word, handle_of(owner_));
        return true;
    case 5:
        out.set_u32(type_word, handle_of(first_child_));
        return true;
    case 6:
        out.set_u32(type_word, handle_of(get_last_child()));
        return true;
    case 7:
        // The ring wraps, but the last child has no next sibling to a script.
        out.set_u32(type_word, owner_ == nullptr || owns_itself() || next_sibling_ == owner_->first_child_
                                   ? 0
                                   : handle_of(next_sibling_));
        return true;
    case 8:
        out.set_u32(type_word, owner_ == nullptr || owns_itself() || this == owner_->first_child_
                                   ? 0
                                   : handle_of(previous_sibling_));
        return true;
    default:
        return false;
    }
}

bool ServerObject::set_property(uint32_t id, const Property& value) {
    switch (id) {
    case base_property::context: {
        Property resolved;
        resolve_alias_handle(value.get_u32(), resolved);
        context_handle_ = resolved.get_u32();
        return true;
    }
    case base_property::owner:
        return set_owner(this, value.get_u32());
    case base_property::alias:
        if (value.get_u32() != 0) {
            return alias_server.set_alias(value.get_u32(), handle_);
        }
        remove_aliases_of(this);
        return true;
    default:
        return false;
    }
}

void ServerObject::detach_from_owner() {
    if (owner_ == nullptr) {
        return;
    }
    if (owner_ != this) {
        using SiblingRing = RingList<ServerObject, &ServerObject::next_sibling_, &ServerObject::previous_sibling_>;
        SiblingRing::remove(owner_->first_child_, this);
        next_sibling_ = previous_sibling_ = this;
    }
    owner_ = nullptr;
}

void ServerObject::attach_to_owner(ServerObject* object, ServerObject* new_owner) {
    object->detach_from_owner();
    object->owner_ = new_owner;
    if (new_owner == nullptr) {
        return;
    }
    if (new_owner != object) {
        using SiblingRing = RingList<ServerObject, &ServerObject::next_sibling_, &ServerObject::previous_sibling_>;
        SiblingRing::append(new_owner->first_child_, object);
    }
}

bool ServerObject::is_in_owner_chain(const ServerObject* start, const ServerObject* object) {
    for (const ServerObject* walker = start; walker != nullptr; walker = walker->owner_) {
        if (walker == object) {
            return true;
        }
        if (walker->owns_itself()) {
            break;
        }
    }
    return false;
}

bool ServerObject::change_owner(ServerObject* object, ServerObject* new_owner) {
    if (object->owns_itself() || is_in_owner_chain(new_owner, object)) {
        return false;
    }
    attach_to_owner(object, new_owner);
    return true;
}

bool ServerObject::set_owner(ServerObject* object, ObjectHandle owner_handle) {
    if (owner_handle == 0) {
        if (object->owns_itself()) {
            return false;
        }
        object->detach_from_owner();
        return true;
    }
    ServerObject* const owner = get_object(owner_handle);
    return owner != nullptr && change_owner(object, owner);
}

void ServerObject::make_self_owned(ServerObject* object) {
    object->detach_from_owner();
    object->owner_ = object;
}

uint32_t get_property_type(const ServerObject* object, uint32_t id) {
    Property answer;
    if (!object->get_property(id, answer)) {
        return 0;
    }
    return is_bare_property_key(id) ? answer.id : id;
}

bool set_properties(ServerObject* object, uint32_t count, const Property* properties) {
    bool all_set = true;
    for (uint32_t index = 0; index < count; ++index) {
        all_set = object->set_property(properties[index].id, properties[index]) && all_set;
    }
    return all_set;
}

void resolve_alias_handle(ObjectHandle handle, Property& out) {
    if (get_handle_server_type(handle) == server_type::alias) {
        const ServerObject* const target = alias_server.get_object_internal(handle);
        handle = target != nullptr ? target->get_handle() : 0;
    }
    out.set_u32(property_type::unsigned_integer << 24, handle);
}

ServerObject* get_property_object(const Property& property) {
    return get_object(property.get_u32());
}

}  // namespace zolt::core

#pragma once
// The base of every object a server keeps: its handle, a context handle, and
// the owner and child links that make objects a forest (destroying an object
// destroys what it owns). Objects answer typed properties by id; each class
// answers the ids it knows and passes the rest to its base. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"
#include "zolt/core/object_server/property.h"

namespace zolt::storage {
class SaveStream;
class LoadStream;
}  // namespace zolt::storage

namespace zolt::core {

class Message;

// Base property ids.
namespace base_property {
constexpr uint32_t handle = 0x01000001, context = 0x01000002, owner = 0x01000003, alias = 0x01000004,
                   first_child = 0x01000005, last_child = 0x01000006, next_sibling = 0x01000007,
                   previous_sibling = 0x01000008;
}  // namespace base_property

class ServerObject {
public:
    ServerObject() = default;
    ServerObject(const ServerObject&) = delete;
    ServerObject& operator=(const ServerObject&) = delete;
    virtual ~ServerObject();

    virtual void initialize(uint32_t argument) = 0;
    virtual void finalize() = 0;
    // Writes the handle and the context handle; classes append their data.
    virtual void save(storage::SaveStream& stream);
    // Reads the context handle (the server read the handle); false when the
    // stream is broken.
    virtual bool load(storage::LoadStream& stream);
    virtual void loaded() {}
    virtual void links_restored() {}
    virtual void resources_moved() {}
    virtual bool handle_message(Message* message) { return false; }
    virtual void placement_changed();
    virtual bool get_property(uint32_t id, Property& out) const;
    virtual bool set_property(uint32_t id, const Property& value);
    virtual bool remove_property(uint32_t id) { return false; }
    virtual uint32_t get_element(uint32_t index) const { return 0; }
    virtual uint32_t set_element(uint32_t index, uint32_t value) { return 0; }
    virtual uint32_t insert_element(uint32_t index, uint32_t value) { return 0; }
    virtual uint32_t remove_element(uint32_t index) { return 0; }
    virtual uint32_t append_element(uint32_t value) { return 0; }

    ObjectHandle get_handle() const { return handle_; }
    ObjectHandle get_context_handle() const { return context_handle_; }
    void set_context_handle(ObjectHandle handle) { context_handle_ = handle; }
    ServerObject* get_owner() const { return owner_; }
    ServerObject* get_first_child() const { return first_child_; }
    ServerObject* get_last_child() const { return first_child_ != nullptr ? first_child_->previous_sibling_ : nullptr; }
    ServerObject* get_next_sibling() const { return next_sibling_; }
    ServerObject* get_previous_sibling() const { return previous_sibling_; }
    bool owns_itself() const { return owner_ == this; }

    // Detaches from the current owner and appends to the end of the new
    // owner's children; no checks.
    static void attach_to_owner(ServerObject* object, ServerObject* new_owner);
    // Refuses a self-owned object and any move that would make a cycle.
    static bool change_owner(ServerObject* object, ServerObject* new_owner);
    // Handle 0 detaches; otherwise the handle must name a live object.
    static bool set_owner(ServerObject* object, ObjectHandle owner_handle);
    // Marks the object as belonging to the system: its owner is itself.
    static void make_self_owned(ServerObject* object);
    // True when walking up from start meets object.
    static bool is_in_owner_chain(const ServerObject* start, const ServerObject* object);

private:
    friend class ServerBase;
    friend class ObjectList;

    void detach_from_owner();

    ServerObject* next_ = this;
    ServerObject* previous_ = this;
    ObjectHandle handle_ = 0;
    ObjectHandle context_handle_ = 0;
    ServerObject* owner_ = nullptr;
    ServerObject* first_child_ = nullptr;
    ServerObject* next_sibling_ = this;
    ServerObject* previous_sibling_ = this;
    // Which of its server's lists holds the object.
    uint8_t list_kind_ = 0;
};

// 0 when the object does not answer the id; the typed id itself, or the
// value type word the object answered for a bare key.
uint32_t get_property_type(const ServerObject* object, uint32_t id);
// Sets every record even after a refusal; true when all succeeded.
bool set_properties(ServerObject* object, uint32_t count, const Property* properties);
// Stores the handle; an alias handle becomes the handle of what it names.
void resolve_alias_handle(ObjectHandle handle, Property& out);
ServerObject* get_property_object(const Property& property);

}  // namespace zolt::core

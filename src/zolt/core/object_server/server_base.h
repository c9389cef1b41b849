#pragma once
// The object-server framework. Every server is a global singleton that owns a
// fixed pool of objects and hands them out by handle. Registered servers sit
// in a table indexed by server type and on one ring in registration order,
// which saving, loading and restarting walk. Objects are free, live, or dead
// (destroyed but still used by the renderer) and sit on exactly one of the
// server's three lists. Main thread only.
#include <cstddef>
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"
#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/backend/rendering_command.h"

namespace zolt::core {

struct ServerStatistics {
    uint32_t live_count;
    uint32_t high_water_count;
    uint32_t capacity;
    uint32_t object_size;
};

// A circular doubly linked list through the objects' own links.
class ObjectList {
public:
    ServerObject* get_head() const { return head_; }
    ServerObject* get_tail() const { return head_ != nullptr ? head_->previous_ : nullptr; }
    bool is_empty() const { return head_ == nullptr; }
    void append(ServerObject* object);
    void remove(ServerObject* object);
    ServerObject* take_head();
    static ServerObject* get_next(const ServerObject* object) { return object->next_; }

private:
    ServerObject* head_ = nullptr;
};

class ServerBase {
public:
    explicit ServerBase(uint32_t type);
    ServerBase(const ServerBase&) = delete;
    ServerBase& operator=(const ServerBase&) = delete;
    virtual ~ServerBase();

    virtual const char* get_name() const = 0;
    virtual uint32_t get_capacity() const = 0;
    virtual void register_server();
    virtual void unregister_server();
    virtual void start();
    virtual void stop();
    virtual void save(storage::SaveStream& stream);
    // False when the stream does not describe a valid state of this server.
    virtual bool load(storage::LoadStream& stream);
    virtual void notify_loaded();
    virtual void notify_links_restored();
    virtual void notify_resources_moved();
    // The object in the slot named by the handle's index, unchecked.
    virtual ServerObject* get_object_address(ObjectHandle handle) = 0;
    // The object only when its stored handle equals the handle.
    virtual ServerObject* get_object_internal(ObjectHandle handle) = 0;
    // The object the handle finally names (aliases and proxies follow).
    virtual ServerObject* get_object_resolved(ObjectHandle handle) = 0;
    virtual bool try_make_room(bool on_rendering_thread) { return false; }
    // Frees dead objects the renderer no longer uses; true when none is left.
    virtual bool release_dead_objects(bool on_rendering_thread);
    virtual bool has_dead_objects() const { return !dead_list_.is_empty(); }
    virtual void free_all_dead_objects();
    virtual ServerObject* create_object_internal(uint32_t argument);
    virtual void destroy_object_internal(ServerObject* object);
    virtual void destroy_all_objects();
    virtual void object_created(ServerObject* object) {}
    virtual void object_loaded(ServerObject* object) {}
    virtual void object_destroyed(ServerObject* object) {}
    virtual bool is_object_in_use(ServerObject* object, bool on_rendering_thread) { return false; }
    virtual void object_released(ServerObject* object) {}
    virtual void update() {}
    virtual bool get_statistics(ServerStatistics& out) const { return false; }
    virtual uint32_t get_memory_size() const { return sizeof(ServerBase); }

    uint32_t get_type() const { return type_; }
    uint32_t get_live_count() const { return live_count_; }
    uint32_t get_high_water_count() const { return high_water_count_; }
    bool is_registered() const;
    ServerBase* get_next_server() const { return next_; }
    ServerBase* get_previous_server() const { return previous_; }
    const ObjectList& get_live_list() const { return live_list_; }
    const ObjectList& get_free_list() const { return free_list_; }
    const ObjectList& get_dead_list() const { return dead_list_; }

    // The fast lookup of plain pools: the first object, the distance between
    // objects and their count; no array when lookups need the server's code.
    const uint8_t* get_object_array() const { return object_array_; }
    uint32_t get_object_stride() const { return object_stride_; }
    uint32_t get_object_array_count() const { return object_array_count_; }

protected:
    void set_object_array(ServerObject* first, uint32_t stride, uint32_t count) {
        object_array_ = reinterpret_cast<const uint8_t*>(first);
        object_stride_ = stride;
        object_array_count_ = count;
    }
    // Pool start: the slot's first stored handle, and onto the free list.
    void add_free_slot(ServerObject* object, uint32_t slot);
    ServerObject* take_free_object();
    uint32_t live_count_ = 0;
    uint32_t high_water_count_ = 0;

private:
    ServerBase* next_ = this;
    ServerBase* previous_ = this;
    ObjectList live_list_;
    ObjectList dead_list_;
    ObjectList free_list_;
    uint32_t type_;
    const uint8_t* object_array_ = nullptr;
    uint32_t object_stride_ = 0;
    uint32_t object_array_count_ = 0;
};

namespace detail {
// Beside the server table: the object array of each registered plain pool,
// so a lookup reaches the object without going through the server.
struct ObjectArrayLookup {
    const uint8_t* array;
    uint32_t stride;
    uint32_t count;
};
extern ServerBase* server_table[server_table_size];
extern ObjectArrayLookup object_array_table[server_table_size];
}  // namespace detail

// A table index, a multiply and one comparison for plain pools.
inline ServerObject* get_object(ObjectHandle handle) {
    const uint32_t type = get_handle_server_type(handle);
    const detail::ObjectArrayLookup& lookup = detail::object_array_table[type];
    if (lookup.array != nullptr) {
        const uint32_t index = get_handle_index(handle);
        if (index >= lookup.count) {
            return nullptr;
        }
        const auto* object = reinterpret_cast<const ServerObject*>(lookup.array + size_t{index} * lookup.stride);
        return object->get_handle() == handle ? const_cast<ServerObject*>(object) : nullptr;
    }
    ServerBase* const server = detail::server_table[type];
    return server != nullptr ? server->get_object_internal(handle) : nullptr;
}

// Visits the server's live objects in live order; the visit may destroy the
// object it is given.
template <typename Visit>
void for_each_live_object(const ServerBase* server, Visit visit) {
    const ObjectList& live = server->get_live_list();
    for (ServerObject* object = live.get_head(); object != nullptr;) {
        ServerObject* const next =
            ObjectList::get_next(object) != live.get_head() ? ObjectList::get_next(object) : nullptr;
        visit(object);
        object = next;
    }
}

ServerBase* get_server(uint32_t type);
ServerObject* resolve_handle(ObjectHandle handle);
void destroy_object(ServerObject* object);
ServerBase* get_first_server();
ServerBase* get_last_server();
void release_all_dead_objects();
bool any_server_has_dead_objects();
void notify_all_resources_moved();
void restart_servers();
void save_all_servers(storage::SaveStream& stream);
// False, with every server restarted empty, when the stream is not a valid
// saved world; a valid one restores every handle, link and free-slot order.
bool load_all_servers(storage::LoadStream& stream);

// The rendering commands the server framework issues, free_dead_objects (one
// pass over dead render objects) and free_all_dead_objects (until none is
// left); the renderer installs its own runner.
using RenderingCommandRunner = void (*)(uint32_t command);
void set_rendering_command_runner(RenderingCommandRunner runner);
void run_rendering_command(renderer::RenderingCommand command);
// True while the current thread runs a rendering command body.
bool is_in_rendering_command();
void set_in_rendering_command(bool in_command);

}  // namespace zolt::core

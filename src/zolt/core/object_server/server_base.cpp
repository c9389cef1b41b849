#include "zolt/core/object_server/server_base.h"

#include <vector>

#include "libs/utility/fatal_error.h"
#include "libs/utility/ring_list.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/renderer/backend/rendering_command.h"

namespace zolt::core {
namespace detail {
ServerBase* server_table[server_table_size];
ObjectArrayLookup object_array_table[server_table_size];
}  // namespace detail

namespace {
using detail::server_table;

enum ListKind : uint8_t { on_free_list = 0, on_live_list = 1, on_dead_list = 2 };

ServerBase* ring_head = nullptr;

RenderingCommandRunner rendering_command_runner = nullptr;
bool in_rendering_command = false;

// The next word of a 0-terminated list: true with a word, false at the
// terminator, or at a stream that ends early (then broken is set).
bool read_list_word(storage::LoadStream& stream, uint32_t& value, bool& broken) {
    if (!read_u32(stream, value)) {
        broken = true;
        return false;
    }
    return value != 0;
}

// Passes over every server before the rendering-thread recovery gives up on
// dead objects that stay in use.
constexpr uint32_t dead_object_release_pass_limit = 64;
template <typename Visit>
void for_each_server(Visit visit) {
    for (ServerBase* server = ring_head; server != nullptr;) {
        ServerBase* const next = server->get_next_server() != ring_head ? server->get_next_server() : nullptr;
        visit(server);
        server = next;
    }
}

}  // namespace

void ObjectList::append(ServerObject* object) {
    RingList<ServerObject, &ServerObject::next_, &ServerObject::previous_>::append(head_, object);
}

void ObjectList::remove(ServerObject* object) {
    RingList<ServerObject, &ServerObject::next_, &ServerObject::previous_>::remove(head_, object);
    object->next_ = object->previous_ = object;
}

ServerObject* ObjectList::take_head() {
    ServerObject* const head = head_;
    if (head != nullptr) {
        remove(head);
    }
    return head;
}

ServerBase::ServerBase(uint32_t type) : type_(type) {}

ServerBase::~ServerBase() {
    if (is_registered()) {
        server_table[type_] = nullptr;
        detail::object_array_table[type_] = {};
        RingList<ServerBase, &ServerBase::next_, &ServerBase::previous_>::remove(ring_head, this);
    }
}

bool ServerBase::is_registered() const {
    return server_table[type_] == this;
}

void ServerBase::register_server() {
    server_table[type_] = this;
    detail::object_array_table[type_] = {object_array_, object_stride_, object_array_count_};
    RingList<ServerBase, &ServerBase::next_, &ServerBase::previous_>::append(ring_head, this);
}

void ServerBase::unregister_server() {
    destroy_all_objects();
    if (server_table[type_] == this) {
        server_table[type_] = nullptr;
        detail::object_array_table[type_] = {};
    }
    RingList<ServerBase, &ServerBase::next_, &ServerBase::previous_>::remove(ring_head, this);
    next_ = previous_ = this;
}

void ServerBase::start() {
    register_server();
}

void ServerBase::stop() {
    unregister_server();
}

void ServerBase::add_free_slot(ServerObject* object, uint32_t slot) {
    object->handle_ = make_free_slot_handle(type_, slot);
    object->list_kind_ = on_free_list;
    free_list_.append(object);
}

ServerObject* ServerBase::take_free_object() {
    if (!free_list_.is_empty()) {
        return free_list_.take_head();
    }
    // Inside a rendering command the renderer's own commands cannot be issued,
    // so the recovery releases what the servers can release directly.
    const bool on_rendering_thread = is_in_rendering_command();
    for (uint32_t step = 0;; ++step) {
        if (try_make_room(on_rendering_thread)) {
            step = 0;
        }
        if (!free_list_.is_empty()) {
            return free_list_.take_head();
        }
        switch (step) {
        case 0:
            release_dead_objects(on_rendering_thread);
            break;
        case 1:
            if (on_rendering_thread) {
                release_all_dead_objects();
            } else {
                run_rendering_command(renderer::free_dead_objects_command);
            }
            break;
        case 2:
            if (on_rendering_thread) {
                // Bounded: an object the renderer never lets go must not hang the game.
                for (uint32_t pass = 0; pass < dead_object_release_pass_limit && any_server_has_dead_objects();
                     ++pass) {
                    release_all_dead_objects();
                }
            } else {
                run_rendering_command(renderer::free_all_dead_objects_command);
            }
            break;
        default:
            return nullptr;
        }
    }
}

ServerObject* ServerBase::create_object_internal(uint32_t argument) {
    ServerObject* const object = take_free_object();
    if (object == nullptr) {
        ZOLT_PANIC("can't allocate more objects in %s", get_name());
    }
    live_list_.append(object);
    object->list_kind_ = on_live_list;
    object->handle_ += handle_creation_step;
    object->context_handle_ = object->handle_;
    object_created(object);
    object->initialize(argument);
    ++live_count_;
    if (live_count_ > high_water_count_) {
        high_water_count_ = live_count_;
    }
    return object;
}

void ServerBase::destroy_object_internal(ServerObject* object) {
    // A self-owned object is not in its own child ring; unlinking it from
    // there would orphan its children.
    if (object->owner_ != nullptr && object->owner_ != object) {
        object->detach_from_owner();
    }
    object->owner_ = nullptr;
    while (object->first_child_ != nullptr) {
        ServerObject* const child = object->get_last_child();
        destroy_object(child);
    }
    object->finalize();
    object_destroyed(object);
    object->handle_ += 1;
    --live_count_;
    live_list_.remove(object);
    if (is_object_in_use(object, false)) {
        object->list_kind_ = on_dead_list;
        dead_list_.append(object);
    } else {
        object_released(object);
        object->list_kind_ = on_free_list;
        free_list_.append(object);
    }
}

void ServerBase::destroy_all_objects() {
    while (ServerObject* const last = live_list_.get_tail()) {
        destroy_object_internal(last);
    }
    free_all_dead_objects();
}

bool ServerBase::release_dead_objects(bool on_rendering_thread) {
    while (ServerObject* const head = dead_list_.get_head()) {
        if (is_object_in_use(head, on_rendering_thread)) {
            break;
        }
        dead_list_.remove(head);
        object_released(head);
        head->list_kind_ = on_free_list;
        free_list_.append(head);
    }
    return dead_list_.is_empty();
}

void ServerBase::free_all_dead_objects() {
    if (release_dead_objects(false)) {
        return;
    }
    run_rendering_command(renderer::free_dead_objects_command);
    if (release_dead_objects(false)) {
        return;
    }
    run_rendering_command(renderer::free_all_dead_objects_command);
    if (!release_dead_objects(false)) {
        ZOLT_PANIC("Destruction of dead objects failed");
    }
}

void ServerBase::notify_loaded() {
    for_each_live_object(this, [](ServerObject* object) { object->loaded(); });
}

void ServerBase::notify_links_restored() {
    for_each_live_object(this, [](ServerObject* object) { object->links_restored(); });
}

void ServerBase::notify_resources_moved() {
    for_each_live_object(this, [](ServerObject* object) { object->resources_moved(); });
}

void ServerBase::save(storage::SaveStream& stream) {
    write_u32(stream, type_);
    for (ServerObject* object = free_list_.get_head(); object != nullptr;) {
        write_u32(stream, object->handle_);
        object = object->next_ != free_list_.get_head() ? object->next_ : nullptr;
    }
    write_u32(stream, 0);
    for_each_live_object(this, [&](ServerObject* object) { object->save(stream); });
    write_u32(stream, 0);
}

bool ServerBase::load(storage::LoadStream& stream) {
    uint32_t loaded_type = 0;
    if (!read_u32(stream, loaded_type) || loaded_type != type_) {
        report_message(MessageKind::Warning, nullptr, nullptr, 0,
                       "load failed: server type %u doesn't match loaded type %u", type_, loaded_type);
        return false;
    }
    // A saved world names every slot at most once, in its own server's range,
    // and only slots that are free when loading starts.
    const uint32_t capacity = get_capacity();
    std::vector<uint8_t> seen(capacity, 0);
    auto take_slot = [&](uint32_t index_field, uint32_t handle_type) -> ServerObject* {
        if (handle_type != type_ || index_field >= capacity || seen[index_field] != 0) {
            return nullptr;
        }
        ServerObject* const object = get_object_address(make_free_slot_handle(type_, index_field) - 1);
        if (object->list_kind_ != on_free_list) {
            return nullptr;
        }
        seen[index_field] = 1;
        return object;
    };
    bool broken = false;
    uint32_t value = 0;
    while (read_list_word(stream, value, broken)) {
        ServerObject* const object = take_slot(get_handle_index(value - 1), get_handle_server_type(value - 1));
        if (object == nullptr) {
            return false;
        }
        free_list_.remove(object);
        object->handle_ = value;
        free_list_.append(object);
    }
    if (broken) {
        return false;
    }
    uint32_t handle = 0;
    while (read_list_word(stream, handle, broken)) {
        ServerObject* const object = take_slot(get_handle_index(handle), get_handle_server_type(handle));
        if (object == nullptr) {
            return false;
        }
        free_list_.remove(object);
        live_list_.append(object);
        object->list_kind_ = on_live_list;
        ++live_count_;
        object->handle_ = handle;
        object_loaded(object);
        if (!object->load(stream)) {
            return false;
        }
    }
    if (broken) {
        return false;
    }
    if (live_count_ > high_water_count_) {
        high_water_count_ = live_count_;
    }
    return true;
}

ServerBase* get_server(uint32_t type) {
    return type < server_table_size ? server_table[type] : nullptr;
}

ServerObject* resolve_handle(ObjectHandle handle) {
    ServerBase* const server = server_table[get_handle_server_type(handle)];
    return server != nullptr ? server->get_object_resolved(handle) : nullptr;
}

void destroy_object(ServerObject* object) {
    ServerBase* const server = server_table[get_handle_server_type(object->get_handle())];
    if (server == nullptr) {
        ZOLT_PANIC("object 0x%08x has no registered server", object->get_handle());
    }
    server->destroy_object_internal(object);
}

ServerBase* get_first_server() {
    return ring_head;
}

ServerBase* get_last_server() {
    return ring_head != nullptr ? ring_head->get_previous_server() : nullptr;
}

void release_all_dead_objects() {
    if (ring_head == nullptr) {
        return;
    }
    ServerBase* server = get_last_server();
    for (;;) {
        server->release_dead_objects(true);
        if (server == ring_head) {
            break;
        }
        server = server->get_previous_server();
    }
}

bool any_server_has_dead_objects() {
    for (ServerBase* server = ring_head; server != nullptr;) {
        if (server->has_dead_objects()) {
            return true;
        }
        server = server->get_next_server() != ring_head ? server->get_next_server() : nullptr;
    }
    return false;
}

void notify_all_resources_moved() {
    for_each_server([](ServerBase* server) { server->notify_resources_moved(); });
}

void restart_servers() {
    ServerBase* const last = get_last_server();
    if (last == nullptr) {
        return;
    }
    last->stop();
    restart_servers();
    last->start();
}

void save_all_servers(storage::SaveStream& stream) {
    for_each_server([&](ServerBase* server) { server->save(stream); });
    for_each_server([&](ServerBase* server) {
        for_each_live_object(server, [&](ServerObject* object) {
            ServerObject* const first = object->get_first_child();
            if (first == nullptr) {
                return;
            }
            write_u32(stream, object->get_handle());
            ServerObject* child = first;
            do {
                write_u32(stream, child->get_handle());
                child = child->get_next_sibling();
            } while (child != first);
            write_u32(stream, 0);
        });
    });
    write_u32(stream, 0);
}

namespace {
bool load_servers_and_links(storage::LoadStream& stream) {
    bool loaded = true;
    for_each_server([&](ServerBase* server) {
        if (loaded) {
            loaded = server->load(stream);
            if (loaded) {
                server->notify_loaded();
            }
        }
    });
    if (!loaded) {
        return false;
    }
    bool broken = false;
    uint32_t owner_handle = 0;
    while (read_list_word(stream, owner_handle, broken)) {
        ServerObject* const owner = get_object(owner_handle);
        uint32_t child_handle = 0;
        while (read_list_word(stream, child_handle, broken)) {
            ServerObject* const child = get_object(child_handle);
            if (child == nullptr) {
                continue;
            }
            if (owner == nullptr) {
                destroy_object(child);
                continue;
            }
            // Links that would make an owner cycle or move a system object
            // cannot come from a saved world.
            if (child->owns_itself() || ServerObject::is_in_owner_chain(owner, child)) {
                return false;
            }
            ServerObject::attach_to_owner(child, owner);
        }
    }
    if (broken) {
        return false;
    }
    for_each_server([](ServerBase* server) { server->notify_links_restored(); });
    return true;
}
}  // namespace

bool load_all_servers(storage::LoadStream& stream) {
    restart_servers();
    if (load_servers_and_links(stream)) {
        return true;
    }
    restart_servers();
    return false;
}

void set_rendering_command_runner(RenderingCommandRunner runner) {
    rendering_command_runner = runner;
}

void run_rendering_command(renderer::RenderingCommand command) {
    if (rendering_command_runner != nullptr) {
        rendering_command_runner(command);
        return;
    }
    // Until a renderer holds objects, freeing dead render objects is the
    // servers' own release, once or until nothing is left.
    if (command == renderer::free_dead_objects_command) {
        release_all_dead_objects();
    } else if (command == renderer::free_all_dead_objects_command) {
        for (uint32_t pass = 0; pass < dead_object_release_pass_limit && any_server_has_dead_objects(); ++pass) {
            release_all_dead_objects();
        }
    }
}

bool is_in_rendering_command() {
    return in_rendering_command;
}

void set_in_rendering_command(bool in_command) {
    in_rendering_command = in_command;
}

}  // namespace zolt::core

#pragma once
// Game objects (server type 16): the script-side ends of network messages
// and general-purpose script objects. A game object keeps any script
// properties in a dictionary made on first use, hands each message to its
// state machine (property 0x100001E) and starts a handler task for it
// (property 0x200001D), and may be registered under a 32-bit network key by
// which the host addresses "the same" object on every machine.
//
// GameServer keeps 15000 of them and the key table: 30000 buckets of
// circular doubly linked rings over a fixed pool of 15000 entries, one per
// object at most, since registering again replaces the object's key. Main
// thread only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"

namespace zolt::core {
class Task;
}  // namespace zolt::core

namespace zolt::servers {

using core::Message;
using core::ObjectHandle;
using core::Property;
using core::ServerObject;

constexpr uint32_t game_object_capacity = 15000;
constexpr uint32_t game_key_bucket_count = 30000;
constexpr uint32_t game_key_entry_count = game_object_capacity;

namespace game_object_property {
constexpr uint32_t state_machine = 0x100001E, message_handler = 0x200001D;
}  // namespace game_object_property

// Entry point of the handler tasks of game objects.
constexpr uint32_t game_object_handler_code_reference = 0x4004;

// How a message from the network names its recipient.
enum class DeliveryMode : uint32_t {
    normal = 0,
    // From a client: a game-object handle that must accept client messages.
    from_client = 1,
    // From the host: a network key.
    from_host = 2,
};

class GameObject final : public ServerObject {
public:
    void initialize(uint32_t argument) override;
    // Takes the key out of the table and destroys the dictionary.
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool handle_message(Message* message) override;
    bool get_property(uint32_t id, Property& out) const override;
    bool set_property(uint32_t id, const Property& value) override;
    bool remove_property(uint32_t id) override;

    // A task owned by this object, not yet given its arguments; null when
    // the task server has none to give.
    core::Task* create_task();
    // A new dictionary with a copy of the properties; 0 without any.
    ObjectHandle copy_properties() const;
    // True without a dictionary, else whether the given one holds the same.
    bool compare_properties(ObjectHandle dictionary) const;

    bool accepts_client_messages() const { return accepts_client_messages_; }
    void set_accepts_client_messages(bool accepts) { accepts_client_messages_ = accepts; }
    uint32_t get_network_key() const { return network_key_; }
    ObjectHandle get_dictionary() const { return dictionary_; }

private:
    friend class GameServer;

    ObjectHandle dictionary_ = 0;
    bool accepts_client_messages_ = false;
    uint32_t network_key_ = 0;
};

class GameServer final : public core::PooledServer<GameObject, game_object_capacity> {
public:
    GameServer();

    const char* get_name() const override { return "GameServer"; }
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }
    void register_server() override;
    void unregister_server() override;

    // The object registered under the key, or 0.
    ObjectHandle find_key(uint32_t key) const;
    // Registers the object under the key, replacing a key it had; key 0
    // only removes the old one.
    void insert_key(GameObject& object, uint32_t key);
    // Takes the object's own entry out of the table.
    void remove_key(GameObject& object);
    uint32_t get_free_key_entry_count() const { return free_entry_count_; }

    // A message with a delivery mode: finds its game object and hands the
    // message to it; whether the object kept it.
    static bool deliver_network_message(Message* message);

private:
    static constexpr uint32_t no_entry = 0xFFFFFFFF;

    struct KeyEntry {
        uint32_t key;
        ObjectHandle object;
        uint32_t next;
        uint32_t previous;
    };

    void reset_key_table();

    uint32_t bucket_heads_[game_key_bucket_count];
    KeyEntry entries_[game_key_entry_count];
    uint32_t free_head_ = no_entry;
    uint32_t free_entry_count_ = 0;
};

extern GameServer game_server;

// The live game object the handle names, or null.
GameObject* find_game_object(ObjectHandle handle);

}  // namespace zolt::servers

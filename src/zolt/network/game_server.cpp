#include "zolt/network/game_server.h"

#include "libs/utility/fatal_error.h"
#include "zolt/core/events/message.h"

namespace zolt::servers {

GameServer game_server;

GameObject* find_game_object(ObjectHandle handle) {
    if (core::get_handle_server_type(handle) != core::server_type::game || !game_server.is_registered()) {
        return nullptr;
    }
    return game_server.get_typed_object(handle);
}

GameServer::GameServer() : PooledServer(core::server_type::game) {
    reset_key_table();
}

void GameServer::reset_key_table() {
    for (uint32_t& head : bucket_heads_) {
        head = no_entry;
    }
    for (uint32_t i = 0; i < game_key_entry_count; ++i) {
        entries_[i] = {0, 0, i + 1 < game_key_entry_count ? i + 1 : no_entry, no_entry};
    }
    free_head_ = 0;
    free_entry_count_ = game_key_entry_count;
}

void GameServer::register_server() {
    PooledServer::register_server();
    reset_key_table();
    core::set_network_message_deliverer(&GameServer::deliver_network_message);
}

void GameServer::unregister_server() {
    core::set_network_message_deliverer(nullptr);
    PooledServer::unregister_server();
    reset_key_table();
}

ObjectHandle GameServer::find_key(uint32_t key) const {
    const uint32_t head = bucket_heads_[key % game_key_bucket_count];
    if (head == no_entry) {
        return 0;
    }
    uint32_t entry = head;
    do {
        if (entries_[entry].key == key) {
            return entries_[entry].object;
        }
        entry = entries_[entry].next;
    } while (entry != head);
    return 0;
}

void GameServer::insert_key(GameObject& object, uint32_t key) {
    // One entry per object: a second registration moves it to the new key,
    // so the pool never runs short and no stale entry outlives its key.
    if (object.network_key_ != 0) {
        remove_key(object);
    }
    if (key == 0) {
        return;
    }
    if (free_head_ == no_entry) {
        ZOLT_PANIC("out of memory");
    }
    const uint32_t entry = free_head_;
    free_head_ = entries_[entry].next;
    --free_entry_count_;
    entries_[entry].key = key;
    entries_[entry].object = object.get_handle();
    uint32_t& head = bucket_heads_[key % game_key_bucket_count];
    if (head == no_entry) {
        entries_[entry].next = entries_[entry].previous = entry;
        head = entry;
    } else {
        const uint32_t last = entries_[head].previous;
        entries_[entry].next = head;
        entries_[entry].previous = last;
        entries_[last].next = entry;
        entries_[head].previous = entry;
    }
    object.network_key_ = key;
}

void GameServer::remove_key(GameObject& object) {
    const uint32_t key = object.network_key_;
    object.network_key_ = 0;
    uint32_t& head = bucket_heads_[key % game_key_bucket_count];
    if (key == 0 || head == no_entry) {
        return;
    }
    // The object's own entry: when scripts give two objects one key, ending
    // one must not unregister the other.
    uint32_t entry = head;
    while (entries_[entry].key != key || entries_[entry].object != object.get_handle()) {
        entry = entries_[entry].next;
        if (entry == head) {
            return;
        }
    }
    if (entries_[entry].next == entry) {
        head = no_entry;
    } else {
        entries_[entries_[entry].previous].next = entries_[entry].next;
        entries_[entries_[entry].next].previous = entries_[entry].previous;
        if (head == entry) {
            head = entries_[entry].next;
        }
    }
    entries_[entry].next = free_head_;
    free_head_ = entry;
    ++free_entry_count_;
}

bool GameServer::deliver_network_message(Message* message) {
    ObjectHandle recipient = message->get_recipient();
    if (message->get_delivery_mode() == static_cast<uint32_t>(DeliveryMode::from_host)) {
        recipient = game_server.find_key(recipient);
    }
    GameObject* const object = find_game_object(recipient);
    if (object == nullptr) {
        return false;
    }
    if (message->get_delivery_mode() == static_cast<uint32_t>(DeliveryMode::from_client) &&
        !object->accepts_client_messages()) {
        return false;
    }
    return object->handle_message(message);
}

}  // namespace zolt::servers

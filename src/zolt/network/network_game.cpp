#include "zolt/network/network_game.h"

#include "platform/online/online_client.h"
#include "platform/system/clock.h"
#include "zolt/core/events/message.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/script_objects/string_object.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/network/game_list.h"
#include "zolt/network/game_search.h"
#include "zolt/network/network_clock.h"
#include "zolt/network/connection.h"
#include "zolt/network/network_game_internal.h"
#include "zolt/network/peer_packets.h"
#include "zolt/network/network_services.h"
#include "zolt/network/user_messages.h"

#include <cstdio>
#include <cstring>

namespace zolt::network {

namespace {

constexpr uint32_t every_clock = 0xFFFFFFE0u;
constexpr uint8_t security_mode_lan = 2;

NetworkGame game;

void put_u32(core::Message* message, uint32_t id, uint32_t value) {
    core::Property property;
    property.set_u32(id & 0xFF000000u, value);
    message->set_property(id, property);
}

uint32_t read_u32_property(core::ObjectHandle handle, uint32_t id) {
    const core::ServerObject* const object = core::resolve_handle(handle);
    core::Property property;
    return object != nullptr && object->get_property(id, property) ? property.get_u32() : 0;
}

// What the hosted game server answers queries with.
struct HostedServer {
    char name[32] = {};
    char map[32] = {};
    GameType game_type = GameType::other;
    uint32_t player_limit = 0;
};
HostedServer hosted_server;

void copy_text(char (&field)[32], const char* text) {
    uint32_t length = 0;
    while (length < sizeof field - 1 && text[length] != '\0') {
        ++length;
    }
    std::memcpy(field, text, length);
    field[length] = '\0';
}

void name_hosted_server(core::ObjectHandle settings) {
    hosted_server = {};
    hosted_server.game_type = static_cast<GameType>(read_u32_property(settings, network_game_property::game_type));
    const core::ServerObject* const object = core::resolve_handle(settings);
    core::Property name;
    if (object != nullptr && object->get_property(network_game_property::game_name, name) &&
        core::get_handle_server_type(name.get_u32()) == core::server_type::string &&
        core::string_server.is_registered()) {
        if (const core::String* const string = core::string_server.get_typed_object(name.get_u32())) {
            char utf8[core::string_utf8_buffer_size];
            string->to_utf8(utf8);
            copy_text(hosted_server.name, utf8);
            return;
        }
    }
    platform::OnlineClient& client = platform::get_online_client();
    char fallback[64];
    std::snprintf(fallback, sizeof fallback, "%s's game", client.get_persona_name());
    copy_text(hosted_server.name, fallback);
}

}  // namespace

// The queries' answer follows the players joining and leaving.
void advertise_hosted_server() {
    platform::ServerItem item;
    std::memcpy(item.name, hosted_server.name, sizeof hosted_server.name);
    std::memcpy(item.map, hosted_server.map, sizeof hosted_server.map);
    std::snprintf(item.tags, sizeof item.tags, "%s", get_game_type_name(hosted_server.game_type));
    for (uint32_t index = 0; index < player_slot_count; ++index) {
        item.players += get_connection(index).is_connected() && !get_connection(index).is_local() ? 1 : 0;
    }
    item.max_players = hosted_server.player_limit;
    item.version = listed_game_version;
    item.query_port = server_query_port;
    item.app_id = platform::get_online_client().get_app_id();
    platform::get_online_client().set_game_server_details(item);
}

NetworkGame& get_network_game_record() {
    return game;
}

const NetworkGame& get_network_game() {
    return game;
}

uint32_t read_network_ticks() {
    return platform::read_milliseconds() * 100u;
}

void set_network_game_state(NetworkGameState state) {
    if (state == game.state) {
        return;
    }
    const NetworkGameState old = game.state;
    game.state = state;
    game.state_time = read_network_ticks();
    post_network_game_event(NetworkGameEvent::state_changed, network_game_property::old_state,
                            static_cast<uint32_t>(old), network_game_property::new_state, static_cast<uint32_t>(state));
}

void post_network_game_event(NetworkGameEvent event, uint32_t first_property, uint32_t first_value,
                             uint32_t second_property, uint32_t second_value) {
    core::Message* const message = core::post_message_to_enabled_clocks(every_clock, static_cast<uint32_t>(event));
    if (message == nullptr) {
        return;
    }
    if (first_property != 0) {
        put_u32(message, first_property, first_value);
    }
    if (second_property != 0) {
        put_u32(message, second_property, second_value);
    }
}

bool is_hosting() {
    return game.host && game.state != NetworkGameState::idle && game.state != NetworkGameState::leaving;
}

void reset_record() {
    game.state = NetworkGameState::idle;
    game.host = false;
    game.local_only = false;
    game.joined_while_running = false;
    game.free_public_places = game.free_private_places = 0;
    game.waiting_mask = 0;
    game.scores_changed = false;
    game.own_slot = no_player_slot;
    game.own_player_mask = game.merged_mask_received = all_players_mask;
    game.changed_merged_masks = 0;
    for (uint32_t i = 0; i < player_slot_count; ++i) {
        game.slots[i] = {false, i, 1u << i, SlotState::free, 0, 0, false};
        game.player_masks[i] = game.merged_masks[i] = all_players_mask;
    }
}

void reset_network_game() {
    for (uint32_t i = 0; i < connection_count; ++i) {
        get_connection(i).close();
    }
    const NetworkGameError host_error = game.host_error;
    const NetworkGameError join_error = game.join_error;
    reset_record();
    game.host_error = host_error;
    game.join_error = join_error;
}

// Returns a slot's places to the free counts.
void return_places(PlayerSlot& slot) {
    game.free_public_places += slot.public_places;
    game.free_private_places += slot.private_places;
    slot.public_places = slot.private_places = 0;
}

void release_slot(uint32_t index) {
    PlayerSlot& slot = game.slots[index];
    if (slot.state != SlotState::waiting_for_welcome && slot.state != SlotState::joined) {
        return;
    }
    Connection& link = get_connection(index);
    if (slot.state == SlotState::joined && game.host) {
        for (uint32_t other = 0; other < player_slot_count; ++other) {
            if (other != index && game.slots[other].state == SlotState::joined) {
                Connection& other_link = get_connection(other);
                if (other_link.begin_system_message(SystemMessageId::player_left)) {
                    get_send_stream().write_bits(8, index);
                    other_link.finish_message(true);
                }
            }
        }
        post_network_game_event(NetworkGameEvent::player_left, network_game_property::slot, index);
        link.set_delivering(false);
    }
    if (game.host && !link.is_local()) {
        link.close();
    }
    slot.state = SlotState::left;
}

void free_slot(uint32_t index) {
    PlayerSlot& slot = game.slots[index];
    release_slot(index);
    return_places(slot);
    // A slot still in its handshake has an open link that nobody else ends.
    Connection& link = get_connection(index);
    if (game.host && !link.is_local() && link.get_state() != ConnectionState::closed) {
        link.close();
    }
    slot.state = SlotState::free;
    slot.local = false;
}

void refuse_slot(uint32_t index, RefusalReason reason) {
    get_connection(index).send_refusal(reason);
    free_slot(index);
}

// The waiting mask lost a bit: the phase it held back moves on.
void advance_when_nobody_waits() {
    if (game.waiting_mask != 0) {
        return;
    }
    switch (game.state) {
    case NetworkGameState::waiting_for_loaded:
        set_network_game_state(NetworkGameState::loading);
        set_network_game_state(NetworkGameState::loaded);
        break;
    case NetworkGameState::starting:
        set_network_game_state(NetworkGameState::running);
        break;
    case NetworkGameState::stopped:
        set_network_game_state(NetworkGameState::lobby);
        break;
    default:
        break;
    }
}

void clear_waiting_bit(uint32_t index) {
    game.waiting_mask &= ~(1u << index);
    advance_when_nobody_waits();
}

bool host_network_game(core::ObjectHandle settings) {
    if (game.state != NetworkGameState::idle || is_browsing()) {
        game.host_error = NetworkGameError::busy;
        return false;
    }
    if (core::resolve_handle(settings) == nullptr) {
        game.host_error = NetworkGameError::no_settings;
        return false;
    }
    game.host_error = NetworkGameError::none;
    uint32_t limit = read_u32_property(settings, network_game_property::player_limit);
    limit = limit > player_slot_count ? player_slot_count : limit;
    uint32_t private_places = read_u32_property(settings, network_game_property::private_places);
    private_places = private_places > limit ? limit : private_places;
    game.free_public_places = limit - private_places;
    game.free_private_places = private_places;
    game.local_only = read_u32_property(settings, network_game_property::mode) == local_only_mode;
    name_hosted_server(settings);
    hosted_server.player_limit = limit;
    set_network_game_state(NetworkGameState::creating_host);
    if (game.local_only) {
        game.host = true;
        game.own_slot = 0;
        set_network_game_state(NetworkGameState::lobby);
        post_network_game_event(NetworkGameEvent::player_joined, network_game_property::slot, 0);
        return true;
    }
    platform::OnlineClient& client = platform::get_online_client();
    if (client.get_game_server_networking() == nullptr || client.get_client_networking() == nullptr) {
        game.host_error = NetworkGameError::other_refusal;
        set_network_game_state(NetworkGameState::idle);
        reset_record();
        return false;
    }
    install_network_game_handlers();
    host_ready();
    return true;
}

void host_ready() {
    platform::OnlineClient& client = platform::get_online_client();
    game.host = true;
    set_network_game_state(NetworkGameState::lobby);
    Connection& client_link = get_connection(client_connection_index);
    Connection& own_link = get_connection(0);
    Connection::connect_local_pair(client_link, own_link);
    client_link.set_persona_name(client.get_persona_name());
    client_link.set_player_id(client.get_user_id());
    client_link.set_remote_id(client.get_game_server_id());
    own_link.set_persona_name(client.get_persona_name());
    own_link.set_player_id(client.get_user_id());
    own_link.set_remote_id(client.get_user_id());
    client_link.send_hello();
    PlayerSlot& slot = game.slots[0];
    if (slot.state == SlotState::free) {
        slot.local = true;
        slot.state = SlotState::waiting_for_hello;
    }
    send_own_player_mask();
    game.merged_mask_received = all_players_mask;
    advertise_hosted_server();
}

void set_hosted_map_name(const char* map_name) {
    copy_text(hosted_server.map, map_name);
    if (is_hosting()) {
        advertise_hosted_server();
    }
}

bool join_listed_game(uint32_t index) {
    if (game.state != NetworkGameState::idle || is_browsing()) {
        game.join_error = NetworkGameError::busy;
        return false;
    }
    const GameListing* const listing = get_game_listing(index);
    if (listing == nullptr) {
        game.join_error = NetworkGameError::no_settings;
        return false;
    }
    // No online back end here offers lobbies to enter.
    if (listing->kind != ListingKind::game_server) {
        game.join_error = NetworkGameError::other_refusal;
        return false;
    }
    return join_network_game(listing->id);
}

bool join_network_game(platform::OnlineId game_server_id) {
    if (game.state != NetworkGameState::idle) {
        game.join_error = NetworkGameError::busy;
        return false;
    }
    game.join_error = NetworkGameError::none;
    game.local_only = false;
    clear_clock_sync(read_network_ticks());
    install_network_game_handlers();
    set_network_game_state(NetworkGameState::connecting);
    if (!get_connection(client_connection_index).connect_to_host(game_server_id)) {
        game.join_error = NetworkGameError::link_failed;
        leave_network_game(true);
        return false;
    }
    return true;
}

bool accept_connect_request(platform::OnlineId sender) {
    if (!is_hosting() || game.local_only) {
        return false;
    }
    // A peer that asks again keeps the slot it has.
    for (uint32_t index = 1; index < player_slot_count; ++index) {
        if (game.slots[index].state != SlotState::free && get_connection(index).get_remote_id() == sender) {
            return true;
        }
    }
    for (uint32_t index = 1; index < player_slot_count; ++index) {
        if (game.slots[index].state == SlotState::free) {
            get_connection(index).open_to_user(sender, index);
            game.slots[index].state = SlotState::waiting_for_hello;
            game.slots[index].local = false;
            game.slots[index].opened_time = read_network_ticks();
            return true;
        }
    }
    return false;
}

bool welcome_slot(uint32_t index) {
    PlayerSlot& slot = game.slots[index];
    Connection& link = get_connection(index);
    if (!link.send_welcome(index, game.state == NetworkGameState::running, slot.private_places > 0)) {
        return false;
    }
    if (index != 0) {
        uint32_t roster = 0;
        for (uint32_t other = 0; other < player_slot_count; ++other) {
            if (other == index || game.slots[other].state != SlotState::joined) {
                continue;
            }
            roster |= 1u << other;
            if (other != 0) {
                send_player_list(get_connection(other), 1u << index);
            }
        }
        if (!send_player_list(link, roster)) {
            return false;
        }
    }
    slot.state = SlotState::joined;
    post_network_game_event(NetworkGameEvent::player_joined, network_game_property::slot, index);
    link.set_delivering(true);
    return true;
}

void on_authentication_result(uint32_t index, uint32_t reason) {
    if (index >= player_slot_count || game.slots[index].state != SlotState::authenticating) {
        return;
    }
    PlayerSlot& slot = game.slots[index];
    if (reason != 0) {
        refuse_slot(index, static_cast<RefusalReason>(reason));
        return;
    }
    // The place the player asked for, held while it plays.
    if (slot.wants_private_place && game.free_private_places > 0) {
        --game.free_private_places;
        ++slot.private_places;
    } else if (game.free_public_places > 0) {
        --game.free_public_places;
        ++slot.public_places;
    } else {
        refuse_slot(index, RefusalReason::game_full);
        return;
    }
    slot.state = SlotState::waiting_for_welcome;
    if (game.state == NetworkGameState::lobby || game.state == NetworkGameState::running) {
        if (!welcome_slot(index)) {
            free_slot(index);
        }
    }
}

bool start_loading_network_game() {
    if (!game.host || game.local_only || game.state != NetworkGameState::lobby) {
        return false;
    }
    uint32_t mask = 0;
    for (uint32_t index = 0; index < player_slot_count; ++index) {
        Connection& link = get_connection(index);
        if (game.slots[index].state != SlotState::joined || link.is_local()) {
            continue;
        }
        mask |= 1u << index;
        if (!(link.begin_system_message(SystemMessageId::start_loading) && link.finish_message(true))) {
            free_slot(index);
        }
    }
    if (mask == 0) {
        return false;
    }
    game.waiting_mask = mask;
    set_network_game_state(NetworkGameState::waiting_for_loaded);
    return true;
}

bool start_network_game() {
    if (!game.host || (game.state != NetworkGameState::lobby && game.state != NetworkGameState::loaded)) {
        return false;
    }
    if (game.local_only) {
        set_network_game_state(NetworkGameState::starting);
        set_network_game_state(NetworkGameState::running);
        return true;
    }
    uint32_t mask = 0;
    for (uint32_t index = 0; index < player_slot_count; ++index) {
        if (game.slots[index].state != SlotState::joined) {
            continue;
        }
        mask |= 1u << index;
        Connection& link = get_connection(index);
        if (!(link.begin_system_message(SystemMessageId::start) && link.finish_message(true))) {
            free_slot(index);
        }
    }
    game.waiting_mask = mask;
    set_network_game_state(NetworkGameState::starting);
    advance_when_nobody_waits();
    return true;
}

bool stop_network_game() {
    if (!game.host || game.state != NetworkGameState::running) {
        return false;
    }
    uint32_t mask = 0;
    for (uint32_t index = 1; index < player_slot_count && !game.local_only; ++index) {
        if (game.slots[index].state != SlotState::joined) {
            continue;
        }
        mask |= 1u << index;
        Connection& link = get_connection(index);
        if (!(link.begin_system_message(SystemMessageId::stop) && link.finish_message(true))) {
            free_slot(index);
        }
    }
    game.waiting_mask = mask;
    set_network_game_state(NetworkGameState::stopping);
    return true;
}

bool acknowledge_network_game_stop() {
    if (game.state != NetworkGameState::stopping) {
        return false;
    }
    if (game.local_only) {
        set_network_game_state(NetworkGameState::stopped);
        set_network_game_state(NetworkGameState::lobby);
        return true;
    }
    set_network_game_state(NetworkGameState::stopped);
    if (!game.host) {
        set_network_game_state(NetworkGameState::lobby);
    }
    Connection& client_link = get_connection(client_connection_index);
    if (client_link.begin_system_message(SystemMessageId::stopped)) {
        client_link.finish_message(true);
    }
    if (game.host) {
        advance_when_nobody_waits();
    }
    return true;
}

void drop_player(uint32_t index) {
    if (!game.host || index == 0 || index >= player_slot_count || game.slots[index].state == SlotState::free) {
        return;
    }
    free_slot(index);
    get_connection(index).close();
    clear_waiting_bit(index);
}

void leave_network_game(bool forced) {
    if (game.state == NetworkGameState::idle || (game.state == NetworkGameState::leaving && !forced)) {
        return;
    }
    set_network_game_state(NetworkGameState::leaving);
    for (uint32_t index = 0; index < player_slot_count; ++index) {
        release_slot(index);
        return_places(game.slots[index]);
    }
    if (!game.local_only) {
        for (uint32_t i = 0; i < connection_count; ++i) {
            get_connection(i).close();
        }
    }
    // The LAN game server here ends at once, so the leave finishes now.
    set_network_game_state(NetworkGameState::idle);
    reset_record();
    clear_game_list();
}

bool set_player_score(uint32_t index, int32_t score) {
    if (!game.host || index >= player_slot_count || game.slots[index].state != SlotState::joined) {
        return false;
    }
    Connection& link = get_connection(index);
    if (link.get_score() != score) {
        link.set_score(score);
        if (!game.scores_changed) {
            game.scores_changed = true;
            game.scores_changed_time = read_network_ticks();
        }
    }
    return true;
}

void send_own_player_mask() {
    Connection& link = get_connection(client_connection_index);
    if (link.begin_system_message(SystemMessageId::player_mask) &&
        get_send_stream().write_bits(32, game.own_player_mask)) {
        link.finish_message(true);
    }
}

bool send_player_list(Connection& link, uint32_t slots) {
    if (!link.begin_system_message(SystemMessageId::player_list)) {
        return false;
    }
    NetworkStream& stream = get_send_stream();
    stream.write_bits(8, static_cast<uint32_t>(__builtin_popcount(slots)));
    for (uint32_t index = 0; index < player_slot_count; ++index) {
        if ((slots & (1u << index)) == 0) {
            continue;
        }
        const Connection& player = get_connection(index);
        const char* const name = player.get_persona_name();
        uint32_t length = 0;
        while (name[length] != '\0') {
            ++length;
        }
        stream.write_bits(8, index);
        stream.write_bits(8, game.slots[index].private_places > 0 ? 1 : 0);
        stream.write_bits(32, length);
        stream.write_bytes(length, name);
        stream.write_bits(32, static_cast<uint32_t>(player.get_player_id() >> 32));
        stream.write_bits(32, static_cast<uint32_t>(player.get_player_id()));
    }
    return link.finish_message(true);
}

bool send_message_to_host(core::ObjectHandle target, uint32_t message_type, uint32_t format, core::ObjectHandle source,
                          bool reliable) {
    Connection& link = get_connection(client_connection_index);
    const core::ServerObject* const object = core::resolve_handle(source);
    return link.is_connected() && object != nullptr &&
           send_user_message(link, target, format, message_type, *object, reliable);
}

void send_message_to_players(uint32_t slot_mask, core::ObjectHandle target, uint32_t message_type, uint32_t format,
                             core::ObjectHandle source, bool reliable) {
    const core::ServerObject* const object = core::resolve_handle(source);
    if (!game.host || object == nullptr) {
        return;
    }
    for (uint32_t index = 0; index < player_slot_count; ++index) {
        if ((slot_mask & (1u << index)) != 0 && game.slots[index].state == SlotState::joined) {
            send_user_message(get_connection(index), target, format, message_type, *object, reliable);
        }
    }
}

void note_player_mask(uint32_t index, uint32_t mask) {
    game.player_masks[index] = mask;
    for (uint32_t i = 0; i < player_slot_count; ++i) {
        uint32_t merged = game.player_masks[i];
        for (uint32_t j = 0; j < player_slot_count; ++j) {
            if (j != i && (game.player_masks[j] & (1u << i)) != 0) {
                merged |= 1u << j;
            }
        }
        if (merged != game.merged_masks[i]) {
            game.merged_masks[i] = merged;
            game.changed_merged_masks |= 1u << i;
        }
    }
}

}  // namespace zolt::network

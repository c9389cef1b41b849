#include <cstring>

#include "platform/online/online_client.h"
#include "zolt/network/command_batch.h"
#include "zolt/network/game_search.h"
#include "zolt/network/network_clock.h"
#include "zolt/network/network_game_internal.h"
#include "zolt/network/network_services.h"
#include "zolt/network/peer_packets.h"
#include "zolt/network/user_messages.h"

namespace zolt::network {

namespace {

constexpr uint8_t security_mode_lan = 2;
constexpr uint32_t ticket_length_limit = 2048;
constexpr uint32_t unsigned_score_limit = 0xFFFF;

NetworkGame& game() {
    return get_network_game_record();
}

uint32_t slot_of(const Connection& link) {
    return link.get_player_slot() < player_slot_count ? link.get_player_slot() : 0;
}

bool read_u8(NetworkStream& stream, uint32_t* value) {
    return stream.read_checked(8, value);
}

// Host side.

bool on_hello(Connection& link, NetworkStream& stream) {
    uint32_t version = 0;
    read_u8(stream, &version);
    const uint32_t slot = slot_of(link);
    if (game().slots[slot].state != SlotState::waiting_for_hello) {
        return true;
    }
    if (!is_hosting()) {
        refuse_slot(slot, RefusalReason::not_accepting_players);
    } else if (version != protocol_version) {
        refuse_slot(slot, RefusalReason::protocol_mismatch);
    } else if (link.begin_system_message(SystemMessageId::accepted) &&
               get_send_stream().write_bits(8, security_mode_lan) && link.finish_message(true)) {
        game().slots[slot].state = SlotState::waiting_for_join_request;
    } else {
        free_slot(slot);
    }
    return true;
}

bool on_join_request(Connection& link, NetworkStream& stream) {
    const uint32_t slot = slot_of(link);
    if (game().slots[slot].state != SlotState::waiting_for_join_request) {
        link.skip_rest_of_message();
        return true;
    }
    if (!is_hosting()) {
        link.skip_rest_of_message();
        refuse_slot(slot, RefusalReason::not_accepting_players);
        return true;
    }
    uint32_t request = 0;
    read_u8(stream, &request);
    uint32_t ticket_length = 0;
    if (!Connection::read_player_name(link, stream) || !stream.read_checked(32, &ticket_length) ||
        ticket_length > ticket_length_limit || !stream.skip_bits(ticket_length * 8)) {
        refuse_slot(slot, RefusalReason::authentication_refused);
        return false;
    }
    PlayerSlot& record = game().slots[slot];
    record.wants_private_place = slot == 0 || request != 0;
    const bool has_place =
        (record.wants_private_place && game().free_private_places > 0) || game().free_public_places > 0;
    if (!has_place) {
        refuse_slot(slot, RefusalReason::game_full);
        return true;
    }
    record.state = SlotState::authenticating;
    // The LAN game server approves every player at once.
    on_authentication_result(slot, 0);
    return true;
}

bool on_loaded(Connection& link, NetworkStream&) {
    if (game().state == NetworkGameState::waiting_for_loaded) {
        clear_waiting_bit(slot_of(link));
    }
    return true;
}

bool on_started(Connection& link, NetworkStream&) {
    if (game().state == NetworkGameState::starting) {
        clear_waiting_bit(slot_of(link));
    }
    return true;
}

bool on_stopped(Connection& link, NetworkStream&) {
    if (game().state == NetworkGameState::stopping || game().state == NetworkGameState::stopped) {
        clear_waiting_bit(slot_of(link));
    }
    return true;
}

bool on_clock_request(Connection& link, NetworkStream& stream) {
    uint32_t client_time = 0;
    stream.read_checked(32, &client_time);
    if (game().slots[slot_of(link)].state == SlotState::joined) {
        answer_clock_request(link, client_time, read_network_ticks());
    }
    return true;
}

bool on_player_mask(Connection& link, NetworkStream& stream) {
    uint32_t mask = 0;
    stream.read_checked(32, &mask);
    note_player_mask(slot_of(link), mask);
    return true;
}

// Client side.

bool on_accepted(Connection& link, NetworkStream& stream) {
    uint32_t security = 0;
    read_u8(stream, &security);
    const bool expected =
        game().host ? game().state == NetworkGameState::lobby : game().state == NetworkGameState::handshaking;
    if (!expected) {
        return true;
    }
    platform::OnlineClient& client = platform::get_online_client();
    const char* const name = client.get_persona_name();
    uint32_t length = 0;
    while (name[length] != '\0' && length < persona_name_size - 1) {
        ++length;
    }
    NetworkStream& out = get_send_stream();
    if (link.begin_system_message(SystemMessageId::join_request) && out.write_bits(8, 0) &&
        out.write_bits(32, length) && out.write_bytes(length, name) && out.write_bits(32, 0)) {
        link.finish_message(true);
    }
    return true;
}

bool on_refusal(Connection&, NetworkStream& stream) {
    uint32_t reason = 0;
    read_u8(stream, &reason);
    switch (static_cast<RefusalReason>(reason)) {
    case RefusalReason::game_full:
        game().join_error = NetworkGameError::game_full;
        break;
    case RefusalReason::not_accepting_players:
        game().join_error = NetworkGameError::not_accepting_players;
        break;
    case RefusalReason::authentication_refused:
        game().join_error = NetworkGameError::authentication_refused;
        break;
    default:
        game().join_error = NetworkGameError::other_refusal;
        break;
    }
    if (game().state == NetworkGameState::handshaking) {
        leave_network_game(true);
    }
    return true;
}

bool on_welcome(Connection& link, NetworkStream& stream) {
    uint32_t slot = 0;
    uint32_t running = 0;
    uint32_t holds_private = 0;
    read_u8(stream, &slot);
    read_u8(stream, &running);
    read_u8(stream, &holds_private);
    if (!game().host && game().state != NetworkGameState::handshaking) {
        return true;
    }
    // Slot 0 is the host's own player; anything past 31 names no slot.
    if (slot >= player_slot_count || (!game().host && slot == 0)) {
        return false;
    }
    game().own_slot = slot;
    if (!game().host) {
        link.copy_identity(get_connection(slot));
        get_connection(slot).set_player_id(link.get_player_id());
        game().slots[slot].local = true;
        game().slots[slot].state = SlotState::joined;
    }
    link.set_delivering(true);
    if (game().host) {
        return true;
    }
    if (running != 0) {
        set_network_game_state(NetworkGameState::starting);
        game().joined_while_running = true;
        set_network_game_state(NetworkGameState::running);
    } else {
        set_network_game_state(NetworkGameState::lobby);
    }
    return true;
}

bool on_player_list(Connection&, NetworkStream& stream) {
    uint32_t count = 0;
    read_u8(stream, &count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t slot = 0;
        uint32_t holds_private = 0;
        if (!stream.read_checked(8, &slot) || !stream.read_checked(8, &holds_private) || slot == game().own_slot ||
            slot >= player_slot_count) {
            return false;
        }
        Connection& player = get_connection(slot);
        uint32_t high = 0;
        uint32_t low = 0;
        if (!Connection::read_player_name(player, stream) || !stream.read_checked(32, &high) ||
            !stream.read_checked(32, &low)) {
            return false;
        }
        player.set_player_id(static_cast<platform::OnlineId>(high) << 32 | low);
        game().slots[slot].local = false;
        game().slots[slot].state = SlotState::joined;
    }
    return true;
}

bool on_player_left(Connection&, NetworkStream& stream) {
    uint32_t slot = 0;
    read_u8(stream, &slot);
    if (slot >= player_slot_count) {
        return false;
    }
    free_slot(slot);
    return true;
}

bool on_start_loading(Connection&, NetworkStream&) {
    if (game().host || game().state != NetworkGameState::lobby) {
        leave_network_game(true);
        return true;
    }
    set_network_game_state(NetworkGameState::loading);
    set_network_game_state(NetworkGameState::loaded);
    Connection& link = get_connection(client_connection_index);
    if (link.begin_system_message(SystemMessageId::loaded)) {
        link.finish_message(true);
    }
    return true;
}

bool on_start(Connection& link, NetworkStream&) {
    const NetworkGameState state = game().state;
    const bool expected = game().host ? state == NetworkGameState::starting
                                      : state == NetworkGameState::lobby || state == NetworkGameState::loaded;
    if (!expected) {
        leave_network_game(true);
        return true;
    }
    set_network_game_state(NetworkGameState::starting);
    if (!game().host) {
        set_network_game_state(NetworkGameState::running);
    }
    if (!game().joined_while_running && link.begin_system_message(SystemMessageId::started)) {
        link.finish_message(true);
    }
    return true;
}

bool on_stop(Connection&, NetworkStream&) {
    if (game().host || game().state != NetworkGameState::running) {
        leave_network_game(true);
        return true;
    }
    set_network_game_state(NetworkGameState::stopping);
    return true;
}

bool on_clock_reply(Connection&, NetworkStream& stream) {
    uint32_t words[4];
    for (uint32_t& word : words) {
        stream.read_checked(32, &word);
    }
    accept_clock_reply(words[0], words[1], words[2], words[3], read_network_ticks());
    return true;
}

bool on_player_scores(Connection&, NetworkStream& stream) {
    uint32_t count = 0;
    read_u8(stream, &count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t slot = 0;
        uint32_t score = 0;
        if (!stream.read_checked(8, &slot) || !stream.read_checked(16, &score) || slot >= player_slot_count ||
            game().slots[slot].state != SlotState::joined) {
            return false;
        }
        get_connection(slot).set_score(static_cast<int32_t>(score));
    }
    return true;
}

bool on_merged_mask(Connection&, NetworkStream& stream) {
    stream.read_checked(32, &game().merged_mask_received);
    return true;
}

bool on_close(Connection& link, NetworkStream&) {
    link.set_state(ConnectionState::closing);
    return true;
}

void on_control_packet(const uint8_t* packet, uint32_t size, platform::OnlineId sender) {
    if (size != 4) {
        return;
    }
    platform::OnlineClient& client = platform::get_online_client();
    Connection& client_link = get_connection(client_connection_index);
    switch (static_cast<ControlCode>(packet[0])) {
    case ControlCode::connect_request:
        if (platform::PeerNetworking* const networking = client.get_game_server_networking()) {
            send_control_packet(*networking,
                                accept_connect_request(sender) ? ControlCode::accepted : ControlCode::refused, sender);
        }
        break;
    case ControlCode::accepted:
        if (client_link.get_state() == ConnectionState::opening && client_link.get_remote_id() == sender) {
            client_link.set_state(ConnectionState::connected);
        }
        break;
    case ControlCode::refused:
        if (client_link.get_state() == ConnectionState::opening && client_link.get_remote_id() == sender) {
            client_link.set_state(ConnectionState::closing);
        }
        break;
    default:
        break;
    }
}

void on_online_callback(void*, const platform::OnlineCallback& callback) {
    platform::OnlineClient& client = platform::get_online_client();
    Connection& client_link = get_connection(client_connection_index);
    switch (callback.id) {
    case platform::OnlineCallbackId::peer_session_request:
        if (platform::PeerNetworking* const networking = client.get_client_networking()) {
            networking->accept_session(callback.remote);
        }
        if (platform::PeerNetworking* const networking = client.get_game_server_networking()) {
            networking->accept_session(callback.remote);
        }
        break;
    case platform::OnlineCallbackId::peer_session_connect_failure:
        if (client_link.get_remote_id() == callback.remote &&
            (client_link.get_state() == ConnectionState::opening || client_link.is_connected())) {
            client_link.set_state(ConnectionState::closing);
        }
        break;
    case platform::OnlineCallbackId::server_change_requested: {
        char text[sizeof callback.text];
        std::memcpy(text, callback.text, sizeof text);
        text[sizeof text - 1] = '\0';
        core::accept_server_invitation(text);
        break;
    }
    case platform::OnlineCallbackId::lobby_join_requested:
        core::accept_lobby_invitation(callback.remote);
        break;
    }
}

void send_scores() {
    uint32_t joined = 0;
    for (const PlayerSlot& slot : game().slots) {
        joined += slot.state == SlotState::joined ? 1 : 0;
    }
    for (uint32_t index = 0; index < player_slot_count; ++index) {
        if (game().slots[index].state != SlotState::joined) {
            continue;
        }
        Connection& link = get_connection(index);
        if (!link.begin_system_message(SystemMessageId::player_scores)) {
            continue;
        }
        NetworkStream& out = get_send_stream();
        out.write_bits(8, joined);
        for (uint32_t other = 0; other < player_slot_count; ++other) {
            if (game().slots[other].state != SlotState::joined) {
                continue;
            }
            const int32_t score = get_connection(other).get_score();
            out.write_bits(8, other);
            out.write_bits(16, score < 0 || static_cast<uint32_t>(score) > unsigned_score_limit
                                   ? unsigned_score_limit
                                   : static_cast<uint32_t>(score));
        }
        link.finish_message(true);
    }
}

}  // namespace

void install_network_game_handlers() {
    const struct {
        MessageSide side;
        SystemMessageId id;
        SystemMessageHandler handler;
    } rows[] = {
        {MessageSide::host, SystemMessageId::hello, on_hello},
        {MessageSide::client, SystemMessageId::accepted, on_accepted},
        {MessageSide::host, SystemMessageId::join_request, on_join_request},
        {MessageSide::client, SystemMessageId::refusal, on_refusal},
        {MessageSide::client, SystemMessageId::welcome, on_welcome},
        {MessageSide::client, SystemMessageId::player_list, on_player_list},
        {MessageSide::client, SystemMessageId::player_left, on_player_left},
        {MessageSide::client, SystemMessageId::start_loading, on_start_loading},
        {MessageSide::host, SystemMessageId::loaded, on_loaded},
        {MessageSide::client, SystemMessageId::start, on_start},
        {MessageSide::host, SystemMessageId::started, on_started},
        {MessageSide::client, SystemMessageId::stop, on_stop},
        {MessageSide::host, SystemMessageId::stopped, on_stopped},
        {MessageSide::host, SystemMessageId::clock_request, on_clock_request},
        {MessageSide::host, SystemMessageId::command_batch, on_command_batch},
        {MessageSide::client, SystemMessageId::clock_reply, on_clock_reply},
        {MessageSide::client, SystemMessageId::player_scores, on_player_scores},
        {MessageSide::host, SystemMessageId::player_mask, on_player_mask},
        {MessageSide::client, SystemMessageId::merged_mask, on_merged_mask},
        {MessageSide::both, SystemMessageId::close, on_close},
    };
    for (const auto& row : rows) {
        set_system_message_handler(row.side, row.id, row.handler);
    }
    set_user_message_reader(read_user_message);
    platform::get_online_client().set_callback_handler(on_online_callback, nullptr);
}

void update_network_game() {
    platform::OnlineClient& client = platform::get_online_client();
    client.run_callbacks();
    update_game_search();
    if (platform::PeerNetworking* const networking = client.get_game_server_networking()) {
        receive_all_p2p_packets(*networking, true, on_control_packet);
    }
    if (platform::PeerNetworking* const networking = client.get_client_networking()) {
        receive_all_p2p_packets(*networking, false, on_control_packet);
    }
    // Messages among the in-process pair when no network answers.
    for (uint32_t i = 0; i < connection_count; ++i) {
        if (get_connection(i).is_local()) {
            get_connection(i).receive_pending_messages();
        }
    }
    network_game_tick();
}

void network_game_tick() {
    NetworkGame& record = game();
    const uint32_t now = read_network_ticks();
    Connection& client_link = get_connection(client_connection_index);
    if (record.state == NetworkGameState::idle || record.local_only) {
        return;
    }
    if (record.state == NetworkGameState::connecting) {
        if (client_link.is_connected()) {
            client_link.send_hello();
            set_network_game_state(NetworkGameState::handshaking);
        } else if (client_link.get_state() == ConnectionState::closing ||
                   client_link.get_state() == ConnectionState::failed) {
            record.join_error = NetworkGameError::link_failed;
            leave_network_game(true);
            return;
        }
    } else if (record.state == NetworkGameState::handshaking && !client_link.is_connected()) {
        record.join_error = NetworkGameError::link_failed;
        leave_network_game(true);
        return;
    }
    if (record.host && (record.state == NetworkGameState::lobby || record.state == NetworkGameState::running)) {
        for (uint32_t index = 0; index < player_slot_count; ++index) {
            if (record.slots[index].state == SlotState::waiting_for_welcome && !welcome_slot(index)) {
                free_slot(index);
            }
        }
    }
    // The host answers joined players only.
    if (!record.host && record.state >= NetworkGameState::lobby && record.state != NetworkGameState::leaving) {
        send_clock_request_if_due(client_link, now);
    }
    if (record.host && record.scores_changed && now - record.scores_changed_time >= score_broadcast_delay) {
        record.scores_changed = false;
        send_scores();
    }
    if (record.own_player_mask != all_players_mask) {
        record.own_player_mask = all_players_mask;
        send_own_player_mask();
    }
    if (record.host) {
        for (uint32_t index = 0; index < player_slot_count; ++index) {
            if ((record.changed_merged_masks & (1u << index)) == 0 || record.slots[index].state != SlotState::joined) {
                continue;
            }
            Connection& link = get_connection(index);
            if (link.begin_system_message(SystemMessageId::merged_mask) &&
                get_send_stream().write_bits(32, record.merged_masks[index]) && link.finish_message(true)) {
                record.changed_merged_masks &= ~(1u << index);
            }
        }
    }
    if (!record.host && record.state >= NetworkGameState::lobby && record.state != NetworkGameState::leaving) {
        if (client_link.is_connected() && now - get_last_clock_sync_time(now) > host_silence_limit) {
            client_link.set_state(ConnectionState::closing);
        }
        if (client_link.get_state() == ConnectionState::closing || client_link.get_state() == ConnectionState::failed) {
            post_network_game_event(NetworkGameEvent::connection_lost, network_game_property::lost_reason, 2,
                                    network_game_property::lost_detail, 0);
        }
    }
    if (record.host) {
        advertise_hosted_server();
        for (uint32_t index = 1; index < player_slot_count; ++index) {
            if (record.slots[index].state == SlotState::free) {
                continue;
            }
            Connection& link = get_connection(index);
            if (link.is_connected() && now - link.get_last_activity_time() > peer_silence_limit) {
                link.set_state(ConnectionState::closing);
            }
            const SlotState slot_state = record.slots[index].state;
            if (slot_state == SlotState::waiting_for_hello &&
                now - record.slots[index].opened_time > handshake_time_limit) {
                link.set_state(ConnectionState::closing);
            }
            if (link.get_state() == ConnectionState::closing || link.get_state() == ConnectionState::failed ||
                link.get_state() == ConnectionState::closed) {
                drop_player(index);
            }
        }
    }
}

}  // namespace zolt::network

#pragma once
// The network game: the one record of a multiplayer game with a host and up
// to 32 player slots, and the protocol over the links that takes players
// through the handshake, loading, start, play and stop. Scripts drive it
// with builtins and hear it through events posted on every enabled clock.
// The host's own player takes slot 0 through the in-process pair of links
// and answers like any client. A local-only game passes through the same
// states without a network.
//
// The hosted game server here is the LAN kind: it accepts every connect
// request while places are free and approves players at once. Main thread
// only.
#include <cstdint>

#include "platform/online/online_ids.h"
#include "zolt/core/object_server/object_handle.h"

namespace zolt::core {
class ServerObject;
}  // namespace zolt::core

namespace zolt::network {

enum class NetworkGameState : uint32_t {
    idle = 0,
    creating_host = 1,
    connecting = 2,
    handshaking = 3,
    lobby = 4,
    waiting_for_loaded = 5,
    loading = 6,
    loaded = 7,
    starting = 8,
    running = 9,
    stopping = 10,
    stopped = 11,
    leaving = 12,
};

enum class NetworkGameEvent : uint32_t {
    state_changed = 0x1E0000,
    game_list_changed = 0x1F0000,
    game_search_ended = 0x200000,
    player_joined = 0x210000,
    player_left = 0x220000,
    network_clock_changed = 0x230000,
    connection_lost = 0x250000,
    command_record = 0x260000,
};

namespace network_game_property {
constexpr uint32_t old_state = 0x300024B, new_state = 0x300024C, slot = 0x300024D, lost_reason = 0x300024E,
                   lost_detail = 0x300024F, mode = 0x3000250, game_type = 0x3000251, player_limit = 0x3000252,
                   private_places = 0x3000253, game_name = 0x1000254;
}  // namespace network_game_property

enum class NetworkGameError : uint32_t {
    none = 0,
    busy = 1,
    no_settings = 2,
    link_failed = 3,
    game_full = 4,
    not_accepting_players = 5,
    authentication_refused = 6,
    other_refusal = 255,
};

enum class SlotState : uint32_t {
    free = 0,
    waiting_for_hello = 1,
    waiting_for_join_request = 2,
    authenticating = 3,
    waiting_for_welcome = 4,
    joined = 5,
    left = 6,
};

struct PlayerSlot {
    bool local = false;
    uint32_t index = 0;
    uint32_t mask = 0;
    SlotState state = SlotState::free;
    uint32_t public_places = 0;
    uint32_t private_places = 0;
    // The kind of place a slot being authenticated asked for.
    bool wants_private_place = false;
    // When the peer's connect request opened the slot.
    uint32_t opened_time = 0;
};

constexpr uint32_t local_only_mode = 2;
constexpr uint32_t all_players_mask = 0xFFFFFFFF;
// Ticks of 10 microseconds.
constexpr uint32_t host_silence_limit = 6000000;
constexpr uint32_t peer_silence_limit = 2000000;
// A LAN host takes connect requests from anyone, so a peer that connects and
// never says hello gives its slot back much sooner than a silent player
// would. Once it has, its join request may wait for its loading, which a
// slow machine may take longer over; only the silence limit holds then.
constexpr uint32_t handshake_time_limit = 500000;
constexpr uint32_t score_broadcast_delay = 200000;

struct NetworkGame {
    bool local_only = false;
    NetworkGameState state = NetworkGameState::idle;
    uint32_t state_time = 0;
    bool host = false;
    bool joined_while_running = false;
    NetworkGameError host_error = NetworkGameError::none;
    NetworkGameError join_error = NetworkGameError::none;
    uint32_t free_public_places = 0;
    uint32_t free_private_places = 0;
    PlayerSlot slots[32];
    uint32_t own_slot = 255;
    uint32_t waiting_mask = 0;
    bool scores_changed = false;
    uint32_t scores_changed_time = 0;
    uint32_t own_player_mask = all_players_mask;
    uint32_t player_masks[32];
    uint32_t merged_masks[32];
    uint32_t changed_merged_masks = 0;
    uint32_t merged_mask_received = all_players_mask;
};

const NetworkGame& get_network_game();
uint32_t read_network_ticks();

// Stamps the time and posts the state-changed event; the same state again
// does nothing.
void set_network_game_state(NetworkGameState state);
// Posted on every enabled clock from the current one upward.
void post_network_game_event(NetworkGameEvent event, uint32_t first_property = 0, uint32_t first_value = 0,
                             uint32_t second_property = 0, uint32_t second_value = 0);

// Builtin 305: the settings object gives the mode and the places.
bool host_network_game(core::ObjectHandle settings);
// Joins the game whose hosted game server has that id; false with the join
// error set when it cannot start.
bool join_network_game(platform::OnlineId game_server_id);
// Builtin 333: joins a game of the game list.
bool join_listed_game(uint32_t index);
// Builtin 307: the hosted game's map as its queries answer it, at most 31
// bytes of UTF-8.
void set_hosted_map_name(const char* map_name);
// The game server accepted a peer's connect request: a free slot for it.
bool accept_connect_request(platform::OnlineId sender);
void on_authentication_result(uint32_t slot, uint32_t reason);

bool start_loading_network_game();
bool start_network_game();
bool stop_network_game();
bool acknowledge_network_game_stop();
void drop_player(uint32_t slot);
void leave_network_game(bool forced);
bool set_player_score(uint32_t slot, int32_t score);

bool send_message_to_host(core::ObjectHandle target, uint32_t message_type, uint32_t format, core::ObjectHandle source,
                          bool reliable);
void send_message_to_players(uint32_t slot_mask, core::ObjectHandle target, uint32_t message_type, uint32_t format,
                             core::ObjectHandle source, bool reliable);

// Runs the online callbacks, reads every packet and runs the network tick.
void update_network_game();
// Back to the start-up record: links reset, no handlers lost.
void reset_network_game();
// Installs the system-message handlers and the user-message reader.
void install_network_game_handlers();

}  // namespace zolt::network

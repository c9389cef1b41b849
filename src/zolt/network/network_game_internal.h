#pragma once
// What the network game's files share among themselves.
#include <cstdint>

#include "zolt/network/connection.h"
#include "zolt/network/network_game.h"

namespace zolt::network {

NetworkGame& get_network_game_record();
// Hosting and not on the way out.
bool is_hosting();
void reset_record();
void host_ready();
void release_slot(uint32_t index);
void free_slot(uint32_t index);
void refuse_slot(uint32_t index, RefusalReason reason);
void clear_waiting_bit(uint32_t index);
bool welcome_slot(uint32_t index);
bool send_player_list(Connection& link, uint32_t slots);
void send_own_player_mask();
void note_player_mask(uint32_t index, uint32_t mask);
void network_game_tick();
void advertise_hosted_server();

}  // namespace zolt::network

#pragma once
// The scripts' game search: a LAN server list request whose answering
// servers of this application become game-list entries. Lobby searches are
// refused, as no online back end here offers lobbies. Main thread only.
#include "zolt/core/object_server/object_handle.h"

namespace zolt::network {

// Builtin 319: the settings' mode 0 asks the LAN; false while a search or a
// command-line connect request runs, or when the request cannot start.
bool start_game_search(core::ObjectHandle settings);
// Builtin 320, stop_game_search, is with the network services.
// Builtin 321.
bool is_browsing();
// Takes the answers that came; the end of the refresh ends the search with
// the game-search-ended event. Part of the network update.
void update_game_search();

}  // namespace zolt::network

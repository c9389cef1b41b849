#pragma once
// The program's choice of online services: offline unless its command line
// asks for games between processes over ENet.
//   +host a.b.c.d   online services at that address, with a game server on
//                   the game port there, so the game may host
//   +join a.b.c.d   online services at that address for a player who joins
//                   the game that "+connect e.f.g.h:port" names
// Each takes one argument, as the configuration variables on the same
// command line expect. Run by the program's main after the connect arguments
// were read and before the engine starts. Main thread only.
#include <string>

namespace zolt::network {

// False with a message when an option is malformed or the services cannot
// start; the game then stays offline.
bool start_online_services(int argument_count, const char* const* arguments, std::string* message);
void stop_online_services();

}  // namespace zolt::network

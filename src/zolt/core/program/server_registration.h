#pragma once
// The servers engine start registers, in registration order. The ring of
// servers keeps this order and saving, loading and restarting walk it, so a
// server's place here is part of the saved-game format: append new servers
// where their part of the start belongs, never reorder.
#include <cstddef>
#include <span>

#include "zolt/core/object_server/server_base.h"

namespace zolt::core {

std::span<ServerBase* const> get_server_registration_order();

// The sound output starts before the server at this place; the servers from
// here on may need it.
constexpr size_t first_server_after_sound_start = 33;

}  // namespace zolt::core

#pragma once
// The online service's content setting for low violence. The offline build
// has no service interface, which answers false; a test or another backend
// may set the answer the service would give.
#include <optional>

namespace zolt::platform {

// Empty when no service interface is present.
std::optional<bool> query_low_violence_setting();
void set_low_violence_setting(std::optional<bool> setting);

}  // namespace zolt::platform

#include "zolt/core/resources/resource_loader.h"

#include "zolt/renderer/loading_screen/loading_screen.h"

namespace zolt::core {

void update_loading_screen_while_loading() {
    renderer::update_loading_screen();
}

// The online services' poll and the network game's tick run here once the
// network services provide them; the loader calls this only while they are
// available, at most once per 10 ms.
void poll_network_while_loading(uint32_t elapsed_ticks) {}

// drop_textures_of_unmarked_packs belongs to the texture server's cache.

}  // namespace zolt::core

#include "zolt/renderer/lights/light_source_binding.h"

#include "zolt/renderer/batcher/light_source.h"
#include "zolt/renderer/lights/light_importance.h"
#include "zolt/renderer/lights/light_server.h"

namespace zolt::renderer {

void install_light_source() {
    light_source.get_light = [](uint32_t index) -> const LightRender* {
        if (index >= light_capacity || light_server.get_slot(index).state != light_state::live) {
            return nullptr;
        }
        return &light_server.get_render_slot(index);
    };
    light_source.get_global_light = [] { return &light_server.get_global_light_render(); };
    light_source.get_distance_fades = &get_distance_fades;
}

void remove_light_source() {
    light_source = LightSource{};
}

}  // namespace zolt::renderer

#pragma once
// The configuration variables of textures and the texture server. Declared in
// the configuration table at static initialisation; read directly, main
// thread only.
#include <cstdint>

namespace zolt::renderer {

// Anisotropic filtering of textures without and with the lightmap bit: 0
// never, 1 as the format's filter asks, 2 always.
extern uint32_t anisotropic_filtering_mode;
extern uint32_t lightmap_anisotropic_filtering_mode;
extern float anisotropy_amount;

// The budget in MB for the buffer-object byte counter (its absolute value);
// a negative value becomes minus the detected budget at registration.
extern int32_t video_memory_limit;
// 0 no shadow-map textures, 1 always, 2 unless the ATI 2.1.8577 driver.
extern uint32_t shadowmaps_enabled;
extern int32_t shadowmap_count;

}  // namespace zolt::renderer

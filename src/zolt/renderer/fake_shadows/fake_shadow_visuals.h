#pragma once
// Fake shadows as the visuals and the frame see them: the light server's
// pools behind a visual's settings and render record, and the once-a-frame
// step that turns every record towards its lights and refits its box.
// Main (rendering) thread.
#include <cstdint>

namespace zolt::renderer {

struct FakeShadowSettings;

// Null when the index names no live block.
FakeShadowSettings* find_fake_shadow_settings(uint16_t settings_index);

// A record for a visual with a settings block (settings copied in), none
// for one without. False when the pool has no record left.
bool sync_fake_shadow_record(const FakeShadowSettings* settings, uint32_t visual_slot, int32_t& record_index);
void release_fake_shadow_record(int32_t& record_index);

// Before the viewports are drawn: lights, direction, strength and box of
// every record, the time step taken from the light server's settings.
void begin_fake_shadow_frame();

}  // namespace zolt::renderer

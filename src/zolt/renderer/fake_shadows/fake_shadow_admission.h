#pragma once
// Which fake shadows a view draws, in what order, and how faded: by
// priority class first, then those that had a tile last frame, then the
// largest wanted tiles, so a busy scene drops its least wanted shadows and
// keeps the rest steady. Admitted shadows then take atlas tiles, falling back
// to smaller ones. Main thread, per viewport after its lights are known.
#include <cstdint>

#include "libs/geometry/vector.h"
#include "zolt/renderer/fake_shadows/fake_shadow.h"

namespace zolt::renderer {

class FakeShadowRecords;
struct FakeShadow;
class ShadowAtlas;
struct VisibilityContext;

constexpr uint32_t fake_shadow_bucket_count = 100;

// Whether the view sees anything of the shadow's volume: its clip volume and
// the sectors the volume reaches. Null: every volume counts as seen.
using FakeShadowViewTest = bool (*)(const FakeShadow& shadow, const VisibilityContext& context);

// strength x (1 - clamp((distance - fade start) / fade length, 0, 1)).
float get_fake_shadow_fade(const FakeShadow& shadow, const geometry::Vector3& eye);

// The records' indices in admission order; answers how many.
uint32_t order_fake_shadows(FakeShadowRecords& records, uint32_t map_size,
                            uint16_t (&order)[fake_shadow_record_capacity]);

// Adds the admitted records to the context's fake-shadow list with their
// fades (as float bits). A record that finds the list full has its
// darkness set to 0, to grow back at its darkness speed.
void admit_fake_shadows(FakeShadowRecords& records, VisibilityContext& context, const geometry::Vector3& eye,
                        uint32_t map_size, FakeShadowViewTest is_seen);

// A tile for each admitted record without one; a record left without a
// tile has its darkness set to 0.
void assign_fake_shadow_tiles(VisibilityContext& context, ShadowAtlas& atlas);

// The fade stored with a fake-shadow entry.
float get_fake_shadow_entry_fade(uint32_t value);
FakeShadow* get_fake_shadow_entry_record(const VisibilityContext& context, uint32_t index);

}  // namespace zolt::renderer

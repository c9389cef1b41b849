#pragma once
// The runtime record of a fake shadow: its direction turning towards the
// lights around its visual, its strength fading in and out, and the box it
// projects. The light server keeps 200 records dense, so a frame walks only
// the live ones; a visual names its record by index plus one. Main thread.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/renderer/fake_shadows/fake_shadow_settings.h"

namespace zolt::renderer {

struct ShadowTile;

constexpr uint32_t fake_shadow_record_capacity = 200;
constexpr uint16_t no_fake_shadow_link = 0xFFFF;

struct FakeShadow {
    // Takes +Y onto the direction, without roll.
    geometry::Quaternion orientation;
    geometry::Vector3 direction{0, 0, -1};
    // The fourth component must be above 0 for the shadow to be drawn.
    geometry::Vector4 strength;
    geometry::Vector3 target_direction{0, 0, -1};
    geometry::Vector4 target_strength;
    // The centre of the box face towards the lights; the extents are its
    // width (x), height (y) and depth along the direction (z).
    geometry::Vector3 projection_origin;
    geometry::Vector3 projection_extents;
    // The visual's world centre, for the fades and the lights' weights.
    geometry::Vector3 visual_centre;
    FakeShadowSettings settings;
    uint16_t next = no_fake_shadow_link;
    uint8_t had_tile = 0;
    uint8_t has_tile = 0;
    // Valid for the frame that handed it out.
    ShadowTile* tile = nullptr;
    // The owning visual's pool slot.
    uint32_t visual_slot = 0;
    uint8_t initialised = 0;
};

class FakeShadowRecords {
public:
    // A fresh record for the visual slot; -1 when all 200 are in use.
    int32_t allocate(uint32_t visual_slot);
    // The last record moves into the freed place: answers the visual slot
    // whose record index changed (to `index`), or -1 when none moved.
    int64_t release(uint32_t index);
    FakeShadow& get(uint32_t index) { return records_[index]; }
    const FakeShadow& get(uint32_t index) const { return records_[index]; }
    uint32_t get_count() const { return count_; }
    void clear() { count_ = 0; }

private:
    FakeShadow records_[fake_shadow_record_capacity];
    uint32_t count_ = 0;
};

}  // namespace zolt::renderer

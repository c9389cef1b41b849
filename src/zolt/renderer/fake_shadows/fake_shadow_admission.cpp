#include "zolt/renderer/fake_shadows/fake_shadow_admission.h"

#include <algorithm>
#include <bit>
#include <iterator>

#include "zolt/renderer/fake_shadows/fake_shadow.h"
#include "zolt/renderer/shadows/shadow_atlas.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {

namespace {

constexpr float smallest_fade_length = 1.0f / 65536;
constexpr uint32_t buckets_per_priority = 10;
constexpr uint32_t untiled_bucket_offset = 5;

uint32_t get_level(const FakeShadow& shadow, uint32_t map_size) {
    return get_shadow_level_for_resolution(shadow.settings.resolution, map_size);
}

}  // namespace

float get_fake_shadow_fade(const FakeShadow& shadow, const geometry::Vector3& eye) {
    const float distance = geometry::length(shadow.visual_centre - eye);
    const float faded =
        (distance - shadow.settings.fade_start) / std::max(shadow.settings.fade_length, smallest_fade_length);
    return shadow.settings.strength * (1.0f - std::clamp(faded, 0.0f, 1.0f));
}

uint32_t order_fake_shadows(FakeShadowRecords& records, uint32_t map_size,
                            uint16_t (&order)[fake_shadow_record_capacity]) {
    uint16_t heads[fake_shadow_bucket_count];
    std::fill(std::begin(heads), std::end(heads), no_fake_shadow_link);
    for (uint32_t index = 0; index < records.get_count(); ++index) {
        FakeShadow& shadow = records.get(index);
        // A setter or a load never lets a priority past 9; the clamp keeps a
        // bucket in range all the same.
        const uint32_t priority = std::min<uint32_t>(shadow.settings.priority, fake_shadow_priority_limit);
        const uint32_t bucket = buckets_per_priority * priority + (shadow.had_tile != 0 ? 0 : untiled_bucket_offset) +
                                get_level(shadow, map_size);
        shadow.next = heads[bucket];
        heads[bucket] = static_cast<uint16_t>(index);
    }
    uint32_t count = 0;
    for (int32_t bucket = static_cast<int32_t>(fake_shadow_bucket_count) - static_cast<int32_t>(buckets_per_priority);
         bucket >= 0; bucket -= buckets_per_priority) {
        for (uint32_t offset = 0; offset < buckets_per_priority; ++offset) {
            for (uint16_t index = heads[bucket + offset]; index != no_fake_shadow_link;
                 index = records.get(index).next) {
                order[count++] = index;
            }
        }
    }
    return count;
}

void admit_fake_shadows(FakeShadowRecords& records, VisibilityContext& context, const geometry::Vector3& eye,
                        uint32_t map_size, FakeShadowViewTest is_seen) {
    uint16_t order[fake_shadow_record_capacity];
    const uint32_t count = order_fake_shadows(records, map_size, order);
    for (uint32_t position = 0; position < count; ++position) {
        FakeShadow& shadow = records.get(order[position]);
        if (shadow.settings.resolution == 0 || !(shadow.settings.strength > 0) || !(shadow.strength.w > 0)) {
            continue;
        }
        const float fade = get_fake_shadow_fade(shadow, eye);
        if (!(fade > 0)) {
            continue;
        }
        if (is_seen != nullptr && !is_seen(shadow, context)) {
            continue;
        }
        if (!context.add_fake_shadow(&shadow, std::bit_cast<uint32_t>(fade))) {
            shadow.strength.w = 0;
        }
    }
}

void assign_fake_shadow_tiles(VisibilityContext& context, ShadowAtlas& atlas) {
    for (uint32_t index = 0; index < context.fake_shadow_count; ++index) {
        FakeShadow* const shadow = get_fake_shadow_entry_record(context, index);
        if (shadow->has_tile != 0) {
            continue;
        }
        const uint32_t level = get_level(*shadow, atlas.get_map_size());
        shadow->tile = atlas.get_map_count() != 0 ? atlas.allocate_with_fallback(level) : nullptr;
        if (shadow->tile == nullptr) {
            shadow->strength.w = 0;
        } else {
            shadow->has_tile = 1;
        }
    }
}

float get_fake_shadow_entry_fade(uint32_t value) {
    return std::bit_cast<float>(value);
}

FakeShadow* get_fake_shadow_entry_record(const VisibilityContext& context, uint32_t index) {
    // The entries of a view only ever hold records of the light server's array.
    return const_cast<FakeShadow*>(static_cast<const FakeShadow*>(context.fake_shadows[index].pointer));
}

}  // namespace zolt::renderer

#include "zolt/renderer/fake_shadows/fake_shadow_visuals.h"

#include <algorithm>

#include "zolt/renderer/fake_shadows/fake_shadow.h"
#include "zolt/renderer/fake_shadows/fake_shadow_direction.h"
#include "zolt/renderer/lights/light_importance.h"
#include "zolt/renderer/lights/light_server.h"
#include "zolt/renderer/visuals/visual_server.h"

namespace zolt::renderer {

namespace {

constexpr float seconds_per_tick = 0.00001f;
// The lights a fake shadow listens to, as many as an object is lit by.
constexpr uint32_t fake_shadow_light_limit = 7;

// The strongest lights at the centre that share the visual's light mask.
uint32_t gather_lights(const VisualRender& visual, const LightRender* (&lights)[fake_shadow_light_limit]) {
    float weights[fake_shadow_light_limit] = {};
    uint32_t count = 0;
    for (uint32_t slot = 0; slot < light_capacity; ++slot) {
        const LightRender& light = light_server.get_render_slot(slot);
        if (light.on == 0 || light.casts_fake_shadows == 0 || (light.light_mask & visual.light_mask) == 0) {
            continue;
        }
        const float weight = get_fake_shadow_weight(light, visual.world_sphere);
        if (!(weight > 0)) {
            continue;
        }
        uint32_t position = count < fake_shadow_light_limit ? count++ : fake_shadow_light_limit;
        if (position == fake_shadow_light_limit) {
            if (weight <= weights[fake_shadow_light_limit - 1]) {
                continue;
            }
            position = fake_shadow_light_limit - 1;
        }
        for (; position > 0 && weights[position - 1] < weight; --position) {
            weights[position] = weights[position - 1];
            lights[position] = lights[position - 1];
        }
        weights[position] = weight;
        lights[position] = &light;
    }
    return count;
}

void get_world_box(const VisualRender& visual, geometry::Vector3 (&corners)[8]) {
    for (uint32_t corner = 0; corner < 8; ++corner) {
        const geometry::Vector3 local{(corner & 1) != 0 ? visual.box_maximum.x : visual.box_minimum.x,
                                      (corner & 2) != 0 ? visual.box_maximum.y : visual.box_minimum.y,
                                      (corner & 4) != 0 ? visual.box_maximum.z : visual.box_minimum.z};
        corners[corner] = visual.position + geometry::rotate(visual.rotation, local);
    }
}

}  // namespace

FakeShadowSettings* find_fake_shadow_settings(uint16_t settings_index) {
    return light_server.fake_shadow_settings.get(settings_index);
}

bool sync_fake_shadow_record(const FakeShadowSettings* settings, uint32_t visual_slot, int32_t& record_index) {
    if (settings == nullptr) {
        release_fake_shadow_record(record_index);
        return true;
    }
    if (record_index < 0) {
        record_index = light_server.fake_shadows.allocate(visual_slot);
        if (record_index < 0) {
            return false;
        }
    }
    light_server.fake_shadows.get(static_cast<uint32_t>(record_index)).settings = *settings;
    return true;
}

void release_fake_shadow_record(int32_t& record_index) {
    if (record_index < 0) {
        return;
    }
    const int64_t moved = light_server.fake_shadows.release(static_cast<uint32_t>(record_index));
    if (moved >= 0) {
        visual_server.get_render_at(static_cast<uint32_t>(moved)).fake_shadow = record_index;
    }
    record_index = -1;
}

void begin_fake_shadow_frame() {
    FakeShadowRecords& records = light_server.fake_shadows;
    const float seconds =
        static_cast<float>(light_server.get_global_light_render().fake_shadow_time_step) * seconds_per_tick;
    for (uint32_t index = 0; index < records.get_count(); ++index) {
        FakeShadow& shadow = records.get(index);
        const VisualRender& visual = visual_server.get_render_at(shadow.visual_slot);
        shadow.visual_centre = {visual.world_sphere.x, visual.world_sphere.y, visual.world_sphere.z};
        const LightRender* lights[fake_shadow_light_limit] = {};
        const uint32_t count = gather_lights(visual, lights);
        move_fake_shadow(shadow, compute_fake_shadow_target(lights, count, shadow.visual_centre), seconds);
        geometry::Vector3 corners[8];
        get_world_box(visual, corners);
        fit_fake_shadow_projection(shadow, corners);
        shadow.had_tile = shadow.has_tile;
        shadow.has_tile = 0;
        shadow.tile = nullptr;
    }
}

}  // namespace zolt::renderer

#include "zolt/renderer/fake_shadows/fake_shadow_view.h"

#include "zolt/renderer/fake_shadows/fake_shadow.h"
#include "zolt/renderer/fake_shadows/fake_shadow_admission.h"
#include "zolt/renderer/fake_shadows/fake_shadow_volume.h"
#include "zolt/renderer/lights/light_server.h"
#include "zolt/renderer/shadows/shadow_atlas.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/visuals/visual_server.h"

namespace zolt::renderer {

bool is_fake_shadow_seen(const FakeShadow& shadow, const VisibilityContext& context) {
    if (!does_fake_shadow_volume_meet(shadow, context.frustum)) {
        return false;
    }
    // The view must draw a sector the shadow falls into; the visual's own
    // sectors stand for those its volume reaches.
    const VisualRender& visual = visual_server.get_render_at(shadow.visual_slot);
    if (visual.home_sector == nullptr) {
        return false;
    }
    auto& view = const_cast<VisibilityContext&>(context);
    return view.find_sector_view(visual.home_sector) != nullptr ||
           (visual.overlap_sector != nullptr && view.find_sector_view(visual.overlap_sector) != nullptr);
}

void prepare_view_fake_shadows(VisibilityContext& context, ShadowAtlas& atlas) {
    admit_fake_shadows(light_server.fake_shadows, context, context.eye, atlas.get_map_size(), &is_fake_shadow_seen);
}

}  // namespace zolt::renderer

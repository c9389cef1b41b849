#pragma once
// A view's fake shadows, once its lights are known: the records the view
// sees admitted in order (their volumes in its clip volume, their visual's
// sector among its sector views). The shadow passes then give them tiles,
// after the spot lights, and draw their maps. Main (rendering) thread.
namespace zolt::renderer {

struct FakeShadow;
class ShadowAtlas;
struct VisibilityContext;

bool is_fake_shadow_seen(const FakeShadow& shadow, const VisibilityContext& context);
void prepare_view_fake_shadows(VisibilityContext& context, ShadowAtlas& atlas);

}  // namespace zolt::renderer

#pragma once
// The full-screen passes of the lighting layers: the deferred fog, drawn
// once over the whole view with the view ray to the far plane on texture
// unit 1 so the fog shader can rebuild each pixel's distance, and the
// blended layers' screen pass. Rendering thread only.
namespace zolt::renderer {

class Material;

// tan(pi x) by a rational approximation, with x reduced to [-0.5, 0.5]
// first; exact enough for field-of-view rays and far cheaper than tan.
float tangent_of_turns(float x);

// The fog material's setup 0 over the view.
void draw_deferred_fog(Material& fog_material);
// Setup 0 writing alpha only, the frame copied into renderer texture slot
// 0, then setup 1 over the view (the screen pass of layer 8).
void draw_screen_pass(Material& material);

}  // namespace zolt::renderer

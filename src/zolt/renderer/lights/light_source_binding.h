#pragma once
// While the light server is registered, the lighting layers read its render
// records and the light volumes' fades, and visuals choose their lights
// from the lights of their sectors.
namespace zolt::renderer {

void install_light_source();
void remove_light_source();

}  // namespace zolt::renderer

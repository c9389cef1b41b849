#pragma once
// Points the lighting layers' light source at the light server's render
// records and the light volumes' fades while the server is registered.
namespace zolt::renderer {

void install_light_source();
void remove_light_source();

}  // namespace zolt::renderer

// Added over the base pass: colour x intensity falling off linearly to the
// range, times the cosine to the light, inside the round cone inscribed in
// the square that the light's texture matrix maps to 0..1. Pixel vector 0
// is (colour, 1 / range).
uniform vec4 spot_light_parameters_pixel[3];
varying vec3 to_light;
varying vec4 light_space;
varying vec3 normal;

// The light this pass adds, before the surface's own colour.
vec3 get_light_colour() {
    float light_distance = length(to_light);
    float falloff = clamp(1.0 - light_distance * spot_light_parameters_pixel[0].w, 0.0, 1.0);
    float cosine = max(dot(normalize(normal), to_light / max(light_distance, 0.0001)), 0.0);
    // The matrix maps the cone's square to 0..q: centred, the circle is
    // within q of the middle.
    vec2 centred = light_space.xy * 2.0 - light_space.w;
    float inside = light_space.w > 0.0 && dot(centred, centred) <= light_space.w * light_space.w ? 1.0 : 0.0;
    return spot_light_parameters_pixel[0].rgb * (falloff * cosine * inside);
}

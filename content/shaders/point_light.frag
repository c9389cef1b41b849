// Added over the base pass: colour x intensity falling off linearly to the
// range, times the cosine to the light. Pixel vector 0 is (colour, 1 / range).
uniform vec4 point_light_parameters_pixel[1];
varying vec3 to_light;
varying vec3 normal;

// The light this pass adds, before the surface's own colour.
vec3 get_light_colour() {
    float light_distance = length(to_light);
    float falloff = clamp(1.0 - light_distance * point_light_parameters_pixel[0].w, 0.0, 1.0);
    float cosine = max(dot(normalize(normal), to_light / max(light_distance, 0.0001)), 0.0);
    return point_light_parameters_pixel[0].rgb * (falloff * cosine);
}

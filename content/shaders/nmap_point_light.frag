// Added over the base pass: as the plain point light, with the cosine taken
// to the normal the normal map gives. Pixel vector 0 is (colour, 1 / range).
uniform vec4 point_light_parameters_pixel[1];
varying vec3 to_light;
vec3 get_surface_normal();

vec3 get_light_colour() {
    float light_distance = length(to_light);
    float falloff = clamp(1.0 - light_distance * point_light_parameters_pixel[0].w, 0.0, 1.0);
    float cosine = max(dot(get_surface_normal(), to_light / max(light_distance, 0.0001)), 0.0);
    return point_light_parameters_pixel[0].rgb * (falloff * cosine);
}

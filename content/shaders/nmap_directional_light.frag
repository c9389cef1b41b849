// Added over the base pass: colour x intensity times the cosine between the
// mapped normal and the light. Pixel vector 0 is (colour, -).
uniform vec4 directional_light_parameters_pixel[1];
varying vec3 towards_light;
vec3 get_surface_normal();

vec3 get_light_colour() {
    float cosine = max(dot(get_surface_normal(), normalize(towards_light)), 0.0);
    return directional_light_parameters_pixel[0].rgb * cosine;
}

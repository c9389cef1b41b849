// Added over the base pass: colour x intensity times the cosine to the
// light. Pixel vector 0 is (colour, -).
uniform vec4 directional_light_parameters_pixel[1];
varying vec3 normal;
varying vec3 towards_light;

// The light this pass adds, before the surface's own colour.
vec3 get_light_colour() {
    float cosine = max(dot(normalize(normal), normalize(towards_light)), 0.0);
    return directional_light_parameters_pixel[0].rgb * cosine;
}

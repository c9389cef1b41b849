// A directional light's pass (and the global light's without its shadow)
// over a normal-mapped surface. Vertex vector 0 is the direction towards
// the light.
uniform vec4 directional_light_parameters_vertex[1];
varying vec3 towards_light;
vec4 place_surface();

void main() {
    place_surface();
    towards_light = directional_light_parameters_vertex[0].xyz;
}

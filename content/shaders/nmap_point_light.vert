// A point light's pass over a normal-mapped surface. Vertex vector 0 is the
// light's position.
uniform vec4 point_light_parameters_vertex[1];
varying vec3 to_light;
vec4 place_surface();

void main() {
    vec4 world = place_surface();
    to_light = point_light_parameters_vertex[0].xyz - world.xyz;
}

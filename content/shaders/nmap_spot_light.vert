// A spot light's pass over a normal-mapped surface. Vertex vector 0 is the
// light's position, 1 to 4 its texture matrix, whose rows give the
// light-space (s, t, -, q) of a point.
uniform vec4 spot_light_parameters_vertex[5];
varying vec3 to_light;
varying vec4 light_space;
vec4 place_surface();

void main() {
    vec4 world = place_surface();
    to_light = spot_light_parameters_vertex[0].xyz - world.xyz;
    light_space = vec4(dot(spot_light_parameters_vertex[1], world), dot(spot_light_parameters_vertex[2], world),
                       dot(spot_light_parameters_vertex[3], world), dot(spot_light_parameters_vertex[4], world));
}

// A spot light's pass, placed by the object transform (texture coordinate
// sets 5 to 7). Vertex vector 0 is the light's position, 1 to 4 its
// texture matrix, whose rows give the light-space (s, t, -, q) of a point.
uniform vec4 spot_light_parameters_vertex[5];
varying vec3 to_light;
varying vec4 light_space;
varying vec3 normal;

void main() {
    vec4 world = vec4(dot(gl_MultiTexCoord5, gl_Vertex), dot(gl_MultiTexCoord6, gl_Vertex),
                      dot(gl_MultiTexCoord7, gl_Vertex), 1.0);
    gl_Position = gl_ModelViewProjectionMatrix * world;
    to_light = spot_light_parameters_vertex[0].xyz - world.xyz;
    light_space = vec4(dot(spot_light_parameters_vertex[1], world), dot(spot_light_parameters_vertex[2], world),
                       dot(spot_light_parameters_vertex[3], world), dot(spot_light_parameters_vertex[4], world));
    normal = vec3(dot(gl_MultiTexCoord5.xyz, gl_Normal), dot(gl_MultiTexCoord6.xyz, gl_Normal),
                  dot(gl_MultiTexCoord7.xyz, gl_Normal));
    gl_TexCoord[0] = gl_MultiTexCoord0;
}

// A point light's pass, placed by the object transform (texture coordinate
// sets 5 to 7). Vertex vector 0 is the light's position.
uniform vec4 point_light_parameters_vertex[1];
varying vec3 to_light;
varying vec3 normal;

void main() {
    vec4 world = vec4(dot(gl_MultiTexCoord5, gl_Vertex), dot(gl_MultiTexCoord6, gl_Vertex),
                      dot(gl_MultiTexCoord7, gl_Vertex), 1.0);
    gl_Position = gl_ModelViewProjectionMatrix * world;
    to_light = point_light_parameters_vertex[0].xyz - world.xyz;
    normal = vec3(dot(gl_MultiTexCoord5.xyz, gl_Normal), dot(gl_MultiTexCoord6.xyz, gl_Normal),
                  dot(gl_MultiTexCoord7.xyz, gl_Normal));
    gl_TexCoord[0] = gl_MultiTexCoord0;
}

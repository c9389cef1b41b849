// A directional light's pass (and the global light's without its shadow),
// placed by the object transform (texture coordinate sets 5 to 7).
// Vertex vector 0 is the direction towards the light.
uniform vec4 directional_light_parameters_vertex[1];
varying vec3 normal;
varying vec3 towards_light;

void main() {
    vec4 world = vec4(dot(gl_MultiTexCoord5, gl_Vertex), dot(gl_MultiTexCoord6, gl_Vertex),
                      dot(gl_MultiTexCoord7, gl_Vertex), 1.0);
    gl_Position = gl_ModelViewProjectionMatrix * world;
    towards_light = directional_light_parameters_vertex[0].xyz;
    normal = vec3(dot(gl_MultiTexCoord5.xyz, gl_Normal), dot(gl_MultiTexCoord6.xyz, gl_Normal),
                  dot(gl_MultiTexCoord7.xyz, gl_Normal));
    gl_TexCoord[0] = gl_MultiTexCoord0;
}

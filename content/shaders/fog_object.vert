// A surface's own fog pass, placed by the object transform (texture
// coordinate sets 5 to 7): its offset from the eye (common vertex vector 0)
// goes on to the pixel, which takes its length there, since a length does
// not interpolate across a triangle.
uniform vec4 common_vertex_parameters[8];
varying vec3 eye_offset;

void main() {
    vec4 world = vec4(dot(gl_MultiTexCoord5, gl_Vertex), dot(gl_MultiTexCoord6, gl_Vertex),
                      dot(gl_MultiTexCoord7, gl_Vertex), 1.0);
    gl_Position = gl_ModelViewProjectionMatrix * world;
    eye_offset = world.xyz - common_vertex_parameters[0].xyz;
}

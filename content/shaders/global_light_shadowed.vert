// The global light's pass with its shadow, placed by the object transform
// (texture coordinate sets 5 to 7): the world point goes on to the pixel,
// which finds its cascade.
varying vec3 world_position;
varying vec3 normal;

void main() {
    vec4 world = vec4(dot(gl_MultiTexCoord5, gl_Vertex), dot(gl_MultiTexCoord6, gl_Vertex),
                      dot(gl_MultiTexCoord7, gl_Vertex), 1.0);
    gl_Position = gl_ModelViewProjectionMatrix * world;
    world_position = world.xyz;
    normal = vec3(dot(gl_MultiTexCoord5.xyz, gl_Normal), dot(gl_MultiTexCoord6.xyz, gl_Normal),
                  dot(gl_MultiTexCoord7.xyz, gl_Normal));
    gl_TexCoord[0] = gl_MultiTexCoord0;
}

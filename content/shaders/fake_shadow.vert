// A fake shadow's box, placed by the object transform (texture coordinate
// sets 5 to 7), which the fake-shadow layer keeps at the identity. The clip
// position finds the pixel in the depth layer's copy.
varying vec4 clip_position;

void main() {
    vec4 world = vec4(dot(gl_MultiTexCoord5, gl_Vertex), dot(gl_MultiTexCoord6, gl_Vertex),
                      dot(gl_MultiTexCoord7, gl_Vertex), 1.0);
    gl_Position = gl_ModelViewProjectionMatrix * world;
    clip_position = gl_Position;
}

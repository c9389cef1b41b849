// A shadow caster's depth from the light, placed by the object transform
// (texture coordinate sets 5 to 7). Depth leaves the vertex multiplied by w
// so that it stays linear after the division, as the lookups expect.
void main() {
    vec4 world = vec4(dot(gl_MultiTexCoord5, gl_Vertex), dot(gl_MultiTexCoord6, gl_Vertex),
                      dot(gl_MultiTexCoord7, gl_Vertex), 1.0);
    vec4 clip = gl_ModelViewProjectionMatrix * world;
    gl_Position = vec4(clip.xy, clip.z * clip.w, clip.w);
}

// Flat colour, placed by the object transform: its three columns arrive as
// texture coordinate sets 5 to 7. For geometry kept in its owner's space,
// such as decals on a visual or a sector.
void main() {
    vec4 world = vec4(dot(gl_MultiTexCoord5, gl_Vertex), dot(gl_MultiTexCoord6, gl_Vertex),
                      dot(gl_MultiTexCoord7, gl_Vertex), 1.0);
    gl_Position = gl_ModelViewProjectionMatrix * world;
}

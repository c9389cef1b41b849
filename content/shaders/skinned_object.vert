// Skinned and vertex-coloured, then placed by the object transform (texture
// coordinate sets 5 to 7): up to four palette entries per vertex, their
// weights in texture coordinate set 1 and their numbers in set 2. Each entry
// is three rows of its 3 x 4 skinning matrix.
uniform vec4 skinning_matrices[96];

vec3 skin(float entry, vec4 position) {
    int row = int(entry) * 3;
    return vec3(dot(skinning_matrices[row], position), dot(skinning_matrices[row + 1], position),
                dot(skinning_matrices[row + 2], position));
}

void main() {
    vec4 weights = gl_MultiTexCoord1;
    vec4 entries = gl_MultiTexCoord2;
    vec4 posed = vec4(weights.x * skin(entries.x, gl_Vertex) + weights.y * skin(entries.y, gl_Vertex) +
                          weights.z * skin(entries.z, gl_Vertex) + weights.w * skin(entries.w, gl_Vertex),
                      1.0);
    vec4 world = vec4(dot(gl_MultiTexCoord5, posed), dot(gl_MultiTexCoord6, posed), dot(gl_MultiTexCoord7, posed),
                      1.0);
    gl_Position = gl_ModelViewProjectionMatrix * world;
    gl_FrontColor = gl_Color;
}

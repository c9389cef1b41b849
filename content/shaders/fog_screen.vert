// The full-screen fog: the quad's corners are already the view's corners
// in clip space; texture coordinates 0 reach the depth layer's colour, 1
// is the view ray to the far plane.
void main() {
    gl_Position = vec4(gl_Vertex.xy, 0.0, 1.0);
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_TexCoord[1] = gl_MultiTexCoord1;
}

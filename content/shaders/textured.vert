// Textured and tinted by the vertex colour.
varying vec2 texture_coordinates;

void main() {
    gl_Position = ftransform();
    gl_FrontColor = gl_Color;
    texture_coordinates = gl_MultiTexCoord0.xy;
}

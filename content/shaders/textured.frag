uniform sampler2D diffuse_texture;
varying vec2 texture_coordinates;

void main() {
    gl_FragColor = texture2D(diffuse_texture, texture_coordinates) * gl_Color;
}

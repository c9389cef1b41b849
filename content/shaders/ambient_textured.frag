// The base pass of a lit surface: the texture under the ambient light only;
// each light's pass adds its own share over it.
uniform sampler2D diffuse_texture;
uniform vec4 ambient_color;
varying vec2 texture_coordinates;

void main() {
    gl_FragColor = texture2D(diffuse_texture, texture_coordinates) * gl_Color * ambient_color;
}

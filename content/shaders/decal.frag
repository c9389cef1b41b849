uniform sampler2D diffuse_texture;
varying vec2 texture_coordinates;
varying float opacity;

void main() {
    vec4 texel = texture2D(diffuse_texture, texture_coordinates);
    gl_FragColor = vec4(texel.rgb, texel.a * opacity);
}

// A light pass over a textured surface: the light times the texture.
uniform sampler2D diffuse_texture;
vec3 get_light_colour();

void main() {
    gl_FragColor = vec4(get_light_colour() * texture2D(diffuse_texture, gl_TexCoord[0].xy).rgb, 1.0);
}

// A light pass over glass: the light times the texture, weighted by the
// texture's alpha when added, so the pane takes as much light as it covers.
uniform sampler2D diffuse_texture;
vec3 get_light_colour();

void main() {
    vec4 glass = texture2D(diffuse_texture, gl_TexCoord[0].xy);
    gl_FragColor = vec4(get_light_colour() * glass.rgb, glass.a);
}

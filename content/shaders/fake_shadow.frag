// Darkens what the stencil left inside a fake shadow's box, multiplied
// over the frame. Vector 0 is the shadow's strength, its w already faded
// for the view; the fill colour brightens the shadow per channel.
uniform vec4 fake_shadow_parameters[8];

void main() {
    vec4 strength = fake_shadow_parameters[0];
    gl_FragColor = vec4(min(vec3(1.0 - strength.w) + strength.rgb, vec3(1.0)), 1.0);
}

// The frame with the blurred glow added.
uniform sampler2D tap_0;
uniform sampler2D tap_1;

void main() {
    vec3 frame = texture2D(tap_0, gl_TexCoord[0].xy).rgb;
    vec3 glow = texture2D(tap_1, gl_TexCoord[1].xy).rgb;
    gl_FragColor = vec4(min(frame + glow, vec3(1.0)), 1.0);
}

// What glows: the frame's colour above the threshold (viewport parameter
// 258), scaled per channel by parameter 257; black by default.
uniform sampler2D tap_0;
uniform vec4 glow_scale;
uniform vec4 glow_threshold;

void main() {
    vec3 colour = texture2D(tap_0, gl_TexCoord[0].xy).rgb;
    gl_FragColor = vec4(max(colour - glow_threshold.xyz, vec3(0.0)) * glow_scale.xyz, 1.0);
}

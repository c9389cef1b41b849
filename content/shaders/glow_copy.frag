// The frame as it is: the blur is off.
uniform sampler2D tap_0;

void main() {
    gl_FragColor = vec4(texture2D(tap_0, gl_TexCoord[0].xy).rgb, 1.0);
}

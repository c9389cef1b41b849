// Four bilinear taps at -2.5, -0.5, 0.5 and 2.5 texels: eight texels along
// the pass's direction.
uniform sampler2D tap_0;
uniform sampler2D tap_1;
uniform sampler2D tap_2;
uniform sampler2D tap_3;

void main() {
    gl_FragColor = 0.25 * (texture2D(tap_0, gl_TexCoord[0].xy) + texture2D(tap_1, gl_TexCoord[1].xy) +
                           texture2D(tap_2, gl_TexCoord[2].xy) + texture2D(tap_3, gl_TexCoord[3].xy));
}

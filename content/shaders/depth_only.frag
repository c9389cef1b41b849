// The depth pass: its colour keeps the window depth packed in 24 bits for
// the layers that need the surface under a pixel (the fake shadows).
void main() {
    vec3 encoded = fract(gl_FragCoord.z * vec3(1.0, 255.0, 65025.0));
    encoded.xy -= encoded.yz / 255.0;
    gl_FragColor = vec4(encoded, 1.0);
}

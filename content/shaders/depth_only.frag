// The depth pass: the lit passes cover the colour, so it carries the view
// depth (1 / w of the pixel) as a fraction of the far distance in 24 bits,
// for the full-screen fog to read back.
uniform vec4 depth_rendering_parameters[2];

void main() {
    float far_distance = depth_rendering_parameters[0].x;
    float fraction = far_distance > 0.0 ? clamp(1.0 / (gl_FragCoord.w * far_distance), 0.0, 1.0) : 0.0;
    vec3 encoded = fract(fraction * vec3(1.0, 255.0, 65025.0));
    encoded -= encoded.yzz * vec3(1.0 / 255.0, 1.0 / 255.0, 0.0);
    if (fraction >= 1.0) {
        encoded = vec3(1.0, 0.0, 0.0);
    }
    gl_FragColor = vec4(encoded, 1.0);
}

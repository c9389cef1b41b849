// The depth pass: only the depth counts; the lit passes cover the colour.
void main() {
    gl_FragColor = vec4(0.0, 0.0, 0.0, 1.0);
}

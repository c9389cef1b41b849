// Only depth counts in a shadow pass.
void main() {
    gl_FragColor = vec4(1.0);
}

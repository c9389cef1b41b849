// Flat colour: position only. No #version line: the engine puts its one-line
// prefix in front of every shader text, and GLSL wants #version first.
void main() {
    gl_Position = ftransform();
}

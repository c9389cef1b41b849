// Each vertex's own colour (particles carry theirs in the vertex). No
// #version line: the engine puts its prefix in front of every shader text.
void main() {
    gl_FrontColor = gl_Color;
    gl_Position = ftransform();
}

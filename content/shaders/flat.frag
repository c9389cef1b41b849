uniform vec4 material_colour;

void main() {
    gl_FragColor = material_colour;
}

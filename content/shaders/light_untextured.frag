// A light pass over a surface of no colour of its own: the light alone.
vec3 get_light_colour();

void main() {
    gl_FragColor = vec4(get_light_colour(), 1.0);
}

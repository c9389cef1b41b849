varying vec3 eye_offset;
vec4 get_fog(float surface_distance);

void main() {
    gl_FragColor = get_fog(length(eye_offset));
}

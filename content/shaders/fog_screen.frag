// The full-screen fog over what the depth layer drew: its colour holds the
// view depth as a fraction of the far distance (depth_only.frag); the view
// ray scaled by that fraction reaches the surface, whose distance sets the
// share of fog. Where nothing was drawn the fraction is 1: the far plane.
uniform sampler2D depth_colour;
vec4 get_fog(float surface_distance);

void main() {
    vec3 encoded = texture2D(depth_colour, gl_TexCoord[0].xy).rgb;
    float fraction = dot(encoded, vec3(1.0, 1.0 / 255.0, 1.0 / 65025.0));
    gl_FragColor = get_fog(length(gl_TexCoord[1].xyz) * fraction);
}

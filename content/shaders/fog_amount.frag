// The view's fog, from its user vector 2: (colour, density per metre); the
// share of fog over a distance d is 1 - exp(-density d). Drawn blended, the
// alpha carries that share.
uniform vec4 fog_parameters;

vec4 get_fog(float surface_distance) {
    float density = max(fog_parameters.w, 0.0);
    return vec4(fog_parameters.rgb, clamp(1.0 - exp(-density * max(surface_distance, 0.0)), 0.0, 1.0));
}

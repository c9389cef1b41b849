// Darkens what the stencil left inside a fake shadow's box, multiplied
// over the frame, where the shadow's map holds its visual nearer the lights
// than the surface. The surface comes back from the view depth the depth
// layer packed into its colour (unit 0); vectors 1 to 4 take it to the map's
// (u, v, depth), vector 5 places that in the map's tile (unit 1). Vector 0
// is the shadow's strength, its w already faded for the view; the fill
// colour brightens the shadow per channel.
uniform vec4 fake_shadow_parameters[8];
uniform sampler2D scene_depth;
uniform sampler2DShadow shadow_map;
varying vec4 clip_position;

// Of the map's depth span: keeps the visual from shadowing its own surface.
const float shadow_depth_bias = 0.04;

float get_shadow() {
    vec2 screen = clip_position.xy / clip_position.w;
    vec3 encoded = texture2D(scene_depth, screen * 0.5 + 0.5).rgb;
    float fraction = dot(encoded, vec3(1.0, 1.0 / 255.0, 1.0 / 65025.0));
    // The depth layer drew nothing here: the box alone says where.
    if (fraction >= 0.9999) {
        return 1.0;
    }
    // The view depth is a fraction of the far distance: that much of the
    // way from the eye to the far plane along the pixel's ray.
    vec4 far_point = gl_ModelViewProjectionMatrixInverse * vec4(screen, 1.0, 1.0);
    // The eye is where clip x, y and w vanish, whichever matrix holds the view.
    vec4 eye = gl_ModelViewProjectionMatrixInverse * vec4(0.0, 0.0, 1.0, 0.0);
    vec4 surface = vec4(mix(eye.xyz / eye.w, far_point.xyz / far_point.w, fraction), 1.0);
    vec3 in_map = vec3(dot(surface, fake_shadow_parameters[1]), dot(surface, fake_shadow_parameters[2]),
                       dot(surface, fake_shadow_parameters[3]));
    if (any(lessThan(in_map.xy, vec2(0.0))) || any(greaterThan(in_map.xy, vec2(1.0)))) {
        return 0.0;
    }
    vec4 tile = fake_shadow_parameters[5];
    float lit = shadow2D(shadow_map, vec3(tile.xy + in_map.xy * tile.zw, min(in_map.z - shadow_depth_bias, 0.9999))).r;
    return 1.0 - lit;
}

void main() {
    vec4 strength = fake_shadow_parameters[0];
    vec3 shadowed = min(vec3(1.0 - strength.w) + strength.rgb, vec3(1.0));
    gl_FragColor = vec4(mix(vec3(1.0), shadowed, get_shadow()), 1.0);
}

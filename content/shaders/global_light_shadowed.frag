// Added over the base pass: the global light's colour x intensity times the
// cosine to it, darkened by its shadow strength where a cascade's map holds
// something nearer the light. Pixel vector 0 is the light's direction, 1
// (colour, shadow strength), then from 4 three rows per cascade giving the
// point's (s, t, depth) in the cascade's quadrant of the map on unit 15.
// The first cascade whose box holds the point is the finest that does.
uniform vec4 sun_parameters_pixel[16];
uniform sampler2DShadow shadow_map;
varying vec3 world_position;
varying vec3 normal;

// In the cascade box's depth, 0 at the light's side and 1 at the far side.
const float shadow_depth_bias = 0.004;

float get_shadow_light() {
    vec4 world = vec4(world_position, 1.0);
    for (int cascade = 0; cascade < 4; ++cascade) {
        vec4 s_row = sun_parameters_pixel[4 + 3 * cascade];
        vec4 t_row = sun_parameters_pixel[5 + 3 * cascade];
        vec4 depth_row = sun_parameters_pixel[6 + 3 * cascade];
        vec3 map = vec3(dot(s_row, world), dot(t_row, world), dot(depth_row, world));
        // A slot without a cascade has a zero matrix.
        bool present = dot(abs(s_row), vec4(1.0)) > 0.0;
        if (present && map.x >= 0.0 && map.x <= 1.0 && map.y >= 0.0 && map.y <= 1.0 && map.z <= 1.0) {
            vec2 quadrant = vec2(mod(float(cascade), 2.0), floor(float(cascade) / 2.0));
            return shadow2D(shadow_map, vec3((map.xy + quadrant) * 0.5, map.z - shadow_depth_bias)).r;
        }
    }
    return 1.0;
}

vec3 get_light_colour() {
    float cosine = max(dot(normalize(normal), normalize(-sun_parameters_pixel[0].xyz)), 0.0);
    float shadow = mix(1.0, get_shadow_light(), clamp(sun_parameters_pixel[1].w, 0.0, 1.0));
    return sun_parameters_pixel[1].rgb * (cosine * shadow);
}

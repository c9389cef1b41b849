// The spot light's pass over its shadow map: as the plain spot light, but
// dark where the map's depth is nearer the light than the point. Pixel
// vector 1 is the light's tile in the map (x, y, width, height), vector 2
// holds the shadow fade in z; the map is compared in depth on unit 15.
uniform vec4 spot_light_parameters_pixel[3];
uniform sampler2DShadow shadow_map;
varying vec3 to_light;
varying vec4 light_space;
varying vec3 normal;

// In the spot light's linear depth, 0 at near and 1 at far: keeps a lit
// surface from shadowing itself.
const float shadow_depth_bias = 0.004;

vec3 get_light_colour() {
    float light_distance = length(to_light);
    float falloff = clamp(1.0 - light_distance * spot_light_parameters_pixel[0].w, 0.0, 1.0);
    float cosine = max(dot(normalize(normal), to_light / max(light_distance, 0.0001)), 0.0);
    vec2 centred = light_space.xy * 2.0 - light_space.w;
    float inside = light_space.w > 0.0 && dot(centred, centred) <= light_space.w * light_space.w ? 1.0 : 0.0;
    vec4 tile = spot_light_parameters_pixel[1];
    vec2 in_tile = clamp(light_space.xy / max(light_space.w, 0.0001), 0.0, 1.0);
    float lit = shadow2D(shadow_map, vec3(tile.xy + in_tile * tile.zw, light_space.z - shadow_depth_bias)).r;
    float shadow = mix(1.0, lit, clamp(spot_light_parameters_pixel[2].z, 0.0, 1.0));
    return spot_light_parameters_pixel[0].rgb * (falloff * cosine * inside * shadow);
}

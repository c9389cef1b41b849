// Added over the base pass: as the plain spot light, with the cosine taken
// to the normal the normal map gives. Pixel vector 0 is (colour, 1 / range).
uniform vec4 spot_light_parameters_pixel[3];
varying vec3 to_light;
varying vec4 light_space;
vec3 get_surface_normal();

vec3 get_light_colour() {
    float light_distance = length(to_light);
    float falloff = clamp(1.0 - light_distance * spot_light_parameters_pixel[0].w, 0.0, 1.0);
    float cosine = max(dot(get_surface_normal(), to_light / max(light_distance, 0.0001)), 0.0);
    vec2 centred = light_space.xy * 2.0 - light_space.w;
    float inside = light_space.w > 0.0 && dot(centred, centred) <= light_space.w * light_space.w ? 1.0 : 0.0;
    return spot_light_parameters_pixel[0].rgb * (falloff * cosine * inside);
}

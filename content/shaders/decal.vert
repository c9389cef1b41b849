// A decal, kept in its target's space and placed by the object transform,
// whose three columns arrive as texture coordinate sets 5 to 7. The decal
// fades over its fade time once its lifetime is over: decal_timing holds the
// seconds since the set's time base, the lifetime and the fade time; the
// decal's own spawn time arrives as texture coordinate set 1.
uniform vec4 decal_timing;
varying vec2 texture_coordinates;
varying float opacity;

void main() {
    vec4 world = vec4(dot(gl_MultiTexCoord5, gl_Vertex), dot(gl_MultiTexCoord6, gl_Vertex),
                      dot(gl_MultiTexCoord7, gl_Vertex), 1.0);
    gl_Position = gl_ModelViewProjectionMatrix * world;
    texture_coordinates = gl_MultiTexCoord0.xy;
    float past_lifetime = decal_timing.x - gl_MultiTexCoord1.x - decal_timing.y;
    opacity = decal_timing.z > 0.0 ? clamp(1.0 - past_lifetime / decal_timing.z, 0.0, 1.0)
                                   : step(past_lifetime, 0.0);
}

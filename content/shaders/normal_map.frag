// The surface normal from a tangent-space normal map (x along the
// tangent, y along the bitangent, z out of the surface, each stored as
// 0.5 + 0.5 n). A tangent lying along the normal, or none at all, falls
// back to any direction across the normal so the result stays finite.
uniform sampler2D normal_texture;
varying vec3 normal;
varying vec4 tangent;

vec3 get_surface_normal() {
    vec3 n = normalize(normal);
    vec3 t = tangent.xyz - n * dot(n, tangent.xyz);
    if (dot(t, t) < 1e-8) {
        t = abs(n.x) < 0.9 ? vec3(1.0, 0.0, 0.0) - n * n.x : vec3(0.0, 1.0, 0.0) - n * n.y;
    }
    t = normalize(t);
    vec3 b = cross(n, t) * (tangent.w < 0.0 ? -1.0 : 1.0);
    vec3 m = texture2D(normal_texture, gl_TexCoord[0].xy).xyz * 2.0 - 1.0;
    vec3 perturbed = t * m.x + b * m.y + n * m.z;
    return dot(perturbed, perturbed) > 1e-8 ? normalize(perturbed) : n;
}

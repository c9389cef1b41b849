// A normal-mapped surface placed by the object transform (texture
// coordinate sets 5 to 7): its normal and its tangent (set 1, xyz and the
// bitangent's sign in w) go on to the pixel, which reads the normal map in
// that frame.
varying vec3 normal;
varying vec4 tangent;

vec4 place_surface() {
    vec4 world = vec4(dot(gl_MultiTexCoord5, gl_Vertex), dot(gl_MultiTexCoord6, gl_Vertex),
                      dot(gl_MultiTexCoord7, gl_Vertex), 1.0);
    gl_Position = gl_ModelViewProjectionMatrix * world;
    normal = vec3(dot(gl_MultiTexCoord5.xyz, gl_Normal), dot(gl_MultiTexCoord6.xyz, gl_Normal),
                  dot(gl_MultiTexCoord7.xyz, gl_Normal));
    vec3 along = gl_MultiTexCoord1.xyz;
    tangent = vec4(dot(gl_MultiTexCoord5.xyz, along), dot(gl_MultiTexCoord6.xyz, along),
                   dot(gl_MultiTexCoord7.xyz, along), gl_MultiTexCoord1.w);
    gl_TexCoord[0] = gl_MultiTexCoord0;
    return world;
}

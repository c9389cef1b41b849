!!ARBfp1.0
# Texture unit 0 tinted by the vertex colour.
TEMP texel;
TEX texel, fragment.texcoord[0], texture[0], 2D;
MUL result.color, texel, fragment.color;
END

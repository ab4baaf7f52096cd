// Texel directions of the planets' cube maps, shared by the passes that write them.
#ifndef CUBEFACE_GLSL
#define CUBEFACE_GLSL

// Direction of a texel centre for the cube face order +X, -X, +Y, -Y, +Z, -Z, with (s, t) oriented as the
// sampler's cube face selection expects (s along the image rows, t down the columns).
vec3 cubeDirection(uint face, vec2 uv) {
    vec2 st = uv * 2.0 - 1.0;
    float s = st.x, t = st.y;
    if (face == 0u) return vec3(1.0, -t, -s);
    if (face == 1u) return vec3(-1.0, -t, s);
    if (face == 2u) return vec3(s, 1.0, t);
    if (face == 3u) return vec3(s, -1.0, -t);
    if (face == 4u) return vec3(s, -t, 1.0);
    return vec3(-s, -t, -1.0);
}

#endif

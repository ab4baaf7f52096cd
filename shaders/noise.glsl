// Noise functions on 3D points, used by the planet generator and the surface shaders.
// All are deterministic integer-hash based, so every run and every face gives the same value at the same point.
#ifndef NOISE_GLSL
#define NOISE_GLSL

// PCG-style 3D integer hash (well distributed in every component).
uvec3 pcg3d(uvec3 v) {
    v = v * 1664525u + 1013904223u;
    v.x += v.y * v.z;
    v.y += v.z * v.x;
    v.z += v.x * v.y;
    v ^= v >> 16u;
    v.x += v.y * v.z;
    v.y += v.z * v.x;
    v.z += v.x * v.y;
    return v;
}

vec3 hash33(ivec3 p) { return vec3(pcg3d(uvec3(p))) * (1.0 / 4294967295.0); }

// Unit gradient of a lattice point.
vec3 latticeGradient(ivec3 p) {
    vec3 h = hash33(p) * 2.0 - 1.0;
    float len = length(h);
    return len > 1e-4 ? h / len : vec3(1.0, 0.0, 0.0);
}

// Improved Perlin gradient noise (quintic fade), about [-1, 1].
float perlinNoise(vec3 p) {
    ivec3 i = ivec3(floor(p));
    vec3 f = fract(p);
    vec3 u = f * f * f * (f * (f * 6.0 - 15.0) + 10.0);
    float n000 = dot(latticeGradient(i + ivec3(0, 0, 0)), f - vec3(0, 0, 0));
    float n100 = dot(latticeGradient(i + ivec3(1, 0, 0)), f - vec3(1, 0, 0));
    float n010 = dot(latticeGradient(i + ivec3(0, 1, 0)), f - vec3(0, 1, 0));
    float n110 = dot(latticeGradient(i + ivec3(1, 1, 0)), f - vec3(1, 1, 0));
    float n001 = dot(latticeGradient(i + ivec3(0, 0, 1)), f - vec3(0, 0, 1));
    float n101 = dot(latticeGradient(i + ivec3(1, 0, 1)), f - vec3(1, 0, 1));
    float n011 = dot(latticeGradient(i + ivec3(0, 1, 1)), f - vec3(0, 1, 1));
    float n111 = dot(latticeGradient(i + ivec3(1, 1, 1)), f - vec3(1, 1, 1));
    float nx00 = mix(n000, n100, u.x), nx10 = mix(n010, n110, u.x);
    float nx01 = mix(n001, n101, u.x), nx11 = mix(n011, n111, u.x);
    // Unit gradients in 3D peak near sqrt(3)/2; scale to about [-1, 1].
    return 1.1547 * mix(mix(nx00, nx10, u.y), mix(nx01, nx11, u.y), u.z);
}

// Simplex noise on the skewed tetrahedral lattice, about [-1, 1].
float simplexNoise(vec3 p) {
    const float F3 = 1.0 / 3.0;
    const float G3 = 1.0 / 6.0;
    vec3 s = floor(p + dot(p, vec3(F3)));
    vec3 x0 = p - s + dot(s, vec3(G3));
    // Order the offsets to walk the simplex that contains the point.
    vec3 e = step(vec3(0.0), x0 - x0.yzx);
    vec3 i1 = e * (1.0 - e.zxy);
    vec3 i2 = 1.0 - e.zxy * (1.0 - e);
    vec3 x1 = x0 - i1 + G3;
    vec3 x2 = x0 - i2 + 2.0 * G3;
    vec3 x3 = x0 - 1.0 + 3.0 * G3;
    ivec3 is = ivec3(s);
    vec4 w = max(0.6 - vec4(dot(x0, x0), dot(x1, x1), dot(x2, x2), dot(x3, x3)), 0.0);
    vec4 d = vec4(dot(latticeGradient(is), x0), dot(latticeGradient(is + ivec3(i1)), x1),
                  dot(latticeGradient(is + ivec3(i2)), x2), dot(latticeGradient(is + ivec3(1)), x3));
    w *= w;
    w *= w;
    return clamp(dot(d, w) * 32.0, -1.0, 1.0);
}

// Distances to the nearest and second nearest feature point of a jittered grid (Worley cellular noise).
vec2 worleyF1F2(vec3 p) {
    ivec3 i = ivec3(floor(p));
    vec3 f = fract(p);
    float f1 = 8.0, f2 = 8.0;
    for (int z = -1; z <= 1; ++z)
        for (int y = -1; y <= 1; ++y)
            for (int x = -1; x <= 1; ++x) {
                ivec3 c = ivec3(x, y, z);
                vec3 feature = vec3(c) + hash33(i + c) - f;
                float d = dot(feature, feature);
                if (d < f1) {
                    f2 = f1;
                    f1 = d;
                } else if (d < f2) {
                    f2 = d;
                }
            }
    return sqrt(vec2(f1, f2));
}

// Curl of a vector potential made of three decorrelated simplex fields: a divergence-free flow.
vec3 curlNoise(vec3 p) {
    const float e = 0.05;
    const vec3 o1 = vec3(31.416, 17.1, 5.73), o2 = vec3(-11.3, 47.9, 23.1);
    vec3 dx = vec3(e, 0, 0), dy = vec3(0, e, 0), dz = vec3(0, 0, e);
    float pyz = simplexNoise(p + o2 + dy) - simplexNoise(p + o2 - dy); // dPsi_z/dy
    float pzy = simplexNoise(p + o1 + dz) - simplexNoise(p + o1 - dz); // dPsi_y/dz
    float pzx = simplexNoise(p + dz) - simplexNoise(p - dz);           // dPsi_x/dz
    float pxz = simplexNoise(p + o2 + dx) - simplexNoise(p + o2 - dx); // dPsi_z/dx
    float pxy = simplexNoise(p + o1 + dx) - simplexNoise(p + o1 - dx); // dPsi_y/dx
    float pyx = simplexNoise(p + dy) - simplexNoise(p - dy);           // dPsi_x/dy
    return vec3(pyz - pzy, pzx - pxz, pxy - pyx) / (2.0 * e);
}

#endif

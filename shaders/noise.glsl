// Noise functions on 3D points, used by the planet generator and the surface shaders.
// All are deterministic integer-hash based, so every run and every face gives the same value at the same point.
// One 32-bit hash per lattice point and gradients picked from its bits keep them cheap on a CPU driver.
#ifndef NOISE_GLSL
#define NOISE_GLSL

// Hash of a lattice point: a multiply-add of the coordinates, then a two-round avalanche (murmur3 finaliser).
uint hash3(ivec3 p) {
    uvec3 q = uvec3(p);
    uint h = q.x * 0x8da6b343u + q.y * 0xd8163841u + q.z * 0xcb1ab31fu + 0x9e3779b9u;
    h ^= h >> 16u;
    h *= 0x85ebca6bu;
    h ^= h >> 13u;
    h *= 0xc2b2ae35u;
    h ^= h >> 16u;
    return h;
}

// Three numbers in [0, 1] from the bits of a hash (11, 11 and 10 bits).
vec3 hashToUnit3(uint h) {
    return vec3(float(h & 2047u), float((h >> 11u) & 2047u), float(h >> 22u)) *
           vec3(1.0 / 2047.0, 1.0 / 2047.0, 1.0 / 1023.0);
}

// Kept for callers that want a jittered offset of a cell.
vec3 hash33(ivec3 p) { return hashToUnit3(hash3(p)); }

// One of the twelve cube-edge gradients (Perlin's improved set; 16 codes with four repeated), chosen by the
// low hash bits without a table lookup.
vec3 latticeGradient(uint h) {
    uint b = h & 15u;
    vec3 eu = b < 8u ? vec3(1.0, 0.0, 0.0) : vec3(0.0, 1.0, 0.0);
    vec3 ev = b < 4u ? vec3(0.0, 1.0, 0.0) : ((b == 12u || b == 14u) ? vec3(1.0, 0.0, 0.0) : vec3(0.0, 0.0, 1.0));
    return ((b & 1u) == 0u ? eu : -eu) + ((b & 2u) == 0u ? ev : -ev);
}

// Improved Perlin gradient noise (quintic fade), about [-1, 1].
float perlinNoise(vec3 p) {
    vec3 fl = floor(p);
    ivec3 i = ivec3(fl);
    vec3 f = p - fl;
    vec3 u = f * f * f * (f * (f * 6.0 - 15.0) + 10.0);
    float n000 = dot(latticeGradient(hash3(i)), f);
    float n100 = dot(latticeGradient(hash3(i + ivec3(1, 0, 0))), f - vec3(1, 0, 0));
    float n010 = dot(latticeGradient(hash3(i + ivec3(0, 1, 0))), f - vec3(0, 1, 0));
    float n110 = dot(latticeGradient(hash3(i + ivec3(1, 1, 0))), f - vec3(1, 1, 0));
    float n001 = dot(latticeGradient(hash3(i + ivec3(0, 0, 1))), f - vec3(0, 0, 1));
    float n101 = dot(latticeGradient(hash3(i + ivec3(1, 0, 1))), f - vec3(1, 0, 1));
    float n011 = dot(latticeGradient(hash3(i + ivec3(0, 1, 1))), f - vec3(0, 1, 1));
    float n111 = dot(latticeGradient(hash3(i + ivec3(1, 1, 1))), f - vec3(1, 1, 1));
    float nx00 = mix(n000, n100, u.x), nx10 = mix(n010, n110, u.x);
    float nx01 = mix(n001, n101, u.x), nx11 = mix(n011, n111, u.x);
    return mix(mix(nx00, nx10, u.y), mix(nx01, nx11, u.y), u.z);
}

// Simplex noise with its analytic gradient (Gustavson's construction): xyz = gradient, w = value, about [-1, 1].
vec4 simplexNoiseGrad(vec3 p) {
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
    vec3 g0 = latticeGradient(hash3(is));
    vec3 g1 = latticeGradient(hash3(is + ivec3(i1)));
    vec3 g2 = latticeGradient(hash3(is + ivec3(i2)));
    vec3 g3 = latticeGradient(hash3(is + ivec3(1)));
    vec4 t = max(0.6 - vec4(dot(x0, x0), dot(x1, x1), dot(x2, x2), dot(x3, x3)), 0.0);
    vec4 d = vec4(dot(g0, x0), dot(g1, x1), dot(g2, x2), dot(g3, x3));
    vec4 t2 = t * t;
    vec4 t4 = t2 * t2;
    // d/dx of t^4 (g . x) = t^4 g - 8 t^3 (g . x) x
    vec4 c = -8.0 * t2 * t * d;
    vec3 grad = t4.x * g0 + c.x * x0 + t4.y * g1 + c.y * x1 + t4.z * g2 + c.z * x2 + t4.w * g3 + c.w * x3;
    return vec4(grad, dot(d, t4)) * 32.0;
}

// Simplex noise, about [-1, 1].
float simplexNoise(vec3 p) {
    const float F3 = 1.0 / 3.0;
    const float G3 = 1.0 / 6.0;
    vec3 s = floor(p + dot(p, vec3(F3)));
    vec3 x0 = p - s + dot(s, vec3(G3));
    vec3 e = step(vec3(0.0), x0 - x0.yzx);
    vec3 i1 = e * (1.0 - e.zxy);
    vec3 i2 = 1.0 - e.zxy * (1.0 - e);
    vec3 x1 = x0 - i1 + G3;
    vec3 x2 = x0 - i2 + 2.0 * G3;
    vec3 x3 = x0 - 1.0 + 3.0 * G3;
    ivec3 is = ivec3(s);
    vec4 w = max(0.6 - vec4(dot(x0, x0), dot(x1, x1), dot(x2, x2), dot(x3, x3)), 0.0);
    vec4 d = vec4(dot(latticeGradient(hash3(is)), x0), dot(latticeGradient(hash3(is + ivec3(i1))), x1),
                  dot(latticeGradient(hash3(is + ivec3(i2))), x2), dot(latticeGradient(hash3(is + ivec3(1))), x3));
    w *= w;
    w *= w;
    return clamp(dot(d, w) * 32.0, -1.0, 1.0);
}

// Distances to the nearest and second nearest feature point of a jittered grid (Worley cellular noise).
vec2 worleyF1F2(vec3 p) {
    vec3 fl = floor(p);
    ivec3 i = ivec3(fl);
    vec3 f = p - fl;
    float f1 = 8.0, f2 = 8.0;
    for (int z = -1; z <= 1; ++z)
        for (int y = -1; y <= 1; ++y)
            for (int x = -1; x <= 1; ++x) {
                ivec3 c = ivec3(x, y, z);
                vec3 feature = vec3(c) + hashToUnit3(hash3(i + c)) - f;
                float d = dot(feature, feature);
                f2 = min(f2, max(f1, d));
                f1 = min(f1, d);
            }
    return sqrt(vec2(f1, f2));
}

// Curl of a vector potential made of three decorrelated simplex fields: a divergence-free flow.
vec3 curlNoise(vec3 p) {
    vec3 a = simplexNoiseGrad(p).xyz;                             // grad psi_x
    vec3 b = simplexNoiseGrad(p + vec3(31.416, 17.1, 5.73)).xyz;  // grad psi_y
    vec3 c = simplexNoiseGrad(p + vec3(-11.3, 47.9, 23.1)).xyz;   // grad psi_z
    return vec3(c.y - b.z, a.z - c.x, b.x - a.y);
}

#endif

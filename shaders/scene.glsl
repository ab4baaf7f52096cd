// Blocks shared by the world-space pipelines. Layouts match the C++ structs byte for byte.
#ifndef SCENE_GLSL
#define SCENE_GLSL

// Set 0, binding 0 of every world-space pipeline: the main camera.
layout(std140, set = 0, binding = 0) uniform CameraBlock {
    mat4 viewProjection;
    vec3 eye;
    float cameraPad0;
    vec3 viewDirection;
    float cameraPad1;
    float nearPlane;
    float farPlane;
} camera;

// Star light: colour, intensity and world position of the primary star (544 bytes, the rest zero).
struct StarLight {
    vec3 color;
    float intensity;
    vec3 position;
};

// Eclipse occluders between the primary star and a body (288 bytes).
struct ShadowData {
    vec3 starPosition;
    float starRadius;
    uint occluderCount;
    vec4 occluders[16]; // xyz position, w radius
};

const float PI = 3.14159265358979;

// Fraction of the star's disc visible from `p`, with every occluder as a disc of its own angular size.
// Overlap of two discs is approximated by a smooth function of their separation.
float starVisibility(vec3 p, vec3 starPos, float starRadius, uint count, vec4 occluders[16]) {
    vec3 toStar = starPos - p;
    float starDist = length(toStar);
    if (starDist <= starRadius)
        return 1.0;
    vec3 s = toStar / starDist;
    float aStar = asin(clamp(starRadius / starDist, 0.0, 1.0));
    float visible = 1.0;
    for (uint i = 0u; i < min(count, 16u); ++i) {
        vec3 toOcc = occluders[i].xyz - p;
        float occDist = length(toOcc);
        if (occDist <= occluders[i].w || occDist >= starDist)
            continue; // inside the occluder (its own surface) or behind the star
        vec3 o = toOcc / occDist;
        if (dot(o, s) <= 0.0)
            continue;
        float aOcc = asin(clamp(occluders[i].w / occDist, 0.0, 1.0));
        float sep = acos(clamp(dot(o, s), -1.0, 1.0));
        // Fully separated at sep >= aStar + aOcc, maximal overlap at sep <= |aStar - aOcc|.
        float t = smoothstep(abs(aStar - aOcc), aStar + aOcc, sep);
        float ratio = min(aOcc * aOcc / max(aStar * aStar, 1e-12), 1.0);
        visible *= 1.0 - (1.0 - t) * ratio;
    }
    return visible;
}

#endif

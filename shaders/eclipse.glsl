// Eclipse shadows. The including file declares the surfaces' shadow block as
//   layout(std140, set = S, binding = B) uniform ShadowBlock { ShadowData shadow; } eclipse;
// before including this: the occluders are read from the block in place (an array handed to a function is copied,
// all sixteen of them, at every call; a CPU driver pays for each copy).
#ifndef ECLIPSE_GLSL
#define ECLIPSE_GLSL

#include "opaque.glsl"

// Fraction of the star's disc visible from `p`, with every occluder as a disc of its own angular size.
// Overlap of two discs is approximated by a smooth function of their separation.
float starVisibility(vec3 p) {
    uint count = opaqueUint(min(eclipse.shadow.occluderCount, 16u), p.x);
    if (count == 0u)
        return 1.0;
    vec3 toStar = eclipse.shadow.starPosition - p;
    float starDist = length(toStar);
    if (starDist <= eclipse.shadow.starRadius)
        return 1.0;
    vec3 s = toStar / starDist;
    float aStar = asin(clamp(eclipse.shadow.starRadius / starDist, 0.0, 1.0));
    float invStar2 = 1.0 / max(aStar * aStar, 1e-12);
    float visible = 1.0;
    // A CPU driver runs every path of a branch that differs between pixels, so the cases that leave an occluder
    // out are folded into one factor rather than skipped.
    for (uint i = 0u; i < count; ++i) {
        vec4 occluder = eclipse.shadow.occluders[i];
        vec3 toOcc = occluder.xyz - p;
        float invDist = inversesqrt(max(dot(toOcc, toOcc), 1e-30));
        float occDist = dot(toOcc, toOcc) * invDist;
        float cosSep = dot(toOcc, s) * invDist;
        // Inside the occluder (its own surface), behind the star, or behind the point: no shadow.
        float counts = occDist > occluder.w && occDist < starDist && cosSep > 0.0 ? 1.0 : 0.0;
        float aOcc = asin(min(occluder.w * invDist, 1.0));
        float sep = acos(clamp(cosSep, -1.0, 1.0));
        // Fully separated at sep >= aStar + aOcc, maximal overlap at sep <= |aStar - aOcc|.
        float t = smoothstep(abs(aStar - aOcc), aStar + aOcc, sep);
        float ratio = min(aOcc * aOcc * invStar2, 1.0);
        visible *= 1.0 - counts * (1.0 - t) * ratio;
    }
    return visible;
}

#endif

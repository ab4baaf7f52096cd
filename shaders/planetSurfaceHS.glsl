// Subdivision of the planet's patches for the pixels they cover. Patches that cannot show a pixel (beyond the
// horizon of the lowest possible ground, or outside the view) get level 0. Each edge's level comes from its two
// end points only, ordered the same way from both patches that share it, so shared edges match (no cracks):
// its length on screen over the target pixels per edge, raised where the edge's middle stands off its chord on
// screen (the silhouette: a straight edge there shows as a facet of the limb, of the sphere or of the relief
// seen edge-on) until that sagitta is under about a sixth of a pixel, and capped by the height map's texels
// along the edge (finer triangles show nothing more). The clamp (64) is the one the draw's patch runs are sized
// for.
#include "planet.glsl"
#ifdef GROUND_AIR
#include "airColumn.glsl"
#endif

layout(vertices = 3) out;
layout(location = 0) in vec3 inDirection[];
layout(location = 0) out vec3 outDirection[];
#ifdef GROUND_AIR
// The frame of the body's sky-view table about the eye, the same for every pixel: once per visible patch.
layout(location = 1) patch out vec3 outSkyCentre;
layout(location = 2) patch out vec3 outSkyE1;
layout(location = 3) patch out vec3 outSkyE2;
layout(location = 4) patch out vec2 outSkyAngles;
#endif

const float MaxLevel = 64.0;

// Normalised device x in units of the screen height, as y is: the projection's x scale over its y scale is the
// aspect ratio (the view matrix only rotates the rows it multiplies).
vec2 screenUnits() {
    mat4 m = camera.viewProjection;
    float sx = length(vec3(m[0][0], m[1][0], m[2][0])), sy = length(vec3(m[0][1], m[1][1], m[2][1]));
    return vec2(sx > 0.0 ? sy / sx : 1.0, 1.0);
}

// Pixels per world unit at distance 1 from the eye (the projection's y scale times half the viewport height).
float pixelsPerUnit() {
    mat4 m = camera.viewProjection;
    return length(vec3(m[0][1], m[1][1], m[2][1])) * 0.5 * tessellation.viewportHeight;
}

vec3 displacedWorld(vec3 dir, float level) { return (object.model * vec4(surfacePoint(dir, level), 1.0)).xyz; }

bool lexicallyBefore(vec3 p, vec3 q) {
    return p.x != q.x ? p.x < q.x : (p.y != q.y ? p.y < q.y : p.z < q.z);
}

// A corner of the patch: its direction, displaced world position and clip position, computed once for both of
// its edges (a corner's values are the same bits in every patch that shares it).
struct Corner {
    vec3 dir;
    vec3 world;
    vec4 clip;
};

Corner corner(vec3 dir, float liquid) {
    Corner c;
    c.dir = dir;
    c.world = displacedWorld(dir, liquid);
    c.clip = camera.viewProjection * vec4(c.world, 1.0);
    return c;
}

float edgeLevel(Corner a, Corner b, vec2 units, float liquid) {
    if (lexicallyBefore(b.dir, a.dir)) {
        Corner t = a;
        a = b;
        b = t;
    }
    vec3 m = normalize(a.dir + b.dir);
    vec3 wm = displacedWorld(m, liquid);
    vec4 ca = a.clip, cb = b.clip, cm = camera.viewProjection * vec4(wm, 1.0);
    float level;
    if (ca.w > 1e-4 && cb.w > 1e-4 && cm.w > 1e-4) {
        vec2 px = units * 0.5 * tessellation.viewportHeight;
        vec2 sa = ca.xy / ca.w * px, sb = cb.xy / cb.w * px, sm = cm.xy / cm.w * px;
        float lengthLevel = distance(sa, sb) / tessellation.pixelsPerEdge;
        // The sagitta falls as 1 / L^2 with L subdivisions: L = sqrt(6 sag) brings it under a sixth of a pixel.
        float sagLevel = sqrt(6.0 * distance(sm, 0.5 * (sa + sb)));
        level = max(lengthLevel, sagLevel);
    } else {
        // An end behind the eye: the edge's length as if seen face-on from its middle.
        level = distance(a.world, b.world) * pixelsPerUnit() / max(distance(wm, camera.eye), 1e-6) /
                tessellation.pixelsPerEdge;
    }
    float texels =
        acos(clamp(dot(a.dir, b.dir), -1.0, 1.0)) * float(textureSize(heightMap, 0).x) * (2.0 / 3.14159265);
    level = min(level, max(texels, 1.0));
    float lo = max(tessellation.minSubdivision, 1.0), hi = clamp(tessellation.maxSubdivision, lo, MaxLevel);
    // NaN from a degenerate projection compares false and takes the finest level.
    return level >= 0.0 ? clamp(level, lo, hi) : hi;
}

// Whether no point of the patch, from the lowest to the highest ground it can have, is in view: beyond the
// horizon the lowest ground makes for the highest, or wholly outside one side of the view.
bool patchHidden(vec3 a, vec3 b, vec3 c, float liquid) {
    float low = 1.0 + surface.elevationScale * max(tessellation.heightLow, liquid);
    float high = 1.0 + surface.elevationScale * max(tessellation.heightHigh, liquid);
    float rMin = body.radius * max(min(low, high), 0.0), rMax = body.radius * max(low, high);
    vec3 axis = normalize(a + b + c);
    float cosSpread = min(dot(axis, a), min(dot(axis, b), dot(axis, c)));
    vec3 centre = (object.model * vec4(0.0, 0.0, 0.0, 1.0)).xyz;
    vec3 toEye = camera.eye - centre;
    float eyeDist = length(toEye);
    mat3 rot = mat3(object.model);
    if (eyeDist > rMax * 1.0001 && rMin > 0.0) {
        // A point at height rMax is seen over the sphere of rMin up to acos(rMin / d) + acos(rMin / rMax) from
        // the eye's direction; the patch reaches acos(cosSpread) from its axis towards it.
        float reach = acos(clamp(rMin / eyeDist, -1.0, 1.0)) + acos(clamp(rMin / rMax, -1.0, 1.0)) +
                      acos(clamp(cosSpread, -1.0, 1.0));
        float eyeAngle = acos(clamp(dot(normalize(rot * axis), toEye / eyeDist), -1.0, 1.0));
        if (reach < 3.14159 && eyeAngle > reach)
            return true;
    }
    // Bounding sphere of the patch's shell (directions within the spread of the axis, radii rMin to rMax),
    // centred on the axis at rMax, against the left, right, bottom and top planes of the view.
    float sinSpread2 = 2.0 * (1.0 - cosSpread);
    float bound = sqrt(max(rMax * rMax * sinSpread2, rMin * rMin + rMax * rMax - 2.0 * rMin * rMax * cosSpread));
    vec3 world = (object.model * vec4(axis * rMax, 1.0)).xyz;
    mat4 m = camera.viewProjection;
    vec4 w = vec4(m[0][3], m[1][3], m[2][3], m[3][3]);
    vec4 x = vec4(m[0][0], m[1][0], m[2][0], m[3][0]), y = vec4(m[0][1], m[1][1], m[2][1], m[3][1]);
    vec4 planes[4] = vec4[4](w + x, w - x, w + y, w - y);
    for (int i = 0; i < 4; ++i) {
        float n = length(planes[i].xyz);
        if (n > 0.0 && dot(planes[i].xyz, world) + planes[i].w < -bound * n * 1.0001)
            return true;
    }
    return false;
}

void main() {
    outDirection[gl_InvocationID] = inDirection[gl_InvocationID];
    if (gl_InvocationID != 0)
        return;
    vec3 a = inDirection[0], b = inDirection[1], c = inDirection[2];
    float liquid = liquidLevel();
    if (patchHidden(a, b, c, liquid)) {
        gl_TessLevelOuter[0] = gl_TessLevelOuter[1] = gl_TessLevelOuter[2] = 0.0;
        gl_TessLevelInner[0] = 0.0;
        return;
    }
    // Outer level i is the edge opposite corner i.
    vec2 units = screenUnits();
    Corner ca = corner(a, liquid), cb = corner(b, liquid), cc = corner(c, liquid);
    gl_TessLevelOuter[0] = edgeLevel(cb, cc, units, liquid);
    gl_TessLevelOuter[1] = edgeLevel(cc, ca, units, liquid);
    gl_TessLevelOuter[2] = edgeLevel(ca, cb, units, liquid);
    gl_TessLevelInner[0] = max(gl_TessLevelOuter[0], max(gl_TessLevelOuter[1], gl_TessLevelOuter[2]));
#ifdef GROUND_AIR
    SkyFrame f = skyFrame(currentShell(1.0, Sharpness), camera.eye, a.x);
    outSkyCentre = f.centre;
    outSkyE1 = f.e1;
    outSkyE2 = f.e2;
    outSkyAngles = vec2(f.ground, f.top);
#endif
}

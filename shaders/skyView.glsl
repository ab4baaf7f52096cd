// Lookups in a body's sky-view table, shared by the atmosphere pipelines (which composite the air over what lies
// behind it) and the solid planets with air (which composite it over their own ground). The including file
// includes airColumn.glsl first.
#ifndef SKY_VIEW_GLSL
#define SKY_VIEW_GLSL

// The sky-view table of a body: in-scattered light and transmittance of every view ray from this frame's eye,
// by the angle theta from the direction to the body's centre and the azimuth phi about it, measured from the
// plane that holds the sun. Rows below the middle hold the rays that meet the ground (theta below the ground
// horizon's), rows above the rays that pass it, up to the shell's top (or straight up, from inside the shell);
// both halves crowd their rows towards the horizon, where a ray's path through the air changes fastest, so a
// limb a few pixels thin still gets half the table. The table's upper half (v < 0.5) holds the in-scatter, the
// lower half the transmittance, for the same rows.
float skyRowOf(SkyFrame f, float theta) {
    if (theta <= f.ground)
        return 0.5 * (1.0 - sqrt(max(1.0 - theta / f.ground, 0.0)));
    return 0.5 + 0.5 * sqrt(clamp((theta - f.ground) / max(f.top - f.ground, 1e-7), 0.0, 1.0));
}

float skyThetaOf(SkyFrame f, float row) {
    if (row < 0.5) {
        float a = 1.0 - 2.0 * row;
        return f.ground * (1.0 - a * a);
    }
    float b = 2.0 * row - 1.0;
    return f.ground + (f.top - f.ground) * b * b;
}

// `uv`: x the azimuth over the full turn (eclipse shadows need not be symmetric about the sun's plane), y the row.
vec3 skyDirection(SkyFrame f, vec2 uv) {
    float theta = skyThetaOf(f, uv.y), phi = 2.0 * PI * uv.x;
    return f.centre * cos(theta) + sin(theta) * (f.e1 * cos(phi) + f.e2 * sin(phi));
}

// The table's coordinates of view ray `rd`, clamped to the texel centres of its own half, so that a ray on the
// ground never blends with one past the horizon.
vec2 skyCoordinates(SkyFrame f, vec3 rd, float rows) {
    // acos loses precision only straight at the centre, where the rows are widest.
    float theta = acos(clamp(dot(rd, f.centre), -1.0, 1.0));
    float phi = atan(dot(rd, f.e2), dot(rd, f.e1));
    float row = skyRowOf(f, theta);
    float halfTexel = 0.5 / rows;
    row = theta <= f.ground ? clamp(row, halfTexel, 0.5 - halfTexel) : clamp(row, 0.5 + halfTexel, 1.0 - halfTexel);
    return vec2(phi * (0.5 / PI), row);
}

// The column of the straight segment from p to q with its height taken as changing linearly along it: the
// exponential's integral, (rho_p - rho_q) / (k dh) per unit length, or the mean where the heights nearly agree.
// Exact for a short segment (relief standing off the ground); over a long one it misses the curvature.
float segmentColumn(Shell s, vec3 p, vec3 q) {
    float hp = length(p - s.centre) - s.ground, hq = length(q - s.centre) - s.ground;
    float rp = densityAt(s, hp), rq = densityAt(s, hq);
    float x = s.falloff / s.height * (hq - hp);
    return distance(p, q) * (abs(x) > 1e-2 ? (rp - rq) / x : 0.5 * (rp + rq));
}

// The column along rd from t1 to t2, split where the ray passes closest to the centre so that the height only
// climbs or only descends along each part.
float columnAlong(Shell s, vec3 eye, vec3 rd, float t1, float t2) {
    float tm = clamp(-dot(eye - s.centre, rd), t1, t2);
    vec3 p1 = eye + rd * t1, pm = eye + rd * tm, p2 = eye + rd * t2;
    return segmentColumn(s, p1, pm) + segmentColumn(s, pm, p2);
}

// The air along view ray rd from t0 (where the table's ray starts) to t1, the table's ray ending at tEnd (the
// ground or the shell's far side), from `table` built about frame f. Something standing in the air before tEnd
// (relief, a craft, a moon) keeps the share of the in-scatter that the air in front of it holds:
// (1 - T(t0, t1)) / (1 - T(t0, tEnd)), exact where the light along the ray is uniform.
void skyAlong(sampler2D table, SkyFrame f, Shell s, vec3 eye, vec3 rd, float t0, float t1, float tEnd,
              out vec3 inscatter, out vec3 transmittance) {
    vec2 uv = skyCoordinates(f, rd, float(textureSize(table, 0).y) * 0.5);
    inscatter = textureLod(table, vec2(uv.x, 0.5 * uv.y), 0.0).rgb;
    transmittance = textureLod(table, vec2(uv.x, 0.5 + 0.5 * uv.y), 0.0).rgb;
    if (t1 < tEnd * 0.9999) {
        // The air from t1 to the ray's end comes off the whole ray's.
        vec3 beyond = exp(-extinction(s, columnAlong(s, eye, rd, t1, tEnd)));
        vec3 partial = min(transmittance / max(beyond, vec3(1e-6)), vec3(1.0));
        inscatter *= clamp((1.0 - partial) / max(1.0 - transmittance, vec3(1e-5)), 0.0, 1.0);
        transmittance = partial;
    }
}

// Where view ray rd meets the air in front of a surface `sceneT` away: from t0 to t1, the table's ray ending at
// tEnd (the ground sphere or the shell's far side). False where the ray misses the shell or the surface stands in
// front of it.
bool airSegment(Shell s, vec3 eye, vec3 rd, float sceneT, out float t0, out float t1, out float tEnd) {
    vec2 hit = raySphere(eye - s.centre, rd, s.top);
    t0 = max(hit.x, 0.0);
    // The table's rays end on the ground sphere: where no surface was drawn (its relief not generated yet, or
    // the gaps of a wireframe) that is the air in front of the ground, not a column through the planet.
    tEnd = hit.y;
    vec2 core = raySphere(eye - s.centre, rd, s.ground);
    if (core.x <= core.y && core.x > 0.0)
        tEnd = min(tEnd, core.x);
    t1 = min(tEnd, sceneT);
    return hit.x <= hit.y && hit.y > 0.0 && t1 > t0;
}

#endif

#version 450
// First step of a gas planet. Every cell: the bands with wavy borders and fine streaks, the storms painted at
// their places, and the colour it returns to. Every flow node: its forcing (the band's jet, the storms' vortex
// and how firmly it is held), the jets and vortices with a small divergence-free disturbance that lets the shear
// between the bands roll up as its velocity, in both velocity buffers, and zero pressure.
#include "fluid.glsl"

layout(local_size_x = 64) in;

// Band colour and jet at a latitude (this pass runs once, so each cell may afford the loops over the bands).
vec4 bandsAt(float latitude) {
    uint count = min(sim.bandCount, 64u);
    float nearest = 1e30;
    for (uint b = 0u; b < count; ++b)
        nearest = min(nearest, bandExponent(sim.bands[b], latitude));
    vec4 sum = vec4(0.0);
    float jet = 0.0;
    for (uint b = 0u; b < count; ++b) {
        float w = exp(nearest - bandExponent(sim.bands[b], latitude));
        sum += vec4(sim.bands[b].color * w, w);
        jet += bandJet(sim.bands[b]) * w;
    }
    return sum.w > 0.0 ? vec4(sum.rgb, jet) / sum.w : vec4(0.5, 0.5, 0.5, 0.0);
}

// Point on the unit sphere at a position in cells, so that noise has no seam where x wraps.
vec3 spherePoint(vec2 p, out float lon, out float phi) {
    lon = p.x / float(sim.width) * 2.0 * PI;
    phi = rowLatitude(p.y) * PI;
    return vec3(cos(phi) * cos(lon), sin(phi), cos(phi) * sin(lon));
}

void main() {
    uint i = gl_GlobalInvocationID.x;
    if (i >= sim.cellCount)
        return;
    float seed = float(hashUint(floatBitsToUint(sim.bands[0].latitude)) >> 22u);

    ivec2 cell = cellOf(i);
    vec2 p = vec2(cell) + 0.5;
    float lon, phi;
    vec3 s = spherePoint(p, lon, phi);
    // Band borders wave by about a hundredth of the height, at two scales.
    float wave = 0.008 * simplexNoise(s * vec3(4.0, 9.0, 4.0) + seed) +
                 0.004 * simplexNoise(s * vec3(11.0, 25.0, 11.0) + seed + 3.1);
    float shifted = rowLatitude(p.y) + wave;
    vec3 color = bandsAt(shifted).rgb * rowStreaks(shifted);
    color *= 1.0 + 0.06 * simplexNoise(s * vec3(30.0, 60.0, 30.0) + seed);

    // The colour the cell returns to: its row's bands, and where it lies in a storm's core, the storm's colour,
    // each weighed by its rate of return.
    float bandRate = sim.bands[0].colorRelaxation;
    vec3 target = bandsAt(rowLatitude(p.y)).rgb * rowStreaks(rowLatitude(p.y)) * bandRate;
    float rate = bandRate;
    float stormWeight = 0.0;
    for (uint k = 0u; k < min(sim.stormCount, 8u); ++k) {
        Storm storm = sim.storms[k];
        vec2 shape = stormShape(storm, stormOffset(storm, p));
        float r = length(shape);
        float core = smoothstep(0.3, 0.6, stormCore(shape));
        // A deeper core, two faint arms that the storm's differential turning winds into spirals, and at the
        // edge a pale collar.
        float arms = 1.0 + 0.15 * sin(2.0 * atan(shape.y, shape.x) + 5.0 * r);
        float depth = mix(0.75, 1.15, smoothstep(0.0, 0.8, r));
        float collar = exp(-pow((r - 0.95) / 0.16, 2.0));
        vec3 stormColor = mix(storm.color * arms * depth, min(storm.color * 1.5 + 0.06, vec3(1.0)), collar * 0.7);
        float weight = max(core, collar * 0.8);
        color = mix(color, stormColor, weight);
        target += stormColor * storm.colorRelaxation * weight;
        rate += storm.colorRelaxation * weight;
        stormWeight = max(stormWeight, weight);
    }
    uint packed = packColor(color, vec3(0.5));
    colors[i] = uvec4(packed, packed, packTarget(target / rate, stormWeight), 0u);

    if (i >= nodeCount())
        return;
    ivec2 node = nodeOf(i);
    vec2 centre = nodeCentre(node);
    s = spherePoint(centre, lon, phi);
    Forcing forcing;
    forcing.jet = bandsAt(rowLatitude(centre.y)).w;
    forcing.vortex = vec2(0.0);
    forcing.held = 0.0;
    for (uint k = 0u; k < min(sim.stormCount, 8u); ++k) {
        Storm storm = sim.storms[k];
        vec2 dx = stormOffset(storm, centre);
        forcing.held = max(forcing.held, stormHeld(stormShape(storm, dx)));
        forcing.vortex += stormWindAt(storm, dx) * CellsToNodes;
    }
    uint forcingWord = packForcing(forcing);

    vec2 wind = vec2(forcing.jet * JetSpeed * CellsToNodes, 0.0) + unpackForcing(forcingWord).vortex;
    // Disturbance: the grid curl (∂ψ/∂y, −∂ψ/∂x) of a noise stream function ψ = n(12 s), cells² per step.
    vec3 dsdx = vec3(-sin(lon), 0.0, cos(lon)) * cos(phi) * (2.0 * PI / float(sim.width));
    vec3 dsdy = vec3(-sin(phi) * cos(lon), cos(phi), -sin(phi) * sin(lon)) * (-PI / float(sim.height));
    vec3 gradient = simplexNoiseGrad(s * 12.0 + seed + 17.0).xyz * 12.0;
    wind += CellsToNodes * vec2(dot(gradient, dsdy), -dot(gradient, dsdx));
    if (isWallRow(node.y))
        wind.y = 0.0;
    velocity[i] = uvec2(packHalf2x16(wind), forcingWord);
    previousVelocity[i] = uvec2(packHalf2x16(wind), forcingWord);
    pressure[i] = 0.0;
}

#version 450
// Semi-Lagrangian advection of the cloud colour along the projected velocity (binding 7), then a slow return
// towards the band's colour and, in a storm's core, towards the storm's colour, so that bands and storms persist
// however the flow mixes them. Reads the neighbours' version of the last step and writes the other version of
// its own cell.
#include "fluid.glsl"

layout(local_size_x = 64) in;

void main() {
    uint i = gl_GlobalInvocationID.x;
    if (i >= sim.cellCount)
        return;
    ivec2 c = cellOf(i);
    vec2 p = vec2(c) + 0.5;
    uint count = colors[i].w;
    uint last = count & 1u;

    // The flow at the cell centre: bilinear between the four nodes around it. A cell lies a quarter node from
    // its own node, towards the node it shares with its neighbour in x, which the lane of that neighbour loads.
    int nodeX = c.x >> 1, row = (c.y >> 1) - 1 + (c.y & 1);
    vec2 own0 = previousFlowAt(nodeIndex(nodeX, row)), own1 = previousFlowAt(nodeIndex(nodeX, row + 1));
    vec2 west0 = subgroupShuffleUp(own0, 1u), west1 = subgroupShuffleUp(own1, 1u);
    vec2 east0 = subgroupShuffleDown(own0, 1u), east1 = subgroupShuffleDown(own1, 1u);
    bool westThere = westInLane(c.x, W()), eastThere = eastInLane(c.x, W());
    vec2 flow;
    if ((c.x & 1) == 0) {
        if (!westThere) {
            west0 = previousFlowAt(nodeIndex(nodeX - 1, row));
            west1 = previousFlowAt(nodeIndex(nodeX - 1, row + 1));
        }
        flow = mix(mix(west0, own0, 0.75), mix(west1, own1, 0.75), (c.y & 1) == 0 ? 0.75 : 0.25);
    } else {
        if (!eastThere) {
            east0 = previousFlowAt(nodeIndex(nodeX + 1, row));
            east1 = previousFlowAt(nodeIndex(nodeX + 1, row + 1));
        }
        flow = mix(mix(own0, east0, 0.25), mix(own1, east1, 0.25), (c.y & 1) == 0 ? 0.75 : 0.25);
    }
    // In cells per step; the point the clouds come from.
    vec2 from = p - 2.0 * flow;
    from.y = clamp(from.y, 0.5, float(sim.height) - 0.5);
    vec2 q = from - 0.5;
    vec2 f = floor(q);
    vec2 t = q - f;
    int x0 = int(f.x), y0 = int(f.y);
    vec3 a = unpackColor(colors[cellIndex(x0, y0)][last]);
    vec3 b = unpackColor(colors[cellIndex(x0 + 1, y0)][last]);
    vec3 d = unpackColor(colors[cellIndex(x0, y0 + 1)][last]);
    vec3 e = unpackColor(colors[cellIndex(x0 + 1, y0 + 1)][last]);
    vec3 color = mix(mix(a, b, t.x), mix(d, e, t.x), t.y);
    // Part of the way to the nearest cell's colour: a sharper kernel (still a weighted mean of the four) against
    // the blur that bilinear interpolation adds at every step.
    vec3 nearest = t.y < 0.5 ? (t.x < 0.5 ? a : b) : (t.x < 0.5 ? d : e);
    color = mix(color, nearest, 0.4);

    // Back towards the band's colour, and in a storm's core towards the storm's, at their rates.
    uint target = colors[i].z;
    float storm = targetStorm(target);
    float rate = sim.bands[0].colorRelaxation + sim.storms[0].colorRelaxation * storm;
    vec3 back = targetColor(target);
    color += rate * (back - color);
    if (any(isnan(color)) || any(isinf(color)))
        color = back;

    uint h = hashUint(i * 0x9e3779b9u + count);
    vec3 dither = vec3(uvec3(h, h >> 10u, h >> 20u) & 1023u) * (1.0 / 1024.0);
    colors[i][1u - last] = packColor(color, dither);
    colors[i][3] = count + 1u;
}

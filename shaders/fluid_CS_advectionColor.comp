#version 450
// Semi-Lagrangian advection of the cloud colour along the projected velocity (binding 7), then a slow return
// towards the band's colour and, in a storm's core, towards the storm's colour, so that bands and storms persist
// however the flow mixes them. Reads the neighbours' version of the last step and writes the other version of
// its own cell, and its texel of the fluid image.
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

    // The flow at the cell centre (binding 7 holds this step's projected flow): bilinear between the four nodes around it. The lane loads its own node in the
    // two rows; the node beside it, west or east, is the own node of a lane one or two cells away.
    ivec2 node = c >> NodeShift;
    vec2 offset = (vec2(c & (NodeSize - 1)) + 0.5) * CellsToNodes - 0.5; // from the own node's centre, nodes
    int row = node.y - (offset.y < 0.0 ? 1 : 0);
    float ty = offset.y < 0.0 ? 1.0 + offset.y : offset.y;
    vec2 own0 = previousFlowAt(nodeIndex(node.x, row)), own1 = previousFlowAt(nodeIndex(node.x, row + 1));
    int sideDelta = offset.x < 0.0 ? (c.x & (NodeSize - 1)) + 1 : NodeSize - (c.x & (NodeSize - 1));
    int up1 = subgroupShuffleUp(c.x, 1u), up2 = subgroupShuffleUp(c.x, 2u);
    int down1 = subgroupShuffleDown(c.x, 1u), down2 = subgroupShuffleDown(c.x, 2u);
    vec2 up1a = subgroupShuffleUp(own0, 1u), up1b = subgroupShuffleUp(own1, 1u);
    vec2 up2a = subgroupShuffleUp(own0, 2u), up2b = subgroupShuffleUp(own1, 2u);
    vec2 down1a = subgroupShuffleDown(own0, 1u), down1b = subgroupShuffleDown(own1, 1u);
    vec2 down2a = subgroupShuffleDown(own0, 2u), down2b = subgroupShuffleDown(own1, 2u);
    vec2 side0, side1;
    int sideX, expectX;
    uint lane = gl_SubgroupInvocationID;
    bool inRange;
    if (offset.x < 0.0) {
        side0 = sideDelta == 1 ? up1a : up2a;
        side1 = sideDelta == 1 ? up1b : up2b;
        sideX = sideDelta == 1 ? up1 : up2;
        expectX = (c.x - sideDelta) & (W() - 1);
        inRange = lane >= uint(sideDelta);
    } else {
        side0 = sideDelta == 1 ? down1a : down2a;
        side1 = sideDelta == 1 ? down1b : down2b;
        sideX = sideDelta == 1 ? down1 : down2;
        expectX = (c.x + sideDelta) & (W() - 1);
        inRange = lane + uint(sideDelta) < gl_SubgroupSize;
    }
    int sideNode = node.x + (offset.x < 0.0 ? -1 : 1);
    if (!inRange || sideX != expectX) {
        side0 = previousFlowAt(nodeIndex(sideNode, row));
        side1 = previousFlowAt(nodeIndex(sideNode, row + 1));
    }
    float tx = offset.x < 0.0 ? -offset.x : offset.x; // towards the side node
    vec2 flow = mix(mix(own0, side0, tx), mix(own1, side1, tx), ty);
    // In cells per step; the point the clouds come from.
    vec2 from = p - ColorSteps * float(NodeSize) * flow;
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
    float rate = ColorSteps * (sim.bands[0].colorRelaxation + sim.storms[0].colorRelaxation * storm);
    vec3 back = targetColor(target);
    color += rate * (back - color);
    if (any(isnan(color)) || any(isinf(color)))
        color = back;

    uint h = hashUint(i * 0x9e3779b9u + count);
    vec3 dither = vec3(uvec3(h, h >> 10u, h >> 20u) & 1023u) * (1.0 / 1024.0);
    uint packed = packColor(color, dither);
    colors[i][1u - last] = packed;
    colors[i][3] = count + 1u;
    storeTexel(c, unpackEncoded(packed));
}

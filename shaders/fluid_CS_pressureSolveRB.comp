#version 450
// One colour of a red-black Gauss-Seidel sweep of ∇²p = ∇·u on the flow lattice: the nodes with
// (x + y) % 2 == parity. The pressure of the last step is the start, so the solve converges over steps. The walls
// mirror the pressure (no flow through them).
#include "fluid.glsl"

layout(local_size_x = 64) in;
layout(push_constant) uniform Sweep { uint parity; } sweep;

void main() {
    uint k = gl_GlobalInvocationID.x;
    if (k >= nodeCount() / 2u)
        return;
    ivec2 pair = nodeOf(2u * k);
    int y = pair.y;
    int x = pair.x + int((uint(y) + sweep.parity) & 1u);
    uint i = nodeIndex(x, y);

    float sum = pressure[nodeIndex(x + 1, y)] + pressure[nodeIndex(x - 1, y)];
    float n = 2.0;
    if (y > 0) {
        sum += pressure[nodeIndex(x, y - 1)];
        n += 1.0;
    }
    if (y + 1 < NH()) {
        sum += pressure[nodeIndex(x, y + 1)];
        n += 1.0;
    }
    float p = (sum - divergence[i]) / n;
    pressure[i] = isnan(p) || isinf(p) ? 0.0 : p;
}

#version 450
// Ages every live particle by the time step and moves it under the attractor (semi-implicit Euler, split into
// substeps where the step is long against the local orbital time). Particles past their lifetime, or whose
// state is no longer finite, go back on the free stack; survivors are appended to the next alive list, and
// those still glowing are counted per depth layer and marked with their layer for the sort.
#include "particles.glsl"

layout(local_size_x = 64) in;

// Softening of the attractor's pull (world units²): bounds the acceleration of a particle passing its centre.
const float SOFTENING2 = 0.25;

void main() {
    uint i = gl_GlobalInvocationID.x;
    if (i >= uint(info[INFO_SIMULATED]))
        return;
    uint current = uint(info[INFO_CURRENT]);
    uint index = lists[aliveBase(current) + i] & INDEX_MASK;
    Particle p = particles[index];

    float dt = settings.timeStep;
    p.age += dt;
    bool alive = p.age < p.lifetime;
    if (p.fresh != 0u) {
        p.fresh = 0u; // emitted this frame: already where the frame ends
    } else if (alive) {
        float mu = settings.attractorStrength;
        int steps = 1;
        if (opaqueBool(mu > 0.0, p.age)) {
            vec3 d = settings.attractorPosition - p.position;
            float r2 = dot(d, d) + SOFTENING2;
            // Dynamical time sqrt(r³/μ); a fiftieth of it per substep keeps close passes bound.
            float tdyn = sqrt(r2 * sqrt(r2) / mu);
            steps = int(clamp(ceil(dt / (0.02 * tdyn)), 1.0, 16.0));
        }
        float h = dt / float(steps);
        for (int k = 0; k < steps; ++k) {
            vec3 d = settings.attractorPosition - p.position;
            float q = dot(d, d) + SOFTENING2;
            p.velocity += mu * d * (inversesqrt(q) / q) * h; // μ d / |d|³
            p.position += p.velocity * h;
        }
        alive = finite3(p.position) && finite3(p.velocity);
    }
    if (!alive) {
        int top = atomicAdd(info[INFO_DEAD], 1);
        lists[freeBase() + uint(top)] = index;
        return;
    }
    particles[index] = p;

    // Only particles that still glow are sorted and drawn; the others live on until they die.
    uint entry = index;
    if (p.age < DIM_AGE * p.lifetime) {
        vec3 rel = p.position - camera.eye;
        uint layer = layerOf(dot(rel, rel));
        atomicAdd(counters[layer], 1u);
        entry |= (layer << INDEX_BITS) | DRAWN_BIT;
    }
    int slot = atomicAdd(info[INFO_NEXT_ALIVE], 1);
    lists[aliveBase(1u - current) + uint(slot)] = entry;
}

#version 450
// Emits one request's particles: each takes a free index (the free stack first, then indices never used),
// starts on the nozzle disc with the emitter's exhaust velocity spread into a cone plus the craft's velocity,
// and is born at a random moment of the frame so the plume is even however long the frame.
#include "particles.glsl"

layout(local_size_x = 64) in;

layout(push_constant) uniform Request {
    uint emitter;
    uint count;
    uint seed;
    uint zero;
} request;

void main() {
    uint i = gl_GlobalInvocationID.x;
    if (i >= request.count || opaqueBool(request.emitter >= settings.emitterCount, i))
        return;

    uint index;
    int dead = atomicAdd(info[INFO_DEAD], -1);
    if (dead > 0) {
        index = lists[freeBase() + uint(dead - 1)];
    } else {
        atomicAdd(info[INFO_DEAD], 1);
        int fresh = atomicAdd(info[INFO_FRESH], 1);
        if (fresh >= int(settings.maxParticles)) {
            atomicAdd(info[INFO_FRESH], -1);
            atomicAdd(info[INFO_DROPPED], 1);
            return; // the pool is full
        }
        index = uint(fresh);
    }

    Emitter e = emitterAt(request.emitter);
    uint s = pcgHash(request.seed ^ pcgHash(i * 2654435769u + 1u));
    float dirLength = length(e.direction);
    vec3 axis = dirLength > 0.0 ? e.direction / dirLength : vec3(0.0, 0.0, 1.0);
    vec3 t1 = normalize(cross(abs(axis.y) < 0.99 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0), axis));
    vec3 t2 = cross(axis, t1);

    vec2 disc = randomDisc(s);
    // Sideways speed: a sum of two discs puts more particles near the axis than at the cone's edge.
    vec2 side = 0.5 * (randomDisc(s) + randomDisc(s));
    float speed = e.speed * dirLength * (0.85 + 0.3 * random01(s));
    vec3 exhaust = (axis + (t1 * side.x + t2 * side.y) * e.spread) * speed;
    vec3 velocity = e.velocity + exhaust;

    // Born `since` before the end of this frame, it has moved away from the emitter by its exhaust velocity since.
    // It is placed at the end of the frame relative to the emitter's end-of-frame position, so the plume leaves
    // the nozzle however long the frame, and the simulation skips it this frame (it only ages).
    float dt = settings.timeStep;
    float since = random01(s) * dt;
    Particle p;
    p.position = e.position + (t1 * disc.x + t2 * disc.y) * e.nozzleRadius + exhaust * since;
    p.age = since - dt;
    p.velocity = velocity;
    p.lifetime = max(e.lifetime, 0.0) * (0.75 + 0.5 * random01(s));
    p.emitter = request.emitter;
    p.seed = s;
    p.fresh = 1u;
    p.spare = 0.0;
    particles[index] = p;

    int slot = atomicAdd(info[INFO_ALIVE], 1);
    lists[aliveBase(uint(info[INFO_CURRENT])) + uint(slot)] = index;
}

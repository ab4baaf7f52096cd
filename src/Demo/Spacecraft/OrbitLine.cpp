#include "Demo/Spacecraft/OrbitLine.h"

#include "Demo/Astro/AstroObject.h"

#include <cmath>
#include <cstring>

namespace Demo {

double orbitLineSpan(const AstroObject& body) {
    double T = orbitalPeriod(body.orbit, body.parentGravitationalParameter());
    return std::isfinite(T) && T > 0.0 ? T : OpenOrbitWindow;
}

uint32_t buildOrbitLine(const AstroObject& body, double now, uint32_t space, const Vec3d& renderOffset, float* out) {
    // The body's kernel and those of its ancestors up to the root, each with the μ of its own parent.
    constexpr int MaxDepth = 16;
    OrbitKernel kernels[MaxDepth];
    int chain = 0;
    for (const AstroObject* o = &body; o && chain < MaxDepth; o = o->parent)
        kernels[chain++] = OrbitKernel(o->orbit, o->parentGravitationalParameter());

    double span = orbitLineSpan(body);
    double dt = span / double(OrbitLinePoints - 1);
    double t0 = now - span / 2.0;

    float ancestors[3] = {0.0f, 0.0f, 0.0f};
    if (space != OrbitWorld)
        for (int k = 1; k < chain; ++k) {
            Vec3d p = kernels[k].position(now);
            ancestors[0] += float(p.x);
            ancestors[1] += float(p.y);
            ancestors[2] += float(p.z);
        }
    for (uint32_t k = 0; k < OrbitLinePoints; ++k) {
        double t = double(k) * dt + t0;
        Vec3d p = kernels[0].position(t) + renderOffset;
        float x = float(p.x), y = float(p.y), z = float(p.z);
        if (space == OrbitWorld) {
            for (int a = 1; a < chain; ++a) {
                if (kernels[a].kind == OrbitKernel::Zero)
                    continue;
                Vec3d q = kernels[a].position(t);
                x += float(q.x);
                y += float(q.y);
                z += float(q.z);
            }
        } else {
            x += ancestors[0];
            y += ancestors[1];
            z += ancestors[2];
        }
        out[3 * k] = x;
        out[3 * k + 1] = y;
        out[3 * k + 2] = z;
    }
    return OrbitLinePoints;
}

uint32_t buildOrbitLine(const AstroObject& body, double now, uint32_t space, const Vec3d& renderOffset, float* out,
                        OrbitShapeCache& cache) {
    const double mu = body.parentGravitationalParameter();
    const double period = orbitalPeriod(body.orbit, mu);
    if (space == OrbitWorld || !std::isfinite(period) || period <= 0.0) {
        cache.valid = false;
        return buildOrbitLine(body, now, space, renderOffset, out);
    }
    const Orbit& o = body.orbit;
    const double key[8] = {o.a, o.e, o.i, o.ascendingNode, o.argPeriapsis, o.meanAnomalyAtEpoch, o.epoch, mu};
    if (!cache.valid || std::memcmp(key, cache.key, sizeof key) != 0) {
        const OrbitKernel kernel(o, mu);
        const double dt = period / double(OrbitLinePoints - 1), t0 = now - period / 2.0;
        for (uint32_t k = 0; k < OrbitLinePoints; ++k)
            cache.points[k] = kernel.position(double(k) * dt + t0);
        std::memcpy(cache.key, key, sizeof key);
        cache.valid = true;
    }
    float ancestors[3] = {0.0f, 0.0f, 0.0f};
    int depth = 0;
    for (const AstroObject* a = body.parent; a && depth < 15; a = a->parent, ++depth) {
        Vec3d p = OrbitKernel(a->orbit, a->parentGravitationalParameter()).position(now);
        ancestors[0] += float(p.x);
        ancestors[1] += float(p.y);
        ancestors[2] += float(p.z);
    }
    for (uint32_t k = 0; k < OrbitLinePoints; ++k) {
        Vec3d p = cache.points[k] + renderOffset;
        out[3 * k] = float(p.x) + ancestors[0];
        out[3 * k + 1] = float(p.y) + ancestors[1];
        out[3 * k + 2] = float(p.z) + ancestors[2];
    }
    return OrbitLinePoints;
}

} // namespace Demo

#include "Demo/Spacecraft/OrbitLine.h"

#include "Demo/Astro/AstroObject.h"

#include <cmath>

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

} // namespace Demo

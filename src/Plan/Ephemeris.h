#pragma once
// The built-in system without a scene: every body's Kepler orbit, radius and density in the program's body order,
// and a ring of positions filled exactly as the program's cache worker fills its own (one slot per four steps,
// a moon's slot entry its orbit's position plus its planet's entry), so a flight over it equals the program's
// flight bit for bit.
#include "Demo/Astro/BodyCache.h"
#include "Demo/Astro/Orbit.h"
#include "Demo/Spacecraft/FlightMath.h"

#include <memory>
#include <string>
#include <vector>

namespace Plan {

using Demo::Vec3d;

struct EphemerisBody {
    std::string name;
    float radius = 1.0f; // world units
    double density = 1.0;
    Demo::Orbit orbit;
    int32_t parent = -1;       // index of the body it orbits, -1 for the system's root
    bool parentInRing = false; // the ring adds the parent's entry (moons and the craft; not the star's planets)
    double mu() const { return Demo::gravitationalParameter(radius, density); }
};

class Ephemeris {
public:
    // The Sun, its planets and moons and the spacecraft, indexed as the program indexes them.
    static Ephemeris solarSystem();

    std::vector<EphemerisBody> bodies;
    int32_t craftIndex = -1;
    double timeStepLength = 100.0; // seconds per step
    double rootMu = 0.0;           // μ of the system's root, which the star orbits (set by solarSystem())

    // The body of that name, or with that name before " (parent)" (case-insensitive); -1 when there is none.
    int32_t find(const std::string& name) const;
    // μ of body i's parent (0 at the root).
    double parentMu(int32_t i) const;
    // Position and velocity at `step` summed up the parent chain (as the program places a body directly).
    Vec3d position(int32_t body, uint64_t step) const;
    Vec3d velocity(int32_t body, uint64_t step) const;
    // μ and r² of every body, as the gravity sum reads them.
    std::vector<Demo::GravityBody> gravityBodies() const;

    // Fills the ring for the steps [from, to) plus the four after (a burn's frame reads the body's velocity from
    // them); the ring grows to hold them. Slots already filled for the same steps are kept.
    void cover(uint64_t from, uint64_t to);
    Demo::BodyCacheView view() const;

private:
    std::unique_ptr<Demo::CachedPosition[]> ring;
    uint64_t slotCount = 0;
    uint64_t firstSlot = 0, endSlot = 0; // the slots (step / 4) filled
};

} // namespace Plan

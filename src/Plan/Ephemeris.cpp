#include "Plan/Ephemeris.h"

#include "Demo/Scenario/SolarSystemTable.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace Plan {

namespace {

std::string lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower((unsigned char)c));
    return s;
}

// The program's system root: radius 1000, density 1 (only the star orbits it, on a static orbit).
constexpr float RootRadius = 1000.0f;

} // namespace

Ephemeris Ephemeris::solarSystem() {
    Ephemeris e;
    e.rootMu = Demo::gravitationalParameter(RootRadius, 1.0);
    // Built in the program's order, then stable-sorted by depth as its system lists bodies: the star, the
    // planets, then the moons and the craft in build order.
    struct Built {
        EphemerisBody body;
        int depth;
        int32_t builtParent;
    };
    std::vector<Built> built;
    EphemerisBody sun;
    sun.name = "Sun";
    sun.radius = Demo::SunRadius;
    sun.density = Demo::SunDensity;
    built.push_back({sun, 1, -1});
    int32_t planet = 0, earth = -1;
    for (const Demo::BodyRow& row : Demo::solarSystemBodies()) {
        EphemerisBody b;
        b.name = row.name;
        b.radius = row.radius;
        b.density = row.density;
        b.orbit.a = row.a;
        b.orbit.e = row.e;
        b.orbit.i = row.i;
        b.orbit.ascendingNode = row.node;
        b.orbit.argPeriapsis = row.periapsis;
        b.orbit.epoch = row.epoch;
        int32_t parent = row.moon ? planet : 0;
        built.push_back({b, row.moon ? 3 : 2, parent});
        if (!row.moon)
            planet = int32_t(built.size() - 1);
        if (b.name == Demo::CraftParentName)
            earth = int32_t(built.size() - 1);
    }
    if (earth < 0)
        throw std::logic_error("Ephemeris: the craft's parent body is not in the table");
    EphemerisBody craft;
    craft.name = Demo::CraftName;
    craft.radius = Demo::CraftRadius;
    craft.density = Demo::CraftDensity;
    craft.orbit = Demo::craftStartOrbit();
    built.push_back({craft, 3, earth});

    std::vector<int32_t> order(built.size());
    for (size_t k = 0; k < order.size(); ++k)
        order[k] = int32_t(k);
    std::stable_sort(order.begin(), order.end(),
                     [&](int32_t a, int32_t b) { return built[size_t(a)].depth < built[size_t(b)].depth; });
    std::vector<int32_t> indexOf(built.size());
    for (size_t k = 0; k < order.size(); ++k)
        indexOf[size_t(order[k])] = int32_t(k);
    for (int32_t k : order) {
        EphemerisBody b = built[size_t(k)].body;
        int32_t p = built[size_t(k)].builtParent;
        b.parent = p >= 0 ? indexOf[size_t(p)] : -1;
        // Bodies around the star are placed from the origin, as the program's cache does.
        b.parentInRing = p > 0;
        e.bodies.push_back(b);
    }
    e.craftIndex = indexOf.back();
    return e;
}

int32_t Ephemeris::find(const std::string& name) const {
    const std::string wanted = lower(name);
    for (size_t k = 0; k < bodies.size(); ++k) {
        std::string n = lower(bodies[k].name);
        if (n == wanted || n.substr(0, n.find(" (")) == wanted)
            return int32_t(k);
    }
    return -1;
}

double Ephemeris::parentMu(int32_t i) const {
    int32_t p = bodies[size_t(i)].parent;
    return p >= 0 ? bodies[size_t(p)].mu() : rootMu;
}

Vec3d Ephemeris::position(int32_t body, uint64_t step) const {
    const double t = double(step) * timeStepLength;
    Vec3d p;
    for (int32_t i = body; i >= 0; i = bodies[size_t(i)].parent)
        p += Demo::orbitPosition(bodies[size_t(i)].orbit, t, parentMu(i));
    return p;
}

Vec3d Ephemeris::velocity(int32_t body, uint64_t step) const {
    const double t = double(step) * timeStepLength;
    Vec3d v;
    for (int32_t i = body; i >= 0; i = bodies[size_t(i)].parent)
        v += Demo::orbitVelocity(bodies[size_t(i)].orbit, t, parentMu(i));
    return v;
}

std::vector<Demo::GravityBody> Ephemeris::gravityBodies() const {
    std::vector<Demo::GravityBody> g(bodies.size());
    for (size_t k = 0; k < bodies.size(); ++k) {
        g[k].mu = bodies[k].mu();
        g[k].radiusSquared = double(bodies[k].radius) * double(bodies[k].radius);
    }
    return g;
}

void Ephemeris::cover(uint64_t from, uint64_t to) {
    const uint64_t first = from >> 2, end = ((to + 4) >> 2) + 1;
    if (first >= firstSlot && end <= endSlot && ring)
        return;
    const size_t count = bodies.size();
    if (end - first > slotCount) {
        slotCount = end - first;
        ring.reset(new Demo::CachedPosition[slotCount * count]);
    }
    std::vector<Demo::OrbitKernel> kernels;
    kernels.reserve(count);
    for (size_t k = 0; k < count; ++k)
        kernels.emplace_back(bodies[k].orbit, parentMu(int32_t(k)));
    for (uint64_t s = first; s < end; ++s) {
        Demo::CachedPosition* slot = &ring[(s % slotCount) * count];
        const double seconds = double(s * 4) * timeStepLength;
        for (size_t k = 0; k < count; ++k) {
            Vec3d p = kernels[k].position(seconds);
            if (bodies[k].parentInRing) {
                const Demo::CachedPosition& q = slot[bodies[k].parent];
                p.x += q.x;
                p.y += q.y;
                p.z += q.z;
            }
            slot[k] = {p.x, p.y, p.z};
        }
    }
    firstSlot = first;
    endSlot = end;
}

Demo::BodyCacheView Ephemeris::view() const {
    Demo::BodyCacheView v;
    v.entries = ring.get();
    v.slotCount = slotCount;
    v.objectCount = uint32_t(bodies.size());
    v.timeStepLength = timeStepLength;
    return v;
}

} // namespace Plan

#include "App/SystemSnapshot.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/Spacecraft.h"

Plan::Ephemeris systemSnapshot(const Demo::AstroSystem& system) {
    Plan::Ephemeris e;
    e.timeStepLength = system.timeStepLength;
    e.rootMu = system.gravitationalParameter();
    const Demo::AstroObject* star = system.scene ? system.scene->primaryStar : nullptr;
    const auto& objects = system.objects;
    e.bodies.reserve(objects.size());
    for (size_t k = 0; k < objects.size(); ++k) {
        const Demo::AstroObject* o = objects[k];
        Plan::EphemerisBody b;
        b.name = o->name;
        b.radius = o->radius;
        b.density = o->density;
        b.orbit = o->orbit;
        const Demo::AstroObject* p = o->parent;
        const bool listed =
            p && p != &system && p->index >= 0 && size_t(p->index) < k && objects[size_t(p->index)] == p;
        b.parent = listed ? p->index : -1;
        // The cache adds a parent's entry except for the star's children (placed from the origin).
        b.parentInRing = listed && p != star;
        e.bodies.push_back(std::move(b));
    }
    e.craftIndex = system.spacecraft ? system.spacecraft->index : -1;
    return e;
}
